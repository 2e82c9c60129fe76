#pragma once
// State that every process with the hook library loaded reads and writes in place.

#include "suppressor_keys.h"

#include <windows.h>

namespace vimlet {

constexpr int kPathCapacity = MAX_PATH;

// Copies text another process may be rewriting: at most N - 1 characters, and always a
// terminator.
template <class Char, int N>
void CopyTerminated(const Char* source, Char (&target)[N])
{
    int i = 0;
    for (; i < N - 1 && source[i]; ++i) target[i] = source[i];
    target[i] = 0;
}

// Copies the whole of such text, terminator included; false, with nothing usable in target,
// when none of its N units is a terminator.
template <class Char, int N>
bool CopyWhole(const Char* source, Char (&target)[N])
{
    for (int i = 0; i < N; ++i)
        if (!(target[i] = source[i])) return true;
    return false;
}

// The system drops a hook when the thread that installed it ends. Thread ids come round
// again, so the thread is known by its id and its creation time together.
struct InstalledHook {
    HHOOK handle;
    DWORD threadId;
    ULONGLONG threadCreationTime;
};

// Plain loads and stores only: hooks in many processes touch this at once, without locks.
struct SharedHookState {
    BYTE suppressor[kSuppressorCount];  // indexed like kSuppressorKeys
    BYTE hidden;
    POINT hidePosition;
    POINT savedCursor;
    InstalledHook mouseHook;
    InstalledHook keyboardHook;
    HWND parkingWindow;
    wchar_t excludeListPath[kPathCapacity];
};

} // namespace vimlet
