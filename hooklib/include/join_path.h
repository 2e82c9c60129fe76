#pragma once
// The one join rule for every settings path, shared by the hook library and the program.
// It allocates nothing, so the hook library can use it on fixed buffers.

#include <cstddef>

namespace vimlet {

struct WideRange {
    const wchar_t* begin;
    const wchar_t* end;
};

constexpr bool IsPathSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

constexpr WideRange WithoutEnclosingQuotes(const wchar_t* text)
{
    const wchar_t* end = text;
    if (text)
        while (*end) ++end;
    else
        text = end = L"";
    if (end - text >= 2 && text[0] == L'"' && end[-1] == L'"') return {text + 1, end - 1};
    return {text, end};
}

// Joins directory and file name with exactly one forward slash, after removing one pair of
// enclosing double quotes from each and the separators at the seam; null counts as empty.
// Returns the joined length without the terminator. Writes the path and its terminator into
// out only when they fit in capacity; otherwise out is left untouched.
constexpr std::size_t JoinPath(const wchar_t* directory, const wchar_t* fileName,
                               wchar_t* out, std::size_t capacity)
{
    WideRange dir = WithoutEnclosingQuotes(directory);
    WideRange name = WithoutEnclosingQuotes(fileName);
    while (dir.end > dir.begin && IsPathSeparator(dir.end[-1])) --dir.end;
    while (name.begin < name.end && IsPathSeparator(*name.begin)) ++name.begin;

    const std::size_t dirLength = static_cast<std::size_t>(dir.end - dir.begin);
    const std::size_t length = dirLength + 1 + static_cast<std::size_t>(name.end - name.begin);
    if (length >= capacity) return length;

    wchar_t* cursor = out;
    for (const wchar_t* p = dir.begin; p != dir.end; ++p) *cursor++ = *p;
    *cursor++ = L'/';
    for (const wchar_t* p = name.begin; p != name.end; ++p) *cursor++ = *p;
    *cursor = L'\0';
    return length;
}

} // namespace vimlet
