// The exclusion check on real list files and over a stand-in for one, and the program's reader
// of the same list beside it.
#include "Settings.h"
#include "exclusion.h"

#include "TempDir.h"
#include "double_byte_stand_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr char kHost[] = "C:\\Program Files\\Editor\\editor.exe";
constexpr wchar_t kWideHost[] = L"C:\\Program Files\\Editor\\editor.exe";
constexpr std::size_t kHostLength = sizeof kHost - 1;

vimlet::ExclusionCache CacheFor(const char* host)
{
    vimlet::ExclusionCache cache{};
    std::strcpy(cache.hostPath, host);
    return cache;
}

class Exclusion : public testing::Test {
protected:
    bool Allows() { return m_cache.AllowsHiding(m_list.c_str()); }

    // Writes the list and gives it a last-write time of its own, so every rewrite counts.
    void WriteList(const std::string& bytes) { WriteListAt(bytes, m_clock += kTicksPerSecond); }

    void WriteListAt(const std::string& bytes, ULONGLONG ticks)
    {
        WriteBytes(m_list, bytes);
        ASSERT_TRUE(SetLastWriteTime(m_list, ticks));
    }

    TempDir m_dir;
    std::wstring m_list = m_dir.File(L"excludeapp.txt");
    vimlet::ExclusionCache m_cache = CacheFor(kHost);
    ULONGLONG m_clock = 13300000000 * kTicksPerSecond;  // a whole second
};

TEST_F(Exclusion, NoFileEmptyHostPathOrUnterminatedListPathAllowsHiding)
{
    EXPECT_TRUE(Allows());
    EXPECT_TRUE(m_cache.AllowsHiding(L""));

    WriteList("C:\\Program Files\\Editor\\editor.exe\r\n");
    wchar_t path[vimlet::kPathCapacity];
    for (wchar_t& c : path) c = L'x';  // another process mid-rewrite: no terminator
    EXPECT_TRUE(m_cache.AllowsHiding(path));

    m_cache.hostPath[0] = '\0';
    WriteList("\r\n  \r\nC:\\x.exe\r\n");
    EXPECT_TRUE(Allows());
}

TEST_F(Exclusion, NonAsciiLettersAreNotFolded)
{
    std::strcpy(m_cache.hostPath, "C:\\\xC4pfel\\app.exe");  // Ä in code page 1252
    WriteList("C:\\\xE4pfel\\app.exe\r\n");                 // ä
    EXPECT_TRUE(Allows());
    WriteList("c:\\\xC4PFEL\\APP.EXE\r\n");
    EXPECT_FALSE(Allows());
}

TEST_F(Exclusion, RewriteIsNoticedByItsLastWriteTimeOrSizeAloneAndDeletionKeepsTheLastAnswer)
{
    const std::string listed = std::string(kHost) + "\r\n", other(listed.size(), 'x');
    WriteList(listed);
    EXPECT_FALSE(Allows());
    WriteList("D:\\x.exe\r\n");
    EXPECT_TRUE(Allows());
    WriteList(listed);
    EXPECT_FALSE(Allows());

    WriteListAt(other, m_clock + 2000000);
    EXPECT_TRUE(Allows()) << "same size, same second, 200 ms later";
    WriteListAt(listed + "\r\n", m_clock + 2000000);
    EXPECT_FALSE(Allows()) << "same time, another size";
    WriteListAt(other + "\r\n", m_clock + 2000000);
    EXPECT_FALSE(Allows()) << "same time and size: the cached answer stands";
    ASSERT_TRUE(SetLastWriteTime(m_list, m_clock - 100 * kTicksPerSecond));
    EXPECT_TRUE(Allows()) << "a time that went back counts as a change";

    WriteList(listed);
    EXPECT_FALSE(Allows());
    ASSERT_TRUE(DeleteFileW(m_list.c_str()));
    EXPECT_FALSE(Allows());
}

TEST_F(Exclusion, AnotherExecutableIsJudgedAfreshAndApartFromTheHost)
{
    WriteList(std::string("C:\\apps\\old32.exe\n") + kHost + "\n");
    vimlet::ExclusionCache other{};
    EXPECT_FALSE(other.AllowsHidingFor("C:\\APPS\\OLD32.EXE", m_list.c_str()));
    // The list is unchanged: only the executable tells the answers apart.
    EXPECT_TRUE(other.AllowsHidingFor("C:\\apps\\new32.exe", m_list.c_str()));
    EXPECT_FALSE(other.AllowsHidingFor("C:\\apps\\old32.exe", m_list.c_str()));
    EXPECT_FALSE(Allows()) << "the host's own answer stands";
    WriteList("C:\\apps\\new32.exe\n");
    EXPECT_TRUE(other.AllowsHidingFor("C:\\apps\\old32.exe", m_list.c_str()));
    EXPECT_FALSE(other.AllowsHidingFor("C:\\apps\\new32.exe", m_list.c_str()));
}

