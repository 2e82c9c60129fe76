#pragma once
// The suppressor keys in the order the hooks query them and the program stores them.

#include <windows.h>

namespace vimlet {

constexpr UINT kSuppressorKeys[] = {VK_LSHIFT, VK_LCONTROL, VK_LMENU,
                                    VK_RSHIFT, VK_RCONTROL, VK_RMENU, VK_SPACE};
constexpr int kSuppressorCount = sizeof(kSuppressorKeys) / sizeof(kSuppressorKeys[0]);

constexpr int SuppressorIndex(UINT virtualKey)
{
    for (int i = 0; i < kSuppressorCount; ++i)
        if (kSuppressorKeys[i] == virtualKey) return i;
    return -1;
}

} // namespace vimlet
