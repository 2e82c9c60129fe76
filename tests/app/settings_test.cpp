#include "Settings.h"

#include "CallLog.h"
#include "TempDir.h"
#include "TestConstants.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>

namespace {

using List = std::vector<std::wstring>;

struct FakeState {
    CallLog log;
    bool folderKnown = true;
    int linesBeforeFullDisk = -1;      // negative: never full
    std::vector<DWORD> replaceErrors;  // answered in turn before the real replace
};

// The real system, with each call that touches a file recorded, and the failures a case asks for.
struct FakeSystem : SettingsSystem {
    static inline FakeState state;

    static bool FolderPath(int folder, bool create, wchar_t (&path)[MAX_PATH])
    {
        state.log.Record("folder " + std::to_string(folder) + (create ? " made" : ""));
        return state.folderKnown && SettingsSystem::FolderPath(folder, false, path);
    }
    static int ReadIniInt(const wchar_t* key, int fallback, const wchar_t* path)
    {
        return state.log.Record("ini read", SettingsSystem::ReadIniInt(key, fallback, path));
    }
    static bool WriteIniString(const wchar_t* key, const wchar_t* value, const wchar_t* path)
    {
        return state.log.Record("ini write", SettingsSystem::WriteIniString(key, value, path));
    }
    static bool PutLine(const char* line, FILE* file)
    {
        return state.log.Record("line", state.linesBeforeFullDisk-- != 0 && SettingsSystem::PutLine(line, file));
    }
    static DWORD Replace(const wchar_t* replacement, const wchar_t* path)
    {
        if (state.replaceErrors.empty()) return state.log.Record("replace", SettingsSystem::Replace(replacement, path));
        const DWORD error = state.replaceErrors.front();
        state.replaceErrors.erase(state.replaceErrors.begin());
        return state.log.Record("replace", error);
    }
    static void Pause(DWORD ms) { state.log.Record("pause " + std::to_string(ms)); }
};
using FakeStore = BasicSettingsStore<FakeSystem>;

// A store in a fresh folder of its own, and one in the same folder on the fake system.
class InTempDir : public testing::Test {
protected:
    void SetUp() override { FakeSystem::state = {}; }
    TempDir dir;
    const SettingsStore store{dir.Path()};
    const FakeStore fakeStore{dir.Path()};
};
using LoadExcludeList = InTempDir;
using SaveExcludeList = InTempDir;
using SettingsDirectory = InTempDir;

// Whether a load into a list that held an entry succeeds, and what it leaves there.
template <class Store> std::pair<bool, List> Load(const Store& store)
{
    List list = {L"stale entry"};
    const bool loaded = store.LoadExcludeList(list);
    return {loaded, list};
}

// A folder where the settings folder or the list should be: unreadable, unwritable, reported.
TEST_F(LoadExcludeList, MissingIsAnEmptyListAndAFolderInTheWayCannotBeReadOrWritten)
{
    EXPECT_EQ(Load(store), (std::pair{true, List{}}));
    WriteBytes(dir.File(L"folder"), "");
    const SettingsStore inAFile(dir.File(L"folder"));
    EXPECT_EQ(Load(inAFile), (std::pair{true, List{}})) << "a settings folder that is a file";
    EXPECT_FALSE(inAFile.WriteKey(vimlet::kSuppressorKeys[0], true)) << "a settings folder that is a file";

    CreateDirectoryW(store.ExcludePath().c_str(), nullptr);
    EXPECT_EQ(Load(store), (std::pair{false, List{}}));
    EXPECT_FALSE(store.SaveExcludeList({L"D:\\A\\x.exe"}));
    EXPECT_TRUE(GetFileAttributesW(store.ExcludePath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(store.ExcludePath().c_str());
}

// An entry over 998 bytes becomes an empty line, which reading skips.
TEST_F(SaveExcludeList, WritesEachEntryWithCarriageReturnAndLineFeedSkipsOneOver998BytesAndStoresTheDefaultCharacter)
{
    store.SaveExcludeList({L"E:\\y.exe", L"D:\\A\\x.exe", L"E:\\y.exe"});
    EXPECT_EQ(ReadBytes(store.ExcludePath()), "E:\\y.exe\r\nD:\\A\\x.exe\r\nE:\\y.exe\r\n");

    store.SaveExcludeList({});
    EXPECT_EQ(ReadBytes(store.ExcludePath()), "");

    const std::wstring longest(998, L'a');
    store.SaveExcludeList({longest, std::wstring(999, L'b'), L"E:\\y.exe"});
    EXPECT_EQ(ReadBytes(store.ExcludePath()), std::string(998, 'a') + "\r\n\r\nE:\\y.exe\r\n");
    EXPECT_EQ(Load(store), (std::pair{true, List{longest, L"E:\\y.exe"}}));

    // The platform's default character for what the code page lacks. Thai is missing from every
    // ANSI code page but Thai's own and UTF-8.
    if (GetACP() == 874 || GetACP() == CP_UTF8) GTEST_SKIP() << "code page " << GetACP();
    store.SaveExcludeList({L"C:\\\x0E01.exe"});
    EXPECT_EQ(ReadBytes(store.ExcludePath()), "C:\\?.exe\r\n");
    EXPECT_EQ(Load(store), (std::pair{true, List{L"C:\\?.exe"}}));
}

// Only a whole list replaces the file. A hooked process reading the list holds it for a moment:
// the replace waits and tries again, ten times in all; any other failure ends the save at once.
TEST_F(SaveExcludeList, OnlyAWholeListReplacesTheFileAndAReplaceAReaderBlocksIsTriedAgain)
{
    const std::string old = "C:\\old.exe\r\n";
    WriteBytes(fakeStore.ExcludePath(), old);
    FakeSystem::state.linesBeforeFullDisk = 1;
    EXPECT_FALSE(fakeStore.SaveExcludeList({L"D:\\a.exe", L"D:\\b.exe", L"D:\\c.exe"}));
    EXPECT_EQ(FakeSystem::state.log.Take(), (Calls{"line", "line"})) << "no write after the failed one, and no replace";
    EXPECT_EQ(ReadBytes(fakeStore.ExcludePath()), old);

    FakeSystem::state.replaceErrors = {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED};
    EXPECT_TRUE(fakeStore.SaveExcludeList({L"D:\\a.exe"}));
    EXPECT_EQ(FakeSystem::state.log.Take(), (Calls{"line", "replace", "pause 20", "replace", "pause 20", "replace"}));
    EXPECT_EQ(ReadBytes(fakeStore.ExcludePath()), "D:\\a.exe\r\n");

    FakeSystem::state.replaceErrors.assign(10, ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(fakeStore.SaveExcludeList({L"D:\\b.exe"}));
    const Calls tenTries = FakeSystem::state.log.Take();
    EXPECT_EQ(std::count(tenTries.begin(), tenTries.end(), "replace"), 10);
    FakeSystem::state.replaceErrors = {ERROR_PATH_NOT_FOUND};
    EXPECT_FALSE(fakeStore.SaveExcludeList({L"D:\\b.exe"}));
    EXPECT_EQ(FakeSystem::state.log.Take(), (Calls{"line", "replace"}));
    EXPECT_EQ(ReadBytes(fakeStore.ExcludePath()), "D:\\a.exe\r\n");
    EXPECT_EQ(GetFileAttributesW((fakeStore.ExcludePath() + L".new").c_str()), INVALID_FILE_ATTRIBUTES)
        << "nothing left beside it";
}

// The application-data folder is looked up, never made, and joined with forward slashes by the
// shared rule. Without it the join rule would make "/vimlet.ini" and "/excludeapp.txt" of no
// folder: the root of the current drive, which every user may write to on many systems; nothing
// is read or written then.
TEST_F(SettingsDirectory, IsLookedUpNeverMadeJoinedByTheSharedRuleAndWithoutItNothingIsReadOrWrittenAnywhere)
{
    wchar_t folder[MAX_PATH] = L"";
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE));
    const FakeStore user = FakeStore::OfUser();
    EXPECT_TRUE(user.Keeps());
    EXPECT_EQ(FakeSystem::state.log.Take(), Calls{"folder " + std::to_string(CSIDL_APPDATA)});
    EXPECT_EQ(user.Directory(), std::wstring(folder) + L"/Vimlet");
    EXPECT_EQ(user.IniPath(), user.Directory() + L"/vimlet.ini");
    EXPECT_EQ(user.ExcludePath(), user.Directory() + L"/excludeapp.txt");
    const std::wstring deep(600, L'd');
    EXPECT_EQ(JoinPath(deep, L"x"), deep + L"/x");

    FakeSystem::state.folderKnown = false;
    const FakeStore store = FakeStore::OfUser();
    EXPECT_FALSE(store.Keeps());
    EXPECT_EQ(store.ReadKeys(), kFirstStartKeys);
    EXPECT_TRUE(store.WriteKey(vimlet::kSuppressorKeys[0], true));
    EXPECT_TRUE(store.SaveExcludeList({L"D:\\a.exe"}));
    EXPECT_EQ(Load(store), (std::pair{true, List{}}));
    EXPECT_EQ(FakeSystem::state.log.Take(), Calls{"folder " + std::to_string(CSIDL_APPDATA)});
}

} // namespace
