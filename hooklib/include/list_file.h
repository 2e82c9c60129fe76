#pragma once
// The one reader of excludeapp.txt for the hook library and the program: the file opened so
// that no other process can make the reader wait, and read no further than its size allows.
// Beside it, the few questions the hook library asks before it opens a path at all.

#include "join_path.h"

#include <windows.h>

namespace vimlet {

constexpr wchar_t kListFileName[] = L"excludeapp.txt";

// A real list is a few kilobytes; 100,000 entries of 500 bytes are about 50 MB. A larger file is
// not read: inside every application it would hold up the keys for as long as it takes.
constexpr ULONGLONG kListSizeLimit = 64 * 1024 * 1024;

// Ctrl+Z: the end of a text file, as the C runtime's text mode has always read the list.
constexpr char kEndOfText = '\x1a';

// The list's last-write time in 100 ns and its size: two saves differ in one of them unless they
// have the same size and fall in one tick of the file system's clock (two seconds on FAT).
struct ListStamp {
    ULONGLONG lastWrite;
    ULONGLONG size;
};

inline bool operator==(const ListStamp& a, const ListStamp& b)
{
    return a.lastWrite == b.lastWrite && a.size == b.size;
}

// What opening the list came to.
enum class ListOpening {
    kOpen,
    kMissing,
    kBusy,      // another handle holds an oplock that is being broken: a read would wait for it
    kRefused,   // a link, a junction, a folder, or no disk file (a pipe, a device)
    kTooLarge,  // over kListSizeLimit: not opened
    kFailed,
};

// The native system calls NtCreateFile needs, declared here so that the library's imports stay
// kernel32, msvcrt and user32: ntdll is asked for the function at run time.
struct NtText {
    USHORT length;  // in bytes
    USHORT capacity;
    const wchar_t* buffer;
};
struct NtObject {
    ULONG length;
    HANDLE root;
    const NtText* name;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQualityOfService;
};
struct NtIoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using NtCreateFileFunction = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, NtObject*, NtIoStatus*, LARGE_INTEGER*, ULONG,
                                           ULONG, ULONG, ULONG, void*, ULONG);

constexpr LONG kStatusOplockBreakInProgress = 0x00000108;  // a success code: the handle is there
constexpr LONG kStatusObjectNameNotFound = static_cast<LONG>(0xC0000034);
constexpr LONG kStatusObjectPathNotFound = static_cast<LONG>(0xC000003A);
constexpr LONG kStatusProcedureNotFound = static_cast<LONG>(0xC000007A);
constexpr ULONG kNtObjectCaseInsensitive = 0x40;
constexpr ULONG kNtFileOpen = 1;
constexpr ULONG kNtSynchronousIo = 0x20;          // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kNtNonDirectoryFile = 0x40;       // FILE_NON_DIRECTORY_FILE
constexpr ULONG kNtCompleteIfOplocked = 0x100;    // FILE_COMPLETE_IF_OPLOCKED
constexpr ULONG kNtOpenReparsePoint = 0x200000;   // FILE_OPEN_REPARSE_POINT

// Room for \??\UNC\ before a path of MAX_PATH units.
constexpr int kNtPathCapacity = MAX_PATH + 8;

