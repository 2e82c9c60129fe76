// The program's reading of excludeapp.txt through a double-byte code page against the hook
// library's: a line gives the program an entry exactly when it gives the hooks one, and the
// program's entry is the hooks' entry decoded.
#include "ExcludeListLines.h"
#include "chunked_source.h"
#include "double_byte_stand_in.h"

#include <cstdlib>

namespace {

using stand_in::DecodeDoubleByte;

std::wstring Decoded(vimlet::ByteRange bytes)
{
    wchar_t wide[vimlet::kListLineCapacity];
    return std::wstring(wide, DecodeDoubleByte(bytes.begin, static_cast<int>(bytes.end - bytes.begin),
                                               wide, vimlet::kListLineCapacity));
}

void Check(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length)
{
    ChunkedSource source(input, length);
    std::vector<std::wstring> list;
    vimlet::ForEachListLine(source, [&](vimlet::ByteRange line) {
        const std::size_t before = list.size();
        AppendListEntry(line, DecodeDoubleByte, list);
        const vimlet::ByteRange hookEntry = vimlet::TrimAsciiSpace(line);
        const bool hookHasEntry = hookEntry.begin != hookEntry.end;
        Check(list.size() - before == (hookHasEntry ? 1u : 0u));
        if (hookHasEntry) Check(list.back() == Decoded(hookEntry));
        return false;
    });
    return 0;
}
