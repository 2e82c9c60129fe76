#pragma once
// The one order of every list of application paths the dialogs build (the running
// applications, the exclusion list after an Add): ascending by UTF-16 code units, so
// case-sensitive and the same in every locale, with each distinct entry once.

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

// std::wstring's less-than then compares code units as unsigned 16-bit numbers.
static_assert(sizeof(wchar_t) == 2 && std::is_unsigned_v<wchar_t>);

inline void SortAndRemoveDuplicates(std::vector<std::wstring>& apps)
{
    std::sort(apps.begin(), apps.end());
    apps.erase(std::unique(apps.begin(), apps.end()), apps.end());
}

// A C0 control character (CR and LF among them) would split or garble a line of the list
// file; no file name holds one, so only a window title listed in place of a path can.
inline bool HasControlCharacter(const std::wstring& entry)
{
    return std::any_of(entry.begin(), entry.end(), [](wchar_t c) { return c < L' '; });
}