vimlet::ByteRange Trim(const char* line)
{
    return vimlet::TrimAsciiSpace({line, line + std::strlen(line)});
}

TEST(ExclusionHelpers, TrimAndCompare)
{
    const vimlet::ByteRange trimmed = Trim(" \t\x0b\x0c\r\nab c\r\n");
    EXPECT_EQ(std::string(trimmed.begin, trimmed.end), "ab c");
    const vimlet::ByteRange blank = Trim(" \t\r\n");
    EXPECT_EQ(blank.begin, blank.end);
    const vimlet::ByteRange nbsp = Trim("\xA0x\xA0");
    EXPECT_EQ(std::string(nbsp.begin, nbsp.end), "\xA0x\xA0") << "only ASCII white space";

    const char entry[] = "AbC";
    EXPECT_TRUE(vimlet::EqualsIgnoringAsciiCase({entry, entry + 3}, "aBc"));
    EXPECT_FALSE(vimlet::EqualsIgnoringAsciiCase({entry, entry + 3}, "aBcd"));
    EXPECT_FALSE(vimlet::EqualsIgnoringAsciiCase({entry, entry + 2}, "aBc"));
    const char bracket[] = "[";  // 0x5B must not fold to 0x7B
    EXPECT_FALSE(vimlet::EqualsIgnoringAsciiCase({bracket, bracket + 1}, "{"));
}

// The same check over a stand-in list file: what reaches the file and when reading stops. The
// drive N: is a mapped network drive, Q: is not there, every other drive is local.
struct FakeListFile {
    static inline std::vector<std::string> chunks;  // what the reads give in turn; "" is a failed read
    static inline std::size_t reads;                // since the last opening
    static inline std::vector<std::wstring> reached;  // the paths asked for status or opened
    static inline std::wstring appData = L"C:\\Users\\me\\AppData\\Roaming";
    static inline int judgements;                   // drive and AppData queries

    static bool Stamp(const wchar_t* path, vimlet::ListStamp* stamp)
    {
        reached.push_back(path);
        *stamp = {1, 1};
        return true;
    }
    static UINT DriveType(const wchar_t* root)
    {
        ++judgements;
        return root[0] == L'N' ? DRIVE_REMOTE : root[0] == L'Q' ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    }
    static bool AppDataFolder(wchar_t (&folder)[vimlet::kPathCapacity])
    {
        ++judgements;
        vimlet::CopyTerminated(appData.c_str(), folder);
        return true;
    }
    explicit FakeListFile(const wchar_t* path)
    {
        reached.push_back(path);
        reads = 0;
    }
    bool IsOpen() const { return true; }
    int Read(char* buffer, int)
    {
        if (reads == chunks.size()) return 0;
        const std::string& chunk = chunks[reads++];
        std::memcpy(buffer, chunk.data(), chunk.size());
        return static_cast<int>(chunk.size());
    }
};

TEST(ExclusionThroughStandIn, AReadErrorEndsTheReading)
{
    FakeListFile::chunks = {"D:\\x.exe\r\nC:\\ho", "", "st.exe\r\nC:\\host.exe\r\n"};
    vimlet::ExclusionCache cache = CacheFor("C:\\host.exe");
    EXPECT_TRUE(cache.AllowsHidingIn<FakeListFile>(L"C:\\excludeapp.txt"));
    EXPECT_EQ(FakeListFile::reads, 2u);
}

// Leaves junk where the next call's locals will lie.
__attribute__((noinline)) void FillStack(wchar_t junk)
{
    volatile wchar_t area[8 * vimlet::kPathCapacity];
    for (volatile wchar_t& c : area) c = junk;
}

// Called right after FillStack, so that its frame lies where the junk is.
__attribute__((noinline)) bool AllowsHidingOverJunk(vimlet::ExclusionCache& cache, const wchar_t* listPath)
{
    return cache.AllowsHidingIn<FakeListFile>(listPath);
}

