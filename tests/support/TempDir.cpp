#include "TempDir.h"

#include <shellapi.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    // Process ids come round again, and a crashed run leaves its directory behind.
    static unsigned counter;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        m_path = std::wstring(base) + L"vimlet-test-" + std::to_wstring(GetCurrentProcessId()) +
                 L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(m_path.c_str(), nullptr)) return;
    }
    throw std::runtime_error("no temp dir");
}

TempDir::~TempDir()
{
    std::wstring from = m_path;
    from.push_back(L'\0');  // SHFileOperation takes a double-terminated list
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool SetLastWriteTime(const std::wstring& path, ULONGLONG ticks)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const FILETIME time{DWORD(ticks), DWORD(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return set;
}
