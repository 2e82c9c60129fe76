#include "TempDir.h"

#include <shellapi.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void RemoveTree(std::wstring path)
{
    path.push_back(L'\0');  // SHFileOperation takes a double-terminated list
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = path.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

} // namespace

TempDir::TempDir(const std::wstring& prefix, Leftovers leftovers)
{
    wchar_t buffer[MAX_PATH];
    GetTempPathW(MAX_PATH, buffer);
    const std::wstring base = buffer + prefix;
    WIN32_FIND_DATAW found;
    const HANDLE search = leftovers == kRemoveLeftovers ? FindFirstFileW((base + L"*").c_str(), &found)
                                                         : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        do RemoveTree(buffer + std::wstring(found.cFileName));
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // Process ids come round again, and a crashed run leaves its directory behind.
    static unsigned counter;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        m_path = base + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) + L"-" +
                 std::to_wstring(++counter);
        if (CreateDirectoryW(m_path.c_str(), nullptr)) return;
    }
    throw std::runtime_error("no temp dir");
}

TempDir::~TempDir() { RemoveTree(m_path); }

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

TempAppData::TempAppData()
{
    wchar_t previous[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"APPDATA", previous, MAX_PATH);
    m_previous = previous;
    SetEnvironmentVariableW(L"APPDATA", m_dir.Path().c_str());
    CreateDirectoryW(SettingsDirectory().c_str(), nullptr);
}

TempAppData::~TempAppData() { SetEnvironmentVariableW(L"APPDATA", m_previous.c_str()); }
