#include "join_path.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

TEST(JoinPath, JoinsWithOneForwardSlashAndStripsOnePairOfEnclosingQuotes)
{
    const struct {
        const wchar_t *directory, *fileName, *joined;
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
    };
    for (const auto& c : cases) {
        wchar_t out[300];
        EXPECT_EQ(vimlet::JoinPath(c.directory, c.fileName, out, 300), std::wcslen(c.joined)) << c.joined;
        EXPECT_STREQ(out, c.joined);
    }
}

TEST(JoinPath, RefusesWhatDoesNotFit)
{
    wchar_t out[8];
    out[0] = L'#';
    EXPECT_EQ(vimlet::JoinPath(L"abc", L"defg", out, 8), 8u);  // needs 9 with the terminator
    EXPECT_EQ(out[0], L'#');
    EXPECT_EQ(vimlet::JoinPath(L"abc", L"def", out, 8), 7u);
    EXPECT_STREQ(out, L"abc/def");
}

static_assert(vimlet::JoinPath(L"a", L"b", nullptr, 0) == 3);

} // namespace
