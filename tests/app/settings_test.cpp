#include "Settings.h"

#include "TempDir.h"
#include "TestConstants.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>

namespace {

using List = std::vector<std::wstring>;

// Puts a real settings file back as it was, or removes it when there was none.
struct FileRestorer {
    explicit FileRestorer(const std::wstring& file) : path(file)
    {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) bytes = ReadBytes(path);
    }
    ~FileRestorer()
    {
        if (bytes)
            WriteBytes(path, *bytes);
        else
            DeleteFileW(path.c_str());
    }

    const std::wstring path;
    std::optional<std::string> bytes;
};

TEST(KeySettings, MissingFileSectionOrKeyGivesTheDefaults)
{
    TempDir dir;
    EXPECT_EQ(ReadKeySettingsFrom(dir.File(L"vimlet.ini")), kFirstStartKeys);

    WriteBytes(dir.File(L"other.ini"), "[Other]\r\nvk_lshift=0\r\n");
    EXPECT_EQ(ReadKeySettingsFrom(dir.File(L"other.ini")), kFirstStartKeys);

    WriteBytes(dir.File(L"partial.ini"), "[Vimlet]\r\nvk_rshift=1\r\nvk_space=0\r\n");
    const KeySettings expected = {true, true, true, true, false, false, false};
    EXPECT_EQ(ReadKeySettingsFrom(dir.File(L"partial.ini")), expected);
}

TEST(KeySettings, AnyNonZeroNumberIsOnAndTextIsOff)
{
    TempDir dir;
    WriteBytes(dir.File(L"vimlet.ini"), "[Vimlet]\r\nvk_lshift=2\r\nvk_lcontrol=0\r\n"
                                        "vk_lmenu=abc\r\nvk_rshift=5\r\nvk_rcontrol=0\r\n"
                                        "vk_rmenu=1\r\nvk_space=0\r\n");
    const KeySettings expected = {true, false, false, true, false, true, false};
    EXPECT_EQ(ReadKeySettingsFrom(dir.File(L"vimlet.ini")), expected);
}

TEST(KeySettings, WritesExactlyOneOrZero)
{
    TempDir dir;
    const std::wstring ini = dir.File(L"vimlet.ini");
    WriteBytes(ini, "[Vimlet]\r\nvk_lshift=2\r\n");

    WriteKeySettingTo(ini, kSuppressorSettings[0], true);
    WriteKeySettingTo(ini, kSuppressorSettings[6], false);
    const std::string text = ReadBytes(ini);
    EXPECT_NE(text.find("vk_lshift=1"), std::string::npos) << text;
    EXPECT_EQ(text.find("vk_lshift=2"), std::string::npos) << text;
    EXPECT_NE(text.find("vk_space=0"), std::string::npos) << text;
}

TEST(KeySettings, WritingAllSevenCreatesTheFileAndReadsBack)
{
    TempDir dir;
    const std::wstring ini = dir.File(L"vimlet.ini");
    const KeySettings chosen = {false, true, false, true, false, true, true};
    for (std::size_t i = 0; i < kSuppressorSettingCount; ++i)
        WriteKeySettingTo(ini, kSuppressorSettings[i], chosen[i]);
    EXPECT_EQ(ReadKeySettingsFrom(ini), chosen);
}

TEST(SettingsPaths, JoinTheApplicationDataFolderWithForwardSlashes)
{
    wchar_t folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, TRUE));
    const std::wstring directory = GetSettingsDirectory();
    EXPECT_EQ(directory, std::wstring(folder) + L"/Vimlet");
    EXPECT_EQ(GetIniFilePath(), directory + L"/vimlet.ini");
    EXPECT_EQ(GetExcludeFilePath(), directory + L"/excludeapp.txt");
}

TEST(SettingsPaths, JoinPathFollowsTheSharedRuleAtAnyLength)
{
    EXPECT_EQ(JoinPath(L"\"D:\\Data\\\"", L"\\vimlet.ini"), L"D:\\Data/vimlet.ini");
    EXPECT_EQ(JoinPath(L"", L"excludeapp.txt"), L"/excludeapp.txt");
    const std::wstring deep(600, L'd');
    EXPECT_EQ(JoinPath(deep, L"x"), deep + L"/x");
}

TEST(LoadExcludeList, MissingIsAnEmptyListAndUnreadableIsReported)
{
    TempDir dir;
    List list = {L"stale entry"};
    EXPECT_TRUE(LoadExcludeListFrom(dir.File(L"excludeapp.txt"), list));
    EXPECT_TRUE(list.empty());
    const std::wstring file = dir.File(L"folder.txt");
    WriteBytes(file, "C:\\x.exe\r\n");
    EXPECT_TRUE(LoadExcludeListFrom(file + L"\\excludeapp.txt", list)) << "a settings folder that is a file";

    list = {L"stale entry"};
    EXPECT_FALSE(LoadExcludeListFrom(dir.Path(), list));
    EXPECT_TRUE(list.empty());

    // Opened by someone who lets nobody else in. (A locked range, which opens but fails to read,
    // takes another process under Wine: the dialogs' tests have one.)
    const HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(LoadExcludeListFrom(file, list));
    CloseHandle(holder);
    EXPECT_TRUE(LoadExcludeListFrom(file, list));
    EXPECT_EQ(list, List{L"C:\\x.exe"});
}

