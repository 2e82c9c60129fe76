#pragma once
// The Windows names the hook library's exclusion check uses, so that it builds natively for
// fuzzing: the types, the status query over its POSIX counterpart, and the rest of the file
// calls as calls that fail (the fuzz targets read through stand-ins).

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>

#define MAX_PATH 260
#define WINAPI
#define TRUE 1

using BYTE = unsigned char;
using USHORT = unsigned short;
using ULONG = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using ACCESS_MASK = std::uint32_t;
using HANDLE = void*;
using HMODULE = struct HMODULE__*;
using FARPROC = void (*)();
union LARGE_INTEGER {
    std::int64_t QuadPart;
};
using BOOL = int;
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

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime, ftLastAccessTime, ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
};

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard };

// Wide paths as the multibyte paths of the C locale; a path that does not convert is not found.
inline bool NarrowPath(const wchar_t* path, char (&narrow)[4 * MAX_PATH])
{
    const std::size_t length = std::wcstombs(narrow, path, sizeof narrow);
    return length != static_cast<std::size_t>(-1) && length < sizeof narrow;
}

inline BOOL GetFileAttributesExW(const wchar_t* path, GET_FILEEX_INFO_LEVELS, WIN32_FILE_ATTRIBUTE_DATA* data)
{
    char narrow[4 * MAX_PATH];
    struct stat status;
    if (!NarrowPath(path, narrow) || stat(narrow, &status) != 0) return 0;
    const ULONGLONG ticks = ULONGLONG(status.st_mtim.tv_sec) * 10000000 + status.st_mtim.tv_nsec / 100;
    const ULONGLONG size = ULONGLONG(status.st_size);
    *data = {};
    data->ftLastWriteTime = {DWORD(ticks), DWORD(ticks >> 32)};
    data->nFileSizeHigh = DWORD(size >> 32);
    data->nFileSizeLow = DWORD(size);
    return TRUE;
}

inline DWORD GetEnvironmentVariableW(const wchar_t*, wchar_t*, DWORD) { return 0; }

// Folds the ASCII letters only; the system's table folds more, which the fuzzing does not need.
constexpr int CSTR_EQUAL = 2;
inline int CompareStringOrdinal(const wchar_t* a, int aLength, const wchar_t* b, int bLength, BOOL ignoreCase)
{
    const auto fold = [ignoreCase](wchar_t c) { return ignoreCase && c >= L'a' && c <= L'z' ? wchar_t(c - 0x20) : c; };
    for (int i = 0;; ++i) {
        const bool aEnds = aLength < 0 ? !a[i] : i == aLength, bEnds = bLength < 0 ? !b[i] : i == bLength;
        if (aEnds || bEnds) return aEnds && bEnds ? CSTR_EQUAL : aEnds ? 1 : 3;
        if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? 1 : 3;
    }
}

constexpr DWORD SEM_FAILCRITICALERRORS = 1, SEM_NOOPENFILEERRORBOX = 0x8000;
inline BOOL SetThreadErrorMode(DWORD, DWORD* previous)
{
    if (previous) *previous = 0;
    return TRUE;
}

constexpr ACCESS_MASK FILE_GENERIC_READ = 0x120089;
constexpr ULONG FILE_SHARE_READ = 1, FILE_SHARE_WRITE = 2, FILE_SHARE_DELETE = 4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10, FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD FILE_TYPE_DISK = 1;

enum FILE_INFO_BY_HANDLE_CLASS { FileBasicInfo };
struct FILE_BASIC_INFO {
    DWORD FileAttributes;
};

inline HMODULE GetModuleHandleW(const wchar_t*) { return nullptr; }
inline FARPROC GetProcAddress(HMODULE, const char*) { return nullptr; }
inline DWORD GetFileType(HANDLE) { return 0; }
inline BOOL GetFileInformationByHandleEx(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD) { return 0; }
inline BOOL ReadFile(HANDLE, void*, DWORD, DWORD*, void*) { return 0; }
inline BOOL CloseHandle(HANDLE) { return TRUE; }
