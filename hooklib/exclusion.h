#pragma once
// Whether the executable of the process that has just received a key press is on the
// exclusion list. Each process keeps its own answer and re-reads the list file only when the
// file's last-write time or size changes.

#include "list_file.h"
#include "list_lines.h"
#include "shared_state.h"

#include <wchar.h>

namespace vimlet {

// Any process can write the list path in the shared section. Opened, a share or WebDAV path
// hands the user's credentials to its host, and a slow share, pipe or device stalls every
// application's keys. So a path is opened only when it is spelled as the list on a drive
// (drive letter, colon, separator, and the list's own name at the end, which no device name
// is), or when it is exactly this user's own list, wherever AppData lives.
bool IsDriveListPath(const wchar_t* path);
bool IsOwnListPath(const wchar_t* path, const wchar_t* appData);
constexpr bool IsLocalDriveType(UINT type)
{
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_CDROM || type == DRIVE_RAMDISK;
}

// Per-process cache; a zero-filled object means "not excluded, never read".
struct ExclusionCache {
    char hostPath[kPathCapacity];  // ANSI code page, as GetModuleFileNameA reports it
    BYTE excluded;
    ListStamp lastSeen;
    // The list path last judged and whether it may be opened: judged once per change.
    wchar_t listPath[kPathCapacity];
    BYTE listPathTrusted;

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
            listPathTrusted = MayOpen<File>(path);
        }
        ListStamp stamp;
        if (listPathTrusted && File::Stamp(path, &stamp) && !(stamp == lastSeen)) {
            lastSeen = stamp;
            File file(path);
            excluded = file.IsOpen() && ListNames(file, hostPath);
        }
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

    template <class File>
    static bool MayOpen(const wchar_t* path)
    {
        if (IsDriveListPath(path)) {
            // A mapped network drive is spelled like a local one.
            const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
            if (IsLocalDriveType(File::DriveType(root))) return true;
        }
        wchar_t appData[kPathCapacity];
        return File::AppDataFolder(appData) && IsOwnListPath(path, appData);
    }
};

} // namespace vimlet