TEST(SaveExcludeList, WritesEachEntryWithCarriageReturnAndLineFeed)
{
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    SaveExcludeListTo(file, {L"D:\\A\\x.exe", L"E:\\y.exe"});
    EXPECT_EQ(ReadBytes(file), "D:\\A\\x.exe\r\nE:\\y.exe\r\n");

    SaveExcludeListTo(file, {L"E:\\y.exe", L"D:\\A\\x.exe", L"E:\\y.exe"});
    List loaded;
    LoadExcludeListFrom(file, loaded);
    EXPECT_EQ(loaded, (List{L"E:\\y.exe", L"D:\\A\\x.exe", L"E:\\y.exe"}));

    SaveExcludeListTo(file, {});
    EXPECT_EQ(ReadBytes(file), "");
}

TEST(SaveExcludeList, StoresTheDefaultCharacterForWhatTheCodePageLacks)
{
    // Thai is missing from every ANSI code page but Thai's own and UTF-8.
    if (GetACP() == 874 || GetACP() == CP_UTF8) GTEST_SKIP() << "code page " << GetACP();
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    SaveExcludeListTo(file, {L"C:\\\x0E01.exe"});
    EXPECT_EQ(ReadBytes(file), "C:\\?.exe\r\n");
    List loaded;
    LoadExcludeListFrom(file, loaded);
    EXPECT_EQ(loaded, List{L"C:\\?.exe"});
}

TEST(SaveExcludeList, AnEntryOver998BytesBecomesASkippedEmptyLine)
{
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    const std::wstring longest(998, L'a');
    SaveExcludeListTo(file, {longest, std::wstring(999, L'b'), L"E:\\y.exe"});
    EXPECT_EQ(ReadBytes(file), std::string(998, 'a') + "\r\n\r\nE:\\y.exe\r\n");
    List loaded;
    LoadExcludeListFrom(file, loaded);
    EXPECT_EQ(loaded, (List{longest, L"E:\\y.exe"}));
}

TEST(SaveExcludeList, AFileThatCannotBeWrittenStaysAsItWas)
{
    TempDir dir;
    EXPECT_FALSE(SaveExcludeListTo(dir.Path(), {L"D:\\A\\x.exe"}));
    EXPECT_TRUE(GetFileAttributesW(dir.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    WriteBytes(dir.File(L"Vimlet"), "");
    EXPECT_FALSE(WriteKeySettingTo(dir.File(L"Vimlet") + L"\\vimlet.ini", kSuppressorSettings[0], true))
        << "a settings folder that is a file";

    // Held open by someone who lets others read but not write. (Wine run as root ignores the
    // read-only attribute, so that is no way to make a file unwritable here.)
    const std::wstring file = dir.File(L"excludeapp.txt");
    WriteBytes(file, "C:\\old.exe\r\n");
    HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveExcludeListTo(file, {L"D:\\A\\x.exe"}));
    CloseHandle(holder);
    EXPECT_EQ(ReadBytes(file), "C:\\old.exe\r\n");
    EXPECT_TRUE(SaveExcludeListTo(file, {}));
}

TEST(SaveExcludeList, AWriteThatFailsAfterTheFirstLineLeavesTheOldFileByteForByte)
{
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    const std::string old = "C:\\old.exe\r\nC:\\kept.exe\r\n";
    WriteBytes(file, old);
    static int s_lines;  // a disk that fills up once the first line is in
    s_lines = 0;
    const PutLine fullAfterOneLine = [](const char* line, FILE* f) { return s_lines++ ? EOF : fputs(line, f); };
    EXPECT_FALSE(SaveExcludeListTo(file, {L"D:\\a.exe", L"D:\\b.exe", L"D:\\c.exe"}, fullAfterOneLine));
    EXPECT_EQ(s_lines, 2) << "no write after the failed one";
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(GetFileAttributesW((file + L".new").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing left beside it";
}

TEST(SettingsDirectory, RoundTripThroughTheRealFiles)
{
    CreateDirectoryW(GetSettingsDirectory().c_str(), nullptr);
    FileRestorer excludeFile(GetExcludeFilePath());
    FileRestorer iniFile(GetIniFilePath());

    SaveExcludeList({L"D:\\z.exe", L"D:\\A.exe"});
    EXPECT_EQ(ReadBytes(GetExcludeFilePath()), "D:\\z.exe\r\nD:\\A.exe\r\n");
    List loaded;
    LoadExcludeList(loaded);
    EXPECT_EQ(loaded, (List{L"D:\\z.exe", L"D:\\A.exe"}));

    DeleteFileW(GetIniFilePath().c_str());
    EXPECT_EQ(ReadKeySettings(), kFirstStartKeys);
    WriteKeySettingTo(GetIniFilePath(), kSuppressorSettings[3], true);
    EXPECT_TRUE(ReadKeySettings()[3]);
}

} // namespace
