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
#include <utility>
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

    const TempAppData m_appData;
    std::wstring m_list = m_appData.ListPath();
    vimlet::ExclusionCache m_cache = CacheFor(kHost);
    ULONGLONG m_clock = 13300000000 * kTicksPerSecond;  // a whole second
};

TEST_F(Exclusion, NoFileEmptyHostOrUnterminatedListPathAllowsHidingARewriteIsNoticedByTimeOrSizeAloneDeletionIsNot)
{
    const std::string listed = std::string(kHost) + "\r\n", other(listed.size(), 'x');
    EXPECT_TRUE(Allows());
    EXPECT_TRUE(m_cache.AllowsHiding(L""));
    WriteListAt(listed, m_clock);
    EXPECT_FALSE(Allows());
    wchar_t path[vimlet::kPathCapacity];
    for (wchar_t& c : path) c = L'x';  // another process mid-rewrite: no terminator
    EXPECT_TRUE(m_cache.AllowsHiding(path));
    // Saved again within the same tick at the same size: only the change of path makes it read.
    WriteListAt(other, m_clock);
    EXPECT_TRUE(Allows()) << "the answer for the path before the change was kept";

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

    m_cache.hostPath[0] = '\0';
    WriteList("\r\n  \r\nC:\\x.exe\r\n");
    EXPECT_TRUE(Allows());
}

// Only ASCII white space is trimmed and only A-Z fold: not a no-break space, nor ä, '{' or '|' to Ä, '[' or '\\'.
TEST_F(Exclusion, NonAsciiBytesAreNeitherFoldedNorTrimmed)
{
    std::strcpy(m_cache.hostPath, "C:\\[\xC4pfel\\app.exe");  // Ä in code page 1252
    for (const char* unlike : {"C:\\[\xE4pfel\\app.exe", "\xA0" "C:\\[\xC4pfel\\app.exe\xA0",
                               "C:\\{\xC4pfel\\app.exe", "C:|[\xC4pfel|app.exe"}) {
        WriteList(unlike + std::string("\r\n"));
        EXPECT_TRUE(Allows()) << unlike;
    }
    WriteList("c:\\[\xC4PFEL\\APP.EXE\r\n");
    EXPECT_FALSE(Allows());
}

// Sparse: the disk holds next to nothing of it.
void Lengthen(const std::wstring& path, ULONGLONG size)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    const LARGE_INTEGER end{.QuadPart = static_cast<LONGLONG>(size)};
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
}

