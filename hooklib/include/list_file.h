#pragma once
// The list file open for reading, as the C runtime reads it in text mode, which turns CR LF
// into LF: the one reader of excludeapp.txt for the hook library and the program. Beside it,
// the few questions the hook library asks before it opens a path any process may have written.

#include <windows.h>

#include <stdio.h>

namespace vimlet {

constexpr wchar_t kListFileName[] = L"excludeapp.txt";

// The list's last-write time in 100 ns and its size: two saves within one second (or two on
// FAT, whose times are whole even seconds) still differ in one of them.
struct ListStamp {
    ULONGLONG lastWrite;
    ULONGLONG size;
};

inline bool operator==(const ListStamp& a, const ListStamp& b)
{
    return a.lastWrite == b.lastWrite && a.size == b.size;
}

class ListFile {
public:
    // False when the status query fails, e.g. when there is no file. One call gives both.
    static bool Stamp(const wchar_t* path, ListStamp* stamp)
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
        const FILETIME& written = data.ftLastWriteTime;
        *stamp = {ULONGLONG(written.dwHighDateTime) << 32 | written.dwLowDateTime,
                  ULONGLONG(data.nFileSizeHigh) << 32 | data.nFileSizeLow};
        return true;
    }
    // The type of the drive with this root, such as "C:\".
    static UINT DriveType(const wchar_t* root) { return GetDriveTypeW(root); }
    // This process's %APPDATA%. The environment is kernel32's; the shell's folder lookup would
    // load shell32 into every hooked process.
    static bool AppDataFolder(wchar_t (&folder)[MAX_PATH])
    {
        const DWORD length = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
        return length > 0 && length < MAX_PATH;
    }

    explicit ListFile(const wchar_t* path) : m_file(_wfopen(path, L"r")) {}
    ~ListFile()
    {
        if (m_file) fclose(m_file);
    }
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    // 0 at the end and on a read error.
    int Read(char* buffer, int capacity)
    {
        return static_cast<int>(fread(buffer, 1, static_cast<size_t>(capacity), m_file));
    }
    bool ReadFailed() const { return ferror(m_file) != 0; }

private:
    FILE* m_file;
};

} // namespace vimlet
