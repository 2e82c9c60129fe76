#include "join_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Join(const wchar_t* directory, const wchar_t* fileName)
{
    wchar_t out[300];
    const size_t length = vimlet::JoinPath(directory, fileName, out, 300);
    EXPECT_LT(length, 300u);
    EXPECT_EQ(length, std::wstring(out).size());
    return out;
}

TEST(JoinPath, JoinsWithOneForwardSlash)
{
    EXPECT_EQ(Join(L"C:\\a\\b", L"excludeapp.txt"), L"C:\\a\\b/excludeapp.txt");
    EXPECT_EQ(Join(L"C:\\a\\b\\", L"excludeapp.txt"), L"C:\\a\\b/excludeapp.txt");
    EXPECT_EQ(Join(L"C:/a//\\", L"\\/x"), L"C:/a/x");
}

TEST(JoinPath, StripsOnePairOfEnclosingQuotes)
{
    EXPECT_EQ(Join(L"\"C:\\a\\b\"", L"excludeapp.txt"), L"C:\\a\\b/excludeapp.txt");
    EXPECT_EQ(Join(L"\"D:\\Data\\\\\"", L"\\name"), L"D:\\Data/name");
    EXPECT_EQ(Join(L"\"\"x\"\"", L"\"y\""), L"\"x\"/y");
    EXPECT_EQ(Join(L"\"", L"y"), L"\"/y");  // one quote alone is no pair
    EXPECT_EQ(Join(L"\"\"", L"y"), L"/y");
}

TEST(JoinPath, EmptyOrNullParts)
{
    EXPECT_EQ(Join(L"", L"vimlet.ini"), L"/vimlet.ini");
    EXPECT_EQ(Join(nullptr, L"vimlet.ini"), L"/vimlet.ini");
    EXPECT_EQ(Join(L"D:\\Data", L""), L"D:\\Data/");
    EXPECT_EQ(Join(L"D:\\Data", nullptr), L"D:\\Data/");
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
