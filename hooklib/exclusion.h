#pragma once
// Whether the executable of the process that has just received a key press is on the
// exclusion list. Each process keeps its own answer and re-reads the list file only when the
// file's last-write time or size changes.

#include "list_file.h"
#include "list_lines.h"
#include "shared_state.h"

#include <wchar.h>

namespace vimlet {

// Any process can write the list path in the shared section, another user's or a sandboxed one
// among them. So a process opens only its own user's list, %APPDATA%/Vimlet/excludeapp.txt by
// its own environment, wherever AppData lives: any other path reads as no list.
bool IsOwnListPath(const wchar_t* path, const wchar_t* appData);

// Per-process cache; a zero-filled object means "not excluded, never read".
struct ExclusionCache {
    char hostPath[kPathCapacity];  // ANSI code page, as GetModuleFileNameA reports it
    BYTE excluded;
    ListStamp lastSeen;
    wchar_t listPath[kPathCapacity];  // the shared path the answer was read for
    wchar_t appData[kPathCapacity];   // this process's AppData, looked up again at each change

    // False when hostPath is listed in the file at listPath. listPath may be rewritten by
    // another process meanwhile, so it is copied before use.
    bool AllowsHiding(const wchar_t* sharedPath) { return AllowsHidingIn<ListFile>(sharedPath); }

    // File is ListFile or a stand-in with the same members.
    template <class File>
    bool AllowsHidingIn(const wchar_t* sharedPath)
    {
        wchar_t path[kPathCapacity];
        // Without a terminator it is being rewritten, or means harm: the empty path, refused.
        if (!CopyWhole(sharedPath, path)) path[0] = L'\0';
        if (wcscmp(path, listPath) != 0) {
            Forget();  // an answer read from another file says nothing about this one
            CopyTerminated(path, listPath);
        }
        if (!appData[0] && !File::AppDataFolder(appData)) return true;
        if (!IsOwnListPath(path, appData)) return true;
        const QuietErrors<File> quiet;
        ListStamp stamp;
        if (File::Stamp(path, &stamp) && !(stamp == lastSeen)) Reread<File>(path, stamp);
        return !excluded;
    }

    // The same answer for the executable of another process, kept in a cache of its own: worked
    // out afresh when the executable changes as well as when the list does.
    bool AllowsHidingFor(const char* executable, const wchar_t* sharedPath);

private:
    void Forget()
    {
        excluded = 0;
        lastSeen = {};
    }

    // Critical-error boxes off for the file calls of an input thread, the thread's mode back after.
    template <class File>
    struct QuietErrors {
        QuietErrors() : previous(File::QuietErrors()) {}
        ~QuietErrors() { File::RestoreErrors(previous); }
        QuietErrors(const QuietErrors&) = delete;
        QuietErrors& operator=(const QuietErrors&) = delete;
        const UINT previous;
    };

    template <class File>
    void Reread(const wchar_t* path, const ListStamp& stamp)
    {
        // A changed list is a new judgement of its path too: against AppData as it is now.
        if (!File::AppDataFolder(appData)) appData[0] = L'\0';
        if (!IsOwnListPath(path, appData)) {
            Forget();
            return;
        }
        File file(path, stamp.size);
        // A read would wait for the oplock's holder: the list counts as unchanged until next time.
        if (file.Opening() == ListOpening::kBusy) return;
        lastSeen = stamp;
        excluded = file.Opening() == ListOpening::kOpen && ListNames(file, hostPath);
    }
};

} // namespace vimlet
