// The exclusion check over a stand-in list file: what reaches the file and when reading stops.
#include "exclusion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct FakeListFile {
    static inline std::vector<std::string> chunks;  // what the reads give in turn; "" is a failed read
    static inline std::size_t reads;
    static inline std::size_t pathLength;           // kPathCapacity when unterminated

    static bool ModificationTime(const wchar_t* path, __int64* seconds)
    {
        pathLength = wcsnlen(path, vimlet::kPathCapacity);
        *seconds = 1;
        return true;
    }
    explicit FakeListFile(const wchar_t*) {}
    bool IsOpen() const { return true; }
    int Read(char* buffer, int)
    {
        if (reads == chunks.size()) return 0;
        const std::string& chunk = chunks[reads++];
        std::memcpy(buffer, chunk.data(), chunk.size());
        return static_cast<int>(chunk.size());
    }
};

vimlet::ExclusionCache CacheFor(const char* host)
{
    vimlet::ExclusionCache cache{};
    std::strcpy(cache.hostPath, host);
    FakeListFile::reads = 0;
    return cache;
}

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