// A list path of any process's choosing is opened only on a local drive or as this user's own
// list; anything else reads as no list, and is judged once, not at every key.
TEST(ExclusionThroughStandIn, HostileSharedPathsNeverReachTheFile)
{
    const std::wstring ownList = L"C:\\Users\\me\\AppData\\Roaming/Vimlet/excludeapp.txt";
    const std::wstring longest = L"C:\\" + std::wstring(241, L'x') + L"/excludeapp.txt";  // 259 units
    const std::wstring home = L"\\\\server\\home\\me\\AppData\\Roaming\\";
    const struct {
        std::wstring path, appData;
        bool opened;
    } cases[] = {
        {ownList, L"", true},
        {L"d:/lists/EXCLUDEAPP.TXT", L"", true},
        {L"E:\\excludeapp.txt", L"", true},
        {longest, L"", true},
        {longest + L"y", L"", false},  // 260 units, unterminated
        {L"\\\\server\\share\\Vimlet/excludeapp.txt", L"", false},
        {L"\\\\host@80\\x\\excludeapp.txt", L"", false},
        {L"\\\\host@SSL\\DavWWWRoot\\excludeapp.txt", L"", false},
        {L"\\\\.\\pipe\\excludeapp.txt", L"", false},
        {L"\\\\?\\C:\\x\\excludeapp.txt", L"", false},
        {L"\\\\?\\UNC\\server\\share\\excludeapp.txt", L"", false},
        {L"\\\\.\\C:\\x\\excludeapp.txt", L"", false},
        {L"C:\\x\\COM1", L"", false},
        {L"C:\\x\\nul.txt", L"", false},
        {L"C:excludeapp.txt", L"", false},
        {L"\\Vimlet\\excludeapp.txt", L"", false},
        {L"N:\\Vimlet/excludeapp.txt", L"", false},  // a mapped network drive
        {L"Q:\\Vimlet/excludeapp.txt", L"", false},  // no drive yet: it could be mapped later
        // AppData redirected to a server or a network drive keeps the user's own list.
        {L"\\\\Server\\HOME\\me\\AppData\\Roaming/vimlet/excludeapp.txt", home, true},
        {L"N:\\AppData\\Roaming/Vimlet/excludeapp.txt", L"N:\\AppData\\Roaming", true},
        {L"\\\\server\\home\\other\\AppData\\Roaming/Vimlet/excludeapp.txt", home, false},
        {L"\\\\server\\home\\me\\AppData\\Roaming\\Vimlet/excludeapp.txt", home, false},  // not spelled as joined
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        FakeListFile::chunks = {"C:\\host.exe\r\n"};
        FakeListFile::appData = c.appData.empty() ? L"C:\\Users\\me\\AppData\\Roaming" : c.appData;
        FakeListFile::reached.clear();
        wchar_t shared[vimlet::kPathCapacity];  // unterminated unless the path is shorter
        std::wmemcpy(shared, c.path.c_str(), std::min<std::size_t>(c.path.size() + 1, vimlet::kPathCapacity));
        vimlet::ExclusionCache cache = CacheFor("C:\\host.exe");
        FillStack(L'j');
        EXPECT_EQ(AllowsHidingOverJunk(cache, shared), !c.opened);
        const int judgements = FakeListFile::judgements;
        EXPECT_EQ(AllowsHidingOverJunk(cache, shared), !c.opened);
        EXPECT_EQ(FakeListFile::judgements, judgements) << "judged again with the path unchanged";
        const std::vector<std::wstring> reached(3, c.path);  // status, opening, status
        EXPECT_EQ(FakeListFile::reached, c.opened ? reached : std::vector<std::wstring>{});
    }
}

// The two readers of the exclusion list on the same files: the entries the program lists and
// whether the hook library's check excludes a host, on chosen files; and on files the program
// writes, whatever the program lists after reading a file back, the check excludes, and nothing
// else.
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
    {"LastBytesOfALongLineAreAnEntryOfTheirOwn",
     std::string(999, 'x') + kHost + std::string(501 - kHostLength, ' ') + "\r\n",
     {std::wstring(999, L'x'), kWideHost}, true},
    {"FirstBytesOfALongLineAreAnEntryOfTheirOwn",
     std::string(999 - kHostLength, ' ') + kHost + std::string(501, 'y') + "\r\n",
     {kWideHost, std::wstring(501, L'y')}, true},
};

class ListFileRows : public testing::TestWithParam<ListFileCase> {};

TEST_P(ListFileRows, BothReadersSeeTheRowsEntries)
{
    const ListFileCase& c = GetParam();
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    WriteBytes(file, c.bytes);
    std::vector<std::wstring> listed = {L"stale entry"};
    EXPECT_TRUE(SettingsStore(dir.Path()).LoadExcludeList(listed));
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(!CacheFor(kHost).AllowsHiding(file.c_str()), c.hostExcluded);
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
        SettingsStore(dir.Path()).SaveExcludeList(written);
        std::vector<std::wstring> listed;
        SettingsStore(dir.Path()).LoadExcludeList(listed);

        std::vector<std::wstring> candidates = written;
        candidates.insert(candidates.end(), listed.begin(), listed.end());
        for (const std::wstring& candidate : candidates) {
            const std::string host = Ansi(candidate);
            if (host.size() >= vimlet::kPathCapacity || host.find('\0') != std::string::npos) continue;
            vimlet::ExclusionCache cache = CacheFor(host.c_str());
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
