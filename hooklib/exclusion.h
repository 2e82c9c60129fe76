#pragma once
// Whether the executable of the process that has just received a key press is on the
// exclusion list. Each process keeps its own answer and re-reads the list file only when the
// file's modification time changes.

#include "list_lines.h"
#include "shared_state.h"

#include <stdio.h>

namespace vimlet {

// Copies a path another process may be rewriting: at most kPathCapacity - 1 characters, and
// always a terminator.
void CopyTerminated(const wchar_t* source, wchar_t (&target)[kPathCapacity]);

// An open file read in chunks, as the C runtime reads it.
struct FileChunks {
    FILE* file;

    // 0 at the end and on a read error.
    int Read(char* buffer, int capacity)
    {
        return static_cast<int>(fread(buffer, 1, static_cast<size_t>(capacity), file));
    }
};

// The list file as the C runtime reads it in text mode, which turns CR LF into LF.
class ListFile {
public:
    // False when the status query fails, e.g. when there is no file.
    static bool ModificationTime(const wchar_t* path, __int64* seconds);

    explicit ListFile(const wchar_t* path) : m_file(_wfopen(path, L"r")) {}
    ~ListFile()
    {
        if (m_file) fclose(m_file);
    }
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    int Read(char* buffer, int capacity) { return FileChunks{m_file}.Read(buffer, capacity); }

private:
    FILE* m_file;
};

// Per-process cache; a zero-filled object means "not excluded, never read".
struct ExclusionCache {
    char hostPath[kPathCapacity];  // ANSI code page, as GetModuleFileNameA reports it
    BYTE excluded;
    __int64 lastSeenModification;

    // False when hostPath is listed in the file at listPath. listPath may be rewritten by
    // another process meanwhile, so it is copied before use.
    bool AllowsHiding(const wchar_t* listPath) { return AllowsHidingIn<ListFile>(listPath); }

    // File is ListFile or a stand-in with the same members.
    template <class File>
    bool AllowsHidingIn(const wchar_t* listPath)
    {
        wchar_t path[kPathCapacity];
        CopyTerminated(listPath, path);
        __int64 modification;
        if (File::ModificationTime(path, &modification) && modification != lastSeenModification) {
            lastSeenModification = modification;
            File file(path);
            excluded = file.IsOpen() && ListNames(file, hostPath);
        }
        return !excluded;
    }
};

// The same answer for the executable of another process, kept apart from the host's own: it is
// worked out afresh when the executable changes as well as when the list does.
struct ExecutableExclusion {
    ExclusionCache cache;

    bool AllowsHiding(const char* executable, const wchar_t* listPath);
};

} // namespace vimlet
