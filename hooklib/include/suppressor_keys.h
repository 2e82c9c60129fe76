#pragma once
// The suppressor keys in the order the hooks query them and the program reads, writes and shows
// them, with what the program stores for each.

#include <windows.h>

namespace vimlet {

struct SuppressorKey {
    UINT virtualKey;
    const wchar_t* iniKey;  // in vimlet.ini's section
    bool onByDefault;       // when the file or the key is missing
};

constexpr SuppressorKey kSuppressorKeys[] = {
    {VK_LSHIFT, L"vk_lshift", true},     {VK_LCONTROL, L"vk_lcontrol", true}, {VK_LMENU, L"vk_lmenu", true},
    {VK_RSHIFT, L"vk_rshift", false},    {VK_RCONTROL, L"vk_rcontrol", false}, {VK_RMENU, L"vk_rmenu", false},
    {VK_SPACE, L"vk_space", true},
};
constexpr int kSuppressorCount = sizeof(kSuppressorKeys) / sizeof(kSuppressorKeys[0]);

constexpr int SuppressorIndex(UINT virtualKey)
{
    for (int i = 0; i < kSuppressorCount; ++i)
        if (kSuppressorKeys[i].virtualKey == virtualKey) return i;
    return -1;
}

} // namespace vimlet
