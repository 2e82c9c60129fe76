// The program's reading of excludeapp.txt through a double-byte code page against the hook
// library's: a line gives the program an entry exactly when it gives the hooks one, and the
// program's entry is the hooks' entry decoded.
#include "ExcludeListLines.h"
#include "chunked_source.h"

#include <cstdlib>

namespace {

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// A stand-in for code page 932 with MultiByteToWideChar's contract: single bytes, lead and trail
// pairs (0x81 0x40 is the ideographic space), and the default character for a lead byte
// without its trail, at the end of the bytes included. Fails when the output does not fit.
int DecodeDoubleByte(const char* bytes, int count, wchar_t* wide, int capacity)
{
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        wchar_t c = b;
        if (IsLead(b)) {
            const bool paired = i + 1 < count && IsTrail(static_cast<unsigned char>(bytes[i + 1]));
            const unsigned code = paired ? (b << 8 | static_cast<unsigned char>(bytes[++i])) : 0;
            c = !paired ? 0x30FB : code == 0x8140 ? 0x3000 : wchar_t(0x4E00 + code % 0x5000);
        } else if (b >= 0xA1 && b <= 0xDF) {
            c = wchar_t(0xFF61 + (b - 0xA1));
        } else if (b >= 0x80) {
            c = wchar_t(0xF8F0 + (b & 0x0F));
        }
        if (written == capacity) return 0;
        wide[written++] = c;
    }
    return written;
}

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
