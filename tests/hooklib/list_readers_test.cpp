// The two readers of the exclusion list on the same files: the entries the program lists and
// whether the hook library's check excludes a host, on chosen files; and on files the program
// writes, whatever the program lists after reading a file back, the check excludes, and nothing
// else.
#include "Settings.h"
#include "exclusion.h"

#include "TempDir.h"
#include "double_byte_stand_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr char kHost[] = "C:\\Program Files\\Editor\\editor.exe";

struct ListFileCase {
    const char* name;
    std::string bytes;
    std::vector<std::wstring> listed;  // by the program
    bool hostExcluded;                 // by the hooks
};

const ListFileCase kListFileCases[] = {
    {"WholePathMatchesInOtherAsciiCase", "D:\\other.exe\r\nc:\\PROGRAM FILES\\editor\\EDITOR.EXE\r\n",
     {L"D:\\other.exe", L"c:\\PROGRAM FILES\\editor\\EDITOR.EXE"}, true},
    {"BareFileNameOrPrefixDoesNotMatch",
     "editor.exe\r\nC:\\Program Files\\Editor\\editor\r\nC:\\Program Files\\Editor\\editor.exe.bak\r\n",
     {L"editor.exe", L"C:\\Program Files\\Editor\\editor", L"C:\\Program Files\\Editor\\editor.exe.bak"}, false},
    {"WhiteSpaceAndBlankLinesAreIgnored", "\r\n \t \r\n\t  C:\\Program Files\\Editor\\editor.exe \t\v\f\r\n\r\n",
     {L"C:\\Program Files\\Editor\\editor.exe"}, true},
    {"TrimsWhiteSpaceAndSkipsBlankLines", "  D:\\A\\x.exe  \r\n\r\n\t\t\r\n \tC:\\Program Files\\a b.exe\t\n",
     {L"D:\\A\\x.exe", L"C:\\Program Files\\a b.exe"}, false},
    {"KeepsOrderDuplicatesAndAnUnendedLastLine", "E:\\b.exe\r\nD:\\a.exe\r\nE:\\b.exe\r\nC:\\c.exe",
     {L"E:\\b.exe", L"D:\\a.exe", L"E:\\b.exe", L"C:\\c.exe"}, false},
    {"LastLineWithoutLineEndCounts", "D:\\x.exe\r\nC:\\Program Files\\Editor\\editor.exe",
     {L"D:\\x.exe", L"C:\\Program Files\\Editor\\editor.exe"}, true},
    {"SplitsALongLineInto999ByteEntries", std::string(1500, 'x') + "\r\n",
     {std::wstring(999, L'x'), std::wstring(501, L'x')}, false},
};

class ListFileRows : public testing::TestWithParam<ListFileCase> {};

TEST_P(ListFileRows, BothReadersSeeTheRowsEntries)
{
    const ListFileCase& c = GetParam();
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    WriteBytes(file, c.bytes);
    std::vector<std::wstring> listed = {L"stale entry"};
    EXPECT_TRUE(LoadExcludeListFrom(file, listed));
    EXPECT_EQ(listed, c.listed);
    vimlet::ExclusionCache cache{};
    std::strcpy(cache.hostPath, kHost);
    EXPECT_EQ(!cache.AllowsHiding(file.c_str()), c.hostExcluded);
}

void PrintTo(const ListFileCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(Each, ListFileRows, testing::ValuesIn(kListFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

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
