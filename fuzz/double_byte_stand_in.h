#pragma once
// A stand-in for code page 932 with MultiByteToWideChar's contract, for native builds, where
// that function is missing. The test programs check it against the system's decoder.

namespace stand_in {

inline bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool IsTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Single bytes, lead and trail pairs (0x81 0x40 is the ideographic space), and the default
// character for a lead byte without its trail: at the end of the bytes or before a NUL, or
// taking along whatever other byte follows it, white space and line feed included, as the
// system does.
// Fails when the output does not fit.
inline int DecodeDoubleByte(const char* bytes, int count, wchar_t* wide, int capacity)
{
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        wchar_t c = b;
        if (IsLead(b)) {
            const auto second = static_cast<unsigned char>(i + 1 < count && bytes[i + 1] ? bytes[++i] : 0);
            const unsigned code = IsTrail(second) ? (b << 8 | second) : 0;
            c = code == 0 ? 0x30FB : code == 0x8140 ? 0x3000 : wchar_t(0x4E00 + code % 0x5000);
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

} // namespace stand_in
