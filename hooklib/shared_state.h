#pragma once
// State that every process with the hook library loaded reads and writes in place.

#include <windows.h>

namespace vimlet {

constexpr int kPathCapacity = MAX_PATH;

// The suppressor keys in the order the hooks query them and the program stores them.
constexpr UINT kSuppressorKeys[] = {VK_LSHIFT, VK_LCONTROL, VK_LMENU,
                                    VK_RSHIFT, VK_RCONTROL, VK_RMENU, VK_SPACE};
constexpr int kSuppressorCount = sizeof(kSuppressorKeys) / sizeof(kSuppressorKeys[0]);

constexpr int SuppressorIndex(UINT virtualKey)
{
    for (int i = 0; i < kSuppressorCount; ++i)
        if (kSuppressorKeys[i] == virtualKey) return i;
    return -1;
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
