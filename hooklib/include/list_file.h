#pragma once
// The list file open for reading, as the C runtime reads it in text mode, which turns CR LF
// into LF: the one reader of excludeapp.txt for the hook library and the program.

#include <stdio.h>
#include <sys/stat.h>

namespace vimlet {

class ListFile {
public:
    // False when the status query fails, e.g. when there is no file.
    static bool ModificationTime(const wchar_t* path, __int64* seconds)
    {
        struct _stat64 status;
        if (_wstat64(path, &status) != 0) return false;
        *seconds = status.st_mtime;
        return true;
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
