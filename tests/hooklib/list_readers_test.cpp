// The two readers of the exclusion list on the same files: the entries the program lists and
// whether the hook library's check excludes a host, on chosen files; and on files the program
// writes, whatever the program lists after reading a file back, the check excludes, and nothing
// else.
#include "Settings.h"
#include "exclusion.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
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

} // namespace
