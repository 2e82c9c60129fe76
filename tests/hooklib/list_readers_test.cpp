// The two readers of the exclusion list on files the program writes: whatever the program lists
// after reading a file back, the hook library's check excludes, and nothing else.
#include "Settings.h"
#include "exclusion.h"

#include "TempDir.h"
#include "double_byte_stand_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Ansi(const std::wstring& text)
{
    char bytes[4 * vimlet::kListLineCapacity];
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, length);
}

// Paths, white space of both alphabets, line ends, NUL, letters in both cases, characters the
// code page lacks; now and then an entry too long to be written.
std::wstring RandomEntry(std::mt19937& random)
{
    static const std::wstring alphabet =
        L"aAzZ09:\\/. _\t\r\n\v\f" L"\x00a0\x00e4\x00c4\x00e9\x2002\x3000\x3042\x4e2d\x0e01" +
        std::wstring(1, L'\0');
    const std::size_t length = random() % 16 == 0 ? 990 + random() % 20 : random() % 24;
    std::wstring entry;
    for (std::size_t i = 0; i < length; ++i) entry += alphabet[random() % alphabet.size()];
    return entry;
}

TEST(ListReaders, AgreeOnEveryFileTheProgramWrites)
{
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    std::mt19937 random(8);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::wstring> written(random() % 5);
        for (std::wstring& entry : written) entry = RandomEntry(random);
        SaveExcludeListTo(file, written);
        std::vector<std::wstring> listed;
        LoadExcludeListFrom(file, listed);

        std::vector<std::wstring> candidates = written;
        candidates.insert(candidates.end(), listed.begin(), listed.end());
        for (const std::wstring& candidate : candidates) {
            const std::string host = Ansi(candidate);
            if (host.size() >= vimlet::kPathCapacity || host.find('\0') != std::string::npos) continue;
            vimlet::ExclusionCache cache{};
            std::copy(host.begin(), host.end(), cache.hostPath);
            const bool programLists = std::any_of(listed.begin(), listed.end(), [&](const std::wstring& e) {
                const std::string entry = Ansi(e);
                return vimlet::EqualsIgnoringAsciiCase({entry.data(), entry.data() + entry.size()},
                                                       host.c_str());
            });
            EXPECT_EQ(!cache.AllowsHiding(file.c_str()), programLists)
                << "round " << round << ", host " << testing::PrintToString(host) << " in "
                << testing::PrintToString(ReadBytes(file));
        }
    }
}

// What the program's reading depends on: how many characters, which are white space, and the
// ASCII and half-width ones; the stand-in makes up the other characters.
std::wstring Shape(const wchar_t* wide, int count)
{
    std::wstring shape(wide, count);
    for (wchar_t& c : shape)
        if (c >= 0x80 && !std::iswspace(c) && !(c >= 0xFF61 && c <= 0xFF9F)) c = L'X';
    return shape;
}

// The fuzz target's stand-in against the system's code page 932, in whatever locale this runs.
TEST(DoubleByteStandIn, DecodesLeadAndTrailBytesLikeCodePage932)
{
    using namespace std::string_literals;
    const std::string cases[] = {
        // pairs
        "\x81\x40", "\x88\x9F", "\x95\x5C", "\x83\x5C", "\xE0\x40", "\xFC\x4B", "\x9F\xFC",
        // a lead byte before what is no trail byte
        "\x81\x20", "\x81\x7F", "\x88\x0A", "\x81\x3F", "\x88\xFD", "\xE0\x81\x40", "\x81\0"s,
        // a lead byte at the end
        "\x81", "a\x88", "\x81\x40\xFC",
        // single bytes
        "\x80", "\xA0", "\xA1", "\xDF", "\xFD", "\xFE", "\xFF", "\x7F", " \t",
    };
    for (const std::string& bytes : cases) {
        wchar_t system[8], standIn[8];
        const int count = static_cast<int>(bytes.size());
        const int fromSystem = MultiByteToWideChar(932, 0, bytes.data(), count, system, 8);
        const int fromStandIn = stand_in::DecodeDoubleByte(bytes.data(), count, standIn, 8);
        std::string decimal;
        for (unsigned char b : bytes) decimal += " " + std::to_string(b);
        EXPECT_EQ(Shape(standIn, fromStandIn), Shape(system, fromSystem)) << "bytes" << decimal;
    }
}

} // namespace
