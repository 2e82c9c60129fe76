#include "exclusion.h"

#include "join_path.h"

#include <string.h>

namespace vimlet {

namespace {

constexpr int kListNameLength = sizeof kListFileName / sizeof *kListFileName - 1;

bool EqualPaths(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
}

} // namespace

bool IsDriveListPath(const wchar_t* path)
{
    const wchar_t letter = path[0] | 0x20;
    if (letter < L'a' || letter > L'z' || path[1] != L':' || !IsPathSeparator(path[2])) return false;
    const int length = static_cast<int>(wcslen(path));
    const int name = length - kListNameLength;
    return name >= 3 && IsPathSeparator(path[name - 1]) &&
           EqualPaths(path + name, kListNameLength, kListFileName, kListNameLength);
}

bool IsOwnListPath(const wchar_t* path, const wchar_t* appData)
{
    wchar_t folder[kPathCapacity], own[kPathCapacity];
    if (JoinPath(appData, L"Vimlet", folder, kPathCapacity) >= kPathCapacity) return false;
    const std::size_t length = JoinPath(folder, kListFileName, own, kPathCapacity);
    return length < kPathCapacity && EqualPaths(path, -1, own, static_cast<int>(length));
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
