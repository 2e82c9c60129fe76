#pragma once
// Whether the executable of the process that has just received a key press is on the
// exclusion list. Each process keeps its own answer and re-reads the list file only when the
// file's modification time changes.

#include "list_file.h"
#include "list_lines.h"
#include "shared_state.h"

namespace vimlet {

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

    // The same answer for the executable of another process, kept in a cache of its own: worked
    // out afresh when the executable changes as well as when the list does.
    bool AllowsHidingFor(const char* executable, const wchar_t* listPath);
};

} // namespace vimlet
