// The exclusion check on real list files, and over a stand-in for one.
#include "exclusion.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr char kHost[] = "C:\\Program Files\\Editor\\editor.exe";

vimlet::ExclusionCache CacheFor(const char* host)
{
    vimlet::ExclusionCache cache{};
    std::strcpy(cache.hostPath, host);
    return cache;
}

class Exclusion : public testing::Test {
protected:
    bool Allows() { return m_cache.AllowsHiding(m_list.c_str()); }

    // Writes the list and gives it a modification time of its own, so every rewrite counts.
    void WriteList(const std::string& bytes)
    {
        WriteBytes(m_list, bytes);
        SetModificationTime(++m_fakeTime);
    }

    void SetModificationTime(LONGLONG seconds)
    {
        HANDLE file = CreateFileW(m_list.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const ULONGLONG ticks = (seconds + 11644473600LL) * 10000000ULL;  // since 1601
        FILETIME time{DWORD(ticks), DWORD(ticks >> 32)};
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }

    TempDir m_dir;
    std::wstring m_list = m_dir.File(L"excludeapp.txt");
    vimlet::ExclusionCache m_cache = CacheFor(kHost);
    LONGLONG m_fakeTime = 1700000000;
};

TEST_F(Exclusion, NoFileAllowsHiding)
{
    EXPECT_TRUE(Allows());
    EXPECT_TRUE(m_cache.AllowsHiding(L""));
}

TEST_F(Exclusion, NonAsciiLettersAreNotFolded)
{
    std::strcpy(m_cache.hostPath, "C:\\\xC4pfel\\app.exe");  // Ä in code page 1252
    WriteList("C:\\\xE4pfel\\app.exe\r\n");                 // ä
    EXPECT_TRUE(Allows());
    WriteList("c:\\\xC4PFEL\\APP.EXE\r\n");
    EXPECT_FALSE(Allows());
}

TEST_F(Exclusion, LongLineIsReadAsTwoEntries)
{
    const std::string host = kHost;
    WriteList(std::string(999, 'x') + host + std::string(501 - host.size(), ' ') + "\r\n");
    EXPECT_FALSE(Allows()) << "the last 501 bytes are an entry of their own";

    WriteList(std::string(999 - host.size(), ' ') + host + std::string(501, 'y') + "\r\n");
    EXPECT_FALSE(Allows()) << "so are the first 999";
}

TEST_F(Exclusion, RewriteIsNoticedByItsModificationTime)
{
    WriteList("C:\\Program Files\\Editor\\editor.exe\r\n");
    EXPECT_FALSE(Allows());
    WriteList("D:\\x.exe\r\n");
    EXPECT_TRUE(Allows());
    WriteList("C:\\Program Files\\Editor\\editor.exe\r\n");
    EXPECT_FALSE(Allows());
}

TEST_F(Exclusion, UnchangedModificationTimeIsNotReadAgain)
{
    WriteList("C:\\Program Files\\Editor\\editor.exe\r\n");
    EXPECT_FALSE(Allows());
    WriteBytes(m_list, "D:\\x.exe\r\n");
    SetModificationTime(m_fakeTime);
    EXPECT_FALSE(Allows()) << "same second, the cached answer stands";
    SetModificationTime(m_fakeTime - 100);
    EXPECT_TRUE(Allows()) << "a time that went back counts as a change";
}

TEST_F(Exclusion, DeletedFileKeepsTheLastAnswer)
{
    WriteList("C:\\Program Files\\Editor\\editor.exe\r\n");
    EXPECT_FALSE(Allows());
    ASSERT_TRUE(DeleteFileW(m_list.c_str()));
    EXPECT_FALSE(Allows());
}

TEST_F(Exclusion, EmptyHostPathMatchesNothing)
{
    m_cache.hostPath[0] = '\0';
    WriteList("\r\n  \r\nC:\\x.exe\r\n");
    EXPECT_TRUE(Allows());
}

TEST_F(Exclusion, UnterminatedSharedPathIsCutSafely)
{
    WriteList("C:\\Program Files\\Editor\\editor.exe\r\n");
    wchar_t path[vimlet::kPathCapacity];
    for (wchar_t& c : path) c = L'x';  // another process mid-rewrite: no terminator
    EXPECT_TRUE(m_cache.AllowsHiding(path));
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

// The same check over a stand-in list file: what reaches the file and when reading stops.
struct FakeListFile {
    static inline std::vector<std::string> chunks;  // what the reads give in turn; "" is a failed read
    static inline std::size_t reads;                // since the last opening
    static inline std::size_t pathLength;           // kPathCapacity when unterminated

    static bool ModificationTime(const wchar_t* path, __int64* seconds)
    {
        pathLength = wcsnlen(path, vimlet::kPathCapacity);
        *seconds = 1;
        return true;
    }
    explicit FakeListFile(const wchar_t*) { reads = 0; }
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
    EXPECT_TRUE(cache.AllowsHidingIn<FakeListFile>(L"list"));
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

TEST(ExclusionThroughStandIn, LocalCopyOfTheSharedPathIsTerminatedOverJunk)
{
    FakeListFile::chunks = {};
    vimlet::ExclusionCache cache = CacheFor("C:\\host.exe");
    wchar_t shared[vimlet::kPathCapacity];
    std::wmemset(shared, L'x', vimlet::kPathCapacity);  // another process mid-rewrite
    FillStack(L'j');
    EXPECT_TRUE(AllowsHidingOverJunk(cache, shared));
    EXPECT_EQ(FakeListFile::pathLength, std::size_t(vimlet::kPathCapacity - 1));
}

} // namespace
