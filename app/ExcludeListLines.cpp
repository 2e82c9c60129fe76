#include "ExcludeListLines.h"

namespace {

// The hook library trims the six ASCII white-space bytes and no others; trimming the same
// characters keeps the list the program shows equal to what the hooks match, in any file.
constexpr bool IsAsciiSpace(wchar_t c) { return c < 0x80 && vimlet::IsAsciiSpace(static_cast<char>(c)); }

} // namespace

void AppendListEntry(vimlet::ByteRange line, DecodeBytes decode, std::vector<std::wstring>& list)
{
    wchar_t wide[vimlet::kListLineCapacity];
    const int length = decode(line.begin, static_cast<int>(line.end - line.begin), wide,
                              vimlet::kListLineCapacity);
    const wchar_t* begin = wide;
    const wchar_t* end = wide + (length > 0 ? length : 0);
    while (end > begin && IsAsciiSpace(end[-1])) --end;
    while (begin < end && IsAsciiSpace(*begin)) ++begin;
    if (begin != end) list.emplace_back(begin, end);
}
