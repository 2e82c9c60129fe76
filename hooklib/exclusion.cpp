#include "exclusion.h"

#include "join_path.h"

#include <string.h>

namespace vimlet {

bool IsOwnListPath(const wchar_t* path, const wchar_t* appData)
{
    wchar_t folder[kPathCapacity], own[kPathCapacity];
    if (JoinPath(appData, L"Vimlet", folder, kPathCapacity) >= kPathCapacity) return false;
    const std::size_t length = JoinPath(folder, kListFileName, own, kPathCapacity);
    return length < kPathCapacity && IsDriveOrServerPath(path) &&
           CompareStringOrdinal(path, -1, own, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

bool ExclusionCache::AllowsHidingFor(const char* executable, const wchar_t* sharedPath)
{
    if (strcmp(hostPath, executable) != 0) {
        Forget();
        CopyTerminated(executable, hostPath);
    }
    return AllowsHiding(sharedPath);
}

} // namespace vimlet
