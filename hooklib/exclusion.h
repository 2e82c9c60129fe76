#pragma once
// Whether the executable of the process that has just received a key press is on the
// exclusion list. Each process keeps its own answer and re-reads the list file only when the
// file's modification time changes.

#include "shared_state.h"

namespace vimlet {

constexpr int kListLineCapacity = 1000;  // one line of the list file, line feed and NUL included

struct ByteRange {
    const char* begin;
    const char* end;
};

// Drops the bytes the C locale calls white space (tab, LF, VT, FF, CR, space) from both ends.
ByteRange TrimAsciiSpace(const char* line);

// Byte-wise equality that folds only the ASCII capitals A-Z, as the C locale's _stricmp does.
bool EqualsIgnoringAsciiCase(ByteRange entry, const char* path);

// Per-process cache; a zero-filled object means "not excluded, never read".
struct ExclusionCache {
    char hostPath[kPathCapacity];  // ANSI code page, as GetModuleFileNameA reports it
    BYTE excluded;
    __int64 lastSeenModification;

    // False when hostPath is listed in the file at listPath. listPath may be rewritten by
    // another process meanwhile, so it is copied before use.
    bool AllowsHiding(const wchar_t* listPath);

private:
    void ReadList(const wchar_t* listPath);
};

// The same answer for the executable of another process, kept apart from the host's own: it is
// worked out afresh when the executable changes as well as when the list does.
struct ExecutableExclusion {
    ExclusionCache cache;

    bool AllowsHiding(const char* executable, const wchar_t* listPath);
};

} // namespace vimlet
