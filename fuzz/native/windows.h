#pragma once
// The Windows names the hook library's exclusion check uses, so that it builds natively for
// fuzzing: the types, and the C runtime's wide file functions over their POSIX counterparts.

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define MAX_PATH 260
#define __int64 long long
#define _stat64 stat

using BYTE = unsigned char;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONGLONG = std::uint64_t;
using HWND = struct HWND__*;
using HHOOK = struct HHOOK__*;

struct POINT {
    LONG x;
    LONG y;
};

enum : UINT {
    VK_SPACE = 0x20,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT,
    VK_LCONTROL,
    VK_RCONTROL,
    VK_LMENU,
    VK_RMENU,
};

// Wide paths as the multibyte paths of the C locale; a path that does not convert is not found.
inline bool NarrowPath(const wchar_t* path, char (&narrow)[4 * MAX_PATH])
{
    const std::size_t length = std::wcstombs(narrow, path, sizeof narrow);
    return length != static_cast<std::size_t>(-1) && length < sizeof narrow;
}

inline int _wstat64(const wchar_t* path, struct stat* status)
{
    char narrow[4 * MAX_PATH];
    return NarrowPath(path, narrow) ? stat(narrow, status) : -1;
}

inline FILE* _wfopen(const wchar_t* path, const wchar_t* mode)
{
    char narrow[4 * MAX_PATH], narrowMode[8];
    if (!NarrowPath(path, narrow) || std::wcstombs(narrowMode, mode, sizeof narrowMode) >= sizeof narrowMode)
        return nullptr;
    return std::fopen(narrow, narrowMode);
}
