#include "join_path.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

// What does not fit in the capacity with its terminator is not written.
TEST(JoinPath, JoinsWithOneForwardSlashStripsOnePairOfEnclosingQuotesAndRefusesWhatDoesNotFit)
{
    const struct {
        const wchar_t *directory, *fileName, *joined;
        std::size_t capacity = 300;
    } cases[] = {
        {L"C:\\a\\b", L"excludeapp.txt", L"C:\\a\\b/excludeapp.txt"},
        {L"C:\\a\\b\\", L"excludeapp.txt", L"C:\\a\\b/excludeapp.txt"},
        {L"C:/a//\\", L"\\/x", L"C:/a/x"},
        {L"\"C:\\a\\b\"", L"excludeapp.txt", L"C:\\a\\b/excludeapp.txt"},
        {L"\"D:\\Data\\\\\"", L"\\name", L"D:\\Data/name"},
        {L"\"\"x\"\"", L"\"y\"", L"\"x\"/y"},
        {L"\"", L"y", L"\"/y"},  // one quote alone is no pair
        {L"\"\"", L"y", L"/y"},
        {L"", L"vimlet.ini", L"/vimlet.ini"},
        {nullptr, L"vimlet.ini", L"/vimlet.ini"},
        {L"D:\\Data", L"", L"D:\\Data/"},
        {L"D:\\Data", nullptr, L"D:\\Data/"},
        {L"abc", L"def", L"abc/def", 8},
        {L"abc", L"defg", L"abc/defg", 8},
    };
    for (const auto& c : cases) {
        wchar_t out[300] = L"#";
        EXPECT_EQ(vimlet::JoinPath(c.directory, c.fileName, out, c.capacity), std::wcslen(c.joined)) << c.joined;
        EXPECT_STREQ(out, std::wcslen(c.joined) < c.capacity ? c.joined : L"#");
    }
}

static_assert(vimlet::JoinPath(L"a", L"b", nullptr, 0) == 3);

} // namespace