TEST_F(Exclusion, AListOverTheSizeLimitIsReadByNeitherReaderAndTheProgramSaysWhy)
{
    for (const ULONGLONG size : {vimlet::kListSizeLimit, vimlet::kListSizeLimit + 1}) {
        const bool over = size > vimlet::kListSizeLimit;
        SCOPED_TRACE(over ? "over" : "at the limit");
        WriteBytes(m_list, std::string(kHost) + "\r\nC:\\x.exe\r\n");
        Lengthen(m_list, size);
        ASSERT_TRUE(SetLastWriteTime(m_list, m_clock += kTicksPerSecond));
        EXPECT_EQ(Allows(), over);
        std::vector<std::wstring> listed;
        bool tooLarge = !over;
        EXPECT_EQ(SettingsStore(m_appData.SettingsDirectory()).LoadExcludeList(listed, &tooLarge), !over);
        EXPECT_EQ(tooLarge, over);
        EXPECT_EQ(listed.size(), over ? 0u : 2u);
    }
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

// The same check over stand-ins for the system's file calls: what reaches the file, what the
// opening meets, and when reading stops. Windows' facts that Wine does not have (oplocks, a
// medium-less drive's box) are recreated here.
constexpr ULONGLONG kSize = 100;  // what the stand-in's stamps report unless told

struct FakeCalls {
    static inline std::vector<std::string> chunks;  // what the reads give in turn; "" is a failed read
    static inline std::size_t reads;                // since the last opening
    static inline std::vector<std::wstring> reached;  // the paths asked for status, and those opened
    static inline std::wstring appData;
    static inline int judgements;  // AppData lookups
    static inline vimlet::ListStamp stamp;
    static inline LONG status;        // NtCreateFile's answer
    static inline DWORD attributes;   // INVALID_FILE_ATTRIBUTES: no file on a disk (a pipe)
    static inline int handles;        // opened and not closed
    static inline bool quiet;         // critical-error boxes off

    static void Reset(const std::wstring& folder = L"C:\\Users\\me\\AppData\\Roaming")
    {
        chunks = {"C:\\host.exe\r\n"};
        reached.clear();
        appData = folder;
        stamp = {1, kSize};
        status = 0;
        attributes = FILE_ATTRIBUTE_ARCHIVE;
        reads = 0;
    }
    static void Reach(const wchar_t* path)
    {
        EXPECT_TRUE(quiet) << "a file call with critical-error boxes on";
        reached.push_back(path);
    }
    static bool Stamp(const wchar_t* path, vimlet::ListStamp* result)
    {
        Reach(path);
        *result = stamp;
        return true;
    }
    static bool AppDataFolder(wchar_t (&folder)[vimlet::kPathCapacity])
    {
        ++judgements;
        vimlet::CopyTerminated(appData.c_str(), folder);
        return true;
    }
    static UINT QuietErrors() { return std::exchange(quiet, true); }
    static void RestoreErrors(UINT previous) { quiet = previous; }
    static LONG Open(const wchar_t* ntPath, int, HANDLE* file)
    {
        Reach(ntPath);
        reads = 0;
        handles += status >= 0;
        *file = &handles;
        return status;
    }
    static bool IsDiskFile(HANDLE) { return attributes != INVALID_FILE_ATTRIBUTES; }
    static bool Attributes(HANDLE, DWORD* result)
    {
        *result = attributes;
        return true;
    }
    static bool Read(HANDLE, char* buffer, DWORD, DWORD* read)
    {
        *read = 0;
        if (reads == chunks.size()) return true;  // the end
        const std::string& chunk = chunks[reads++];
        *read = static_cast<DWORD>(chunk.size());
        std::memcpy(buffer, chunk.data(), chunk.size());
        return !chunk.empty();
    }
    static void Close(HANDLE) { --handles; }
};
using FakeListFile = vimlet::BasicListFile<FakeCalls>;

constexpr wchar_t kOwnList[] = L"C:\\Users\\me\\AppData\\Roaming/Vimlet/excludeapp.txt";

// After a list that excluded the host (or not) changes to one that does: whatever the opening
// meets, nothing waits, nothing stays open, and the thread's error mode comes back. A read would
// wait for an oplock's break: the list then counts as unchanged, and the next key tries again.
TEST(ExclusionThroughStandIn, WhatTheOpeningMeetsDecidesTheReading)
{
    constexpr LONG kBreak = vimlet::kStatusOplockBreakInProgress;
    const struct {
        const char* name;
        LONG status;
        DWORD attributes;
        ULONGLONG size;
        bool excludedBefore, read;
    } cases[] = {
        {"a plain file", 0, FILE_ATTRIBUTE_ARCHIVE, kSize, false, true},
        {"at the size limit", 0, 0, vimlet::kListSizeLimit, false, true},
        {"an oplock being broken", kBreak, 0, kSize, true, false},
        {"an oplock being broken, nothing listed before", kBreak, 0, kSize, false, false},
        {"a symbolic link or junction", 0, FILE_ATTRIBUTE_REPARSE_POINT, kSize, true, false},
        {"a folder", 0, FILE_ATTRIBUTE_DIRECTORY, kSize, true, false},
        {"a pipe", 0, INVALID_FILE_ATTRIBUTES, kSize, true, false},
        {"gone since its status", vimlet::kStatusObjectNameNotFound, 0, kSize, true, false},
        {"access denied", static_cast<LONG>(0xC0000022), 0, kSize, true, false},
        {"over the size limit", 0, 0, vimlet::kListSizeLimit + 1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCalls::Reset();
        if (!c.excludedBefore)  // the host's line comes after a read error, which ends the reading
            FakeCalls::chunks = {"D:\\x.exe\r\nC:\\ho", "", "st.exe\r\nC:\\host.exe\r\n"};
        vimlet::ExclusionCache cache = CacheFor("C:\\host.exe");
        EXPECT_EQ(cache.AllowsHidingIn<FakeListFile>(kOwnList), !c.excludedBefore);
        EXPECT_EQ(FakeCalls::reads, c.excludedBefore ? 1u : 2u);

        FakeCalls::Reset();
        FakeCalls::stamp = {2, c.size};
        FakeCalls::status = c.status;
        FakeCalls::attributes = c.attributes;
        const bool busy = c.status == kBreak;
        EXPECT_EQ(cache.AllowsHidingIn<FakeListFile>(kOwnList), busy ? !c.excludedBefore : !c.read);
        EXPECT_EQ(FakeCalls::reads, c.read ? 1u : 0u);
        EXPECT_EQ(FakeCalls::handles, 0);
        EXPECT_FALSE(FakeCalls::quiet) << "the thread's error mode back";

        FakeCalls::status = 0;
        FakeCalls::reached.clear();
        EXPECT_EQ(cache.AllowsHidingIn<FakeListFile>(kOwnList), !(c.read || busy));
        EXPECT_EQ(FakeCalls::reached.size(), busy ? 2u : 1u) << "opened again only after an oplock's break";
    }
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

// A list path of any process's choosing is opened only as this user's own list, wherever
// AppData lives; anything else reads as no list. AppData is looked up once, and again when the
// list changes.
TEST(ExclusionThroughStandIn, HostileSharedPathsNeverReachTheFile)
{
    const std::wstring home = L"\\\\server\\home\\me\\AppData\\Roaming";
    const std::wstring longAppData = L"C:\\" + std::wstring(234, L'x');  // its list: 259 units
    const struct {
        std::wstring path, ntPath = L"", appData = L"";  // ntPath: what is opened, "" for nothing
    } cases[] = {
        {kOwnList, L"\\??\\C:\\Users\\me\\AppData\\Roaming\\Vimlet\\excludeapp.txt"},
        {L"c:\\users\\ME\\AppData\\Roaming/vimlet/EXCLUDEAPP.TXT", L"\\??\\c:\\users\\ME\\AppData\\Roaming\\vimlet\\EXCLUDEAPP.TXT"},
        {longAppData + L"/Vimlet/excludeapp.txt", L"\\??\\" + longAppData + L"\\Vimlet\\excludeapp.txt", longAppData},
        {longAppData + L"/Vimlet/excludeapp.txty", L"", longAppData},  // 260 units, unterminated
        // AppData redirected to a server or a network drive keeps the user's own list.
        {L"\\\\Server\\HOME\\me\\AppData\\Roaming/vimlet/excludeapp.txt",
         L"\\??\\UNC\\Server\\HOME\\me\\AppData\\Roaming\\vimlet\\excludeapp.txt", home},
        {L"N:\\AppData\\Roaming/Vimlet/excludeapp.txt", L"\\??\\N:\\AppData\\Roaming\\Vimlet\\excludeapp.txt", L"N:\\AppData\\Roaming"},
        // Another user's list, a file of a sandboxed process's or anything on a local drive.
        {L"\\\\server\\home\\other\\AppData\\Roaming/Vimlet/excludeapp.txt", L"", home},
        {L"\\\\server\\home\\me\\AppData\\Roaming\\Vimlet/excludeapp.txt", L"", home},  // not spelled as joined
        {L"C:\\Users\\me\\AppData\\LocalLow/Vimlet/excludeapp.txt"}, {L"C:\\Users\\Public/Vimlet/excludeapp.txt"},
        {L"d:/lists/EXCLUDEAPP.TXT"}, {L"\\\\host@SSL\\DavWWWRoot\\excludeapp.txt"}, {L"\\\\.\\pipe\\excludeapp.txt"},
        {L"\\\\?\\C:\\Users\\me\\AppData\\Roaming/Vimlet/excludeapp.txt"}, {L"C:\\x\\COM1"}, {L"Vimlet/excludeapp.txt"},
        // AppData itself names a pipe or a device: its list is still never opened.
        {L"\\\\.\\pipe\\x/Vimlet/excludeapp.txt", L"", L"\\\\.\\pipe\\x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        FakeCalls::Reset(c.appData.empty() ? L"C:\\Users\\me\\AppData\\Roaming" : c.appData);
        wchar_t shared[vimlet::kPathCapacity];  // unterminated unless the path is shorter
        std::wmemcpy(shared, c.path.c_str(), std::min<std::size_t>(c.path.size() + 1, vimlet::kPathCapacity));
        vimlet::ExclusionCache cache = CacheFor("C:\\host.exe");
        const bool opened = !c.ntPath.empty();
        FillStack(L'j');
        EXPECT_EQ(AllowsHidingOverJunk(cache, shared), !opened);
        const int judgements = FakeCalls::judgements;
        EXPECT_EQ(AllowsHidingOverJunk(cache, shared), !opened);
        EXPECT_EQ(FakeCalls::judgements, judgements) << "judged again with the list unchanged";
        const std::vector<std::wstring> reached = {c.path, c.ntPath, c.path};  // status, opening, status
        EXPECT_EQ(FakeCalls::reached, opened ? reached : std::vector<std::wstring>{});
        if (!opened) continue;

        // A changed list is judged again: once AppData has moved, the old path is no longer this user's.
        FakeCalls::Reset(L"D:\\Roaming");
        FakeCalls::stamp = {2, kSize};
        EXPECT_TRUE(cache.AllowsHidingIn<FakeListFile>(shared));
        EXPECT_EQ(FakeCalls::reached, std::vector<std::wstring>{c.path}) << "the status only, not opened";
        EXPECT_FALSE(cache.AllowsHidingIn<FakeListFile>(L"D:\\Roaming/Vimlet/excludeapp.txt"));
    }
}

// The two readers of the exclusion list on the same files: the entries the program lists and
// whether the hook library's check excludes a host, on chosen files; and on files the program
// writes, whatever the program lists after reading a file back, the check excludes, and nothing
// else.
TEST_F(Exclusion, BothReadersSeeTheSameEntries)
{
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::wstring> listed;  // by the program
        bool hostExcluded;                 // by the hooks
    } cases[] = {
        {"whole path in other ASCII case", "D:\\other.exe\r\nc:\\PROGRAM FILES\\editor\\EDITOR.EXE\r\n",
         {L"D:\\other.exe", L"c:\\PROGRAM FILES\\editor\\EDITOR.EXE"}, true},
        {"bare file name or prefix",
         "editor.exe\r\nC:\\Program Files\\Editor\\editor\r\nC:\\Program Files\\Editor\\editor.exe.bak\r\n",
         {L"editor.exe", L"C:\\Program Files\\Editor\\editor", L"C:\\Program Files\\Editor\\editor.exe.bak"}, false},
        {"white space trimmed, blank lines skipped",
         "\r\n \t \r\n  D:\\A\\x.exe  \n\t  C:\\Program Files\\Editor\\editor.exe \t\v\f\r\n\r\n",
         {L"D:\\A\\x.exe", L"C:\\Program Files\\Editor\\editor.exe"}, true},
        {"order, duplicates and an unended last line", "E:\\b.exe\r\nD:\\a.exe\r\nE:\\b.exe\r\n" + std::string(kHost),
         {L"E:\\b.exe", L"D:\\a.exe", L"E:\\b.exe", kWideHost}, true},
        {"Ctrl+Z ends the file", "D:\\x.exe\r\n\x1a\r\n" + std::string(kHost) + "\r\n", {L"D:\\x.exe"}, false},
        // A long line is cut into 999-byte entries.
        {"last bytes of a long line", std::string(999, 'x') + kHost + std::string(501 - kHostLength, ' ') + "\r\n",
         {std::wstring(999, L'x'), kWideHost}, true},
        {"first bytes of a long line", std::string(999 - kHostLength, ' ') + kHost + std::string(501, 'y') + "\r\n",
         {kWideHost, std::wstring(501, L'y')}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteList(c.bytes);
        std::vector<std::wstring> listed = {L"stale entry"};
        EXPECT_TRUE(SettingsStore(m_appData.SettingsDirectory()).LoadExcludeList(listed));
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(!CacheFor(kHost).AllowsHiding(m_list.c_str()), c.hostExcluded);
    }
}

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

TEST_F(Exclusion, BothReadersAgreeOnEveryFileTheProgramWrites)
{
    const SettingsStore store(m_appData.SettingsDirectory());
    std::mt19937 random(8);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::wstring> hosts(random() % 5);  // the entries written, then those listed too
        for (std::wstring& entry : hosts) entry = RandomEntry(random);
        store.SaveExcludeList(hosts);
        std::vector<std::wstring> listed;
        store.LoadExcludeList(listed);

        hosts.insert(hosts.end(), listed.begin(), listed.end());
        for (const std::wstring& candidate : hosts) {
            const std::string host = Ansi(candidate);
            if (host.size() >= vimlet::kPathCapacity || host.find('\0') != std::string::npos) continue;
            vimlet::ExclusionCache cache = CacheFor(host.c_str());
            const bool programLists = std::any_of(listed.begin(), listed.end(), [&](const std::wstring& e) {
                const std::string entry = Ansi(e);
                return vimlet::EqualsIgnoringAsciiCase({entry.data(), entry.data() + entry.size()}, host.c_str());
            });
            EXPECT_EQ(!cache.AllowsHiding(m_list.c_str()), programLists)
                << "round " << round << ", host " << testing::PrintToString(host) << " in "
                << testing::PrintToString(ReadBytes(m_list));
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
    const std::string cases[] = {
        // pairs
        "\x81\x40", "\x88\x9F", "\x95\x5C", "\x83\x5C", "\xE0\x40", "\xFC\x4B", "\x9F\xFC",
        // a lead byte before what is no trail byte
        "\x81\x20", "\x81\x7F", "\x88\x0A", "\x81\x3F", "\x88\xFD", "\xE0\x81\x40", std::string("\x81\0", 2),
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
        EXPECT_EQ(Shape(standIn, fromStandIn), Shape(system, fromSystem)) << testing::PrintToString(bytes);
    }
}

} // namespace