constexpr bool HasDriveLetter(const wchar_t* path)
{
    return ((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z' && path[1] == L':' && IsPathSeparator(path[2]));
}

// A full path with a drive letter or a server (\\host\share\...): not relative, and not \\?\ or
// \\.\ (devices and pipes).
constexpr bool IsDriveOrServerPath(const wchar_t* path)
{
    return HasDriveLetter(path) || (IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && path[2] && path[2] != L'?' &&
                                    path[2] != L'.' && !IsPathSeparator(path[2]));
}

// The object name of such a path, with its forward slashes turned into backslashes, which the
// native calls do not take. Its length, or 0 for any other path.
inline int NtPathOf(const wchar_t* path, wchar_t (&nt)[kNtPathCapacity])
{
    if (!IsDriveOrServerPath(path)) return 0;
    const wchar_t* prefix = L"\\??\\";
    if (!HasDriveLetter(path)) {
        prefix = L"\\??\\UNC\\";
        path += 2;
    }
    int length = 0;
    for (; *prefix; ++prefix) nt[length++] = *prefix;
    for (; *path; ++path) {
        if (length == kNtPathCapacity - 1) return 0;
        nt[length++] = IsPathSeparator(*path) ? L'\\' : *path;
    }
    nt[length] = L'\0';
    return length;
}

// The system calls behind BasicListFile.
struct ListFileCalls {
    // False when the status query fails, e.g. when there is no file. One call gives both. It
    // asks for attributes only, which breaks no oplock and so never waits for one (the file
    // systems' rule for IRP_MJ_CREATE).
    static bool Stamp(const wchar_t* path, ListStamp* stamp)
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
        const FILETIME& written = data.ftLastWriteTime;
        *stamp = {ULONGLONG(written.dwHighDateTime) << 32 | written.dwLowDateTime,
                  ULONGLONG(data.nFileSizeHigh) << 32 | data.nFileSizeLow};
        return true;
    }
    // This process's %APPDATA%. The environment is kernel32's; the shell's folder lookup would
    // load shell32 into every hooked process.
    static bool AppDataFolder(wchar_t (&folder)[MAX_PATH])
    {
        const DWORD length = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
        return length > 0 && length < MAX_PATH;
    }
    // A drive without its medium would otherwise ask the user, in a box, on an input thread.
    static UINT QuietErrors()
    {
        DWORD previous = 0;
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
        return previous;
    }
    static void RestoreErrors(UINT previous) { SetThreadErrorMode(previous, nullptr); }
    // NtCreateFile, for reading, sharing read, write and delete (the program's save replaces the
    // file), never waiting for an oplock break and opening a link itself, not its target. An open
    // for reading breaks any oplock that caches writes, and while it is open no other handle is
    // granted one, so once it is done a read has no break to wait for.
    static LONG Open(const wchar_t* ntPath, int length, HANDLE* handle)
    {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const auto create = ntdll ? reinterpret_cast<NtCreateFileFunction>(
                                        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")))
                                  : nullptr;
        if (!create) return kStatusProcedureNotFound;
        const NtText name{static_cast<USHORT>(length * sizeof(wchar_t)),
                          static_cast<USHORT>((length + 1) * sizeof(wchar_t)), ntPath};
        NtObject object{sizeof object, nullptr, &name, kNtObjectCaseInsensitive, nullptr, nullptr};
        NtIoStatus io{};
        return create(handle, FILE_GENERIC_READ, &object, &io, nullptr, 0,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kNtFileOpen,
                      kNtSynchronousIo | kNtNonDirectoryFile | kNtCompleteIfOplocked | kNtOpenReparsePoint,
                      nullptr, 0);
    }
    static bool IsDiskFile(HANDLE file) { return GetFileType(file) == FILE_TYPE_DISK; }
    static bool Attributes(HANDLE file, DWORD* attributes)
    {
        FILE_BASIC_INFO information;
        if (!GetFileInformationByHandleEx(file, FileBasicInfo, &information, sizeof information)) return false;
        *attributes = information.FileAttributes;
        return true;
    }
    static bool Read(HANDLE file, char* buffer, DWORD capacity, DWORD* read)
    {
        return ReadFile(file, buffer, capacity, read, nullptr);
    }
    static void Close(HANDLE file) { CloseHandle(file); }
};

// The list file open for reading, its bytes as they are on the disk up to a Ctrl+Z (a carriage
// return before a line feed is white space to both readers). Calls is ListFileCalls or a
// stand-in with the same members.
template <class Calls>
class BasicListFile {
public:
    static bool Stamp(const wchar_t* path, ListStamp* stamp) { return Calls::Stamp(path, stamp); }
    static bool AppDataFolder(wchar_t (&folder)[MAX_PATH]) { return Calls::AppDataFolder(folder); }
    static UINT QuietErrors() { return Calls::QuietErrors(); }
    static void RestoreErrors(UINT previous) { Calls::RestoreErrors(previous); }

    // size is the file's size as its stamp gave it: no more is read.
    BasicListFile(const wchar_t* path, ULONGLONG size) : m_left(size), m_opening(OpenFile(path, size, &m_file)) {}
    ~BasicListFile()
    {
        if (m_opening == ListOpening::kOpen) Calls::Close(m_file);
    }
    BasicListFile(const BasicListFile&) = delete;
    BasicListFile& operator=(const BasicListFile&) = delete;

    ListOpening Opening() const { return m_opening; }
    // 0 at the end, at a Ctrl+Z, at the size the stamp gave, and on a read error.
    int Read(char* buffer, int capacity)
    {
        const DWORD wanted = static_cast<DWORD>(m_left < ULONGLONG(capacity) ? m_left : ULONGLONG(capacity));
        DWORD read = 0;
        if (!wanted) return 0;
        if (!Calls::Read(m_file, buffer, wanted, &read)) m_failed = true;
        m_left -= read;
        for (DWORD i = 0; i < read; ++i) {
            if (buffer[i] == kEndOfText) {
                m_left = 0;
                return static_cast<int>(i);
            }
        }
        return static_cast<int>(read);
    }
    bool ReadFailed() const { return m_failed; }

private:
    static ListOpening OpenFile(const wchar_t* path, ULONGLONG size, HANDLE* file)
    {
        if (size > kListSizeLimit) return ListOpening::kTooLarge;
        wchar_t ntPath[kNtPathCapacity];
        const int length = NtPathOf(path, ntPath);
        if (!length) return ListOpening::kRefused;
        const LONG status = Calls::Open(ntPath, length, file);
        if (status == kStatusObjectNameNotFound || status == kStatusObjectPathNotFound) return ListOpening::kMissing;
        if (status < 0) return ListOpening::kFailed;
        const ListOpening opening = status == kStatusOplockBreakInProgress ? ListOpening::kBusy : Judge(*file);
        if (opening != ListOpening::kOpen) Calls::Close(*file);
        return opening;
    }
    // Opened without following it, a link or junction is a reparse point; a pipe or device named
    // by a path that gets past NtPathOf is no disk file.
    static ListOpening Judge(HANDLE file)
    {
        DWORD attributes = 0;
        if (!Calls::IsDiskFile(file) || !Calls::Attributes(file, &attributes) ||
            (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
            return ListOpening::kRefused;
        return ListOpening::kOpen;
    }

    HANDLE m_file = nullptr;
    ULONGLONG m_left;
    ListOpening m_opening;
    bool m_failed = false;
};

using ListFile = BasicListFile<ListFileCalls>;

} // namespace vimlet
