// The exclusion list in the settings dialog of the real Vimlet.exe: the add-application
// dialog's listing, Add (from the list or a file), Remove, the file (also one that cannot be
// read or written), and the effect on typing.

#include "Input.h"
#include "TempDir.h"
#include "TestConstants.h"
#include "dialog_driver.h"
#include "resource.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

int RowOf(const std::vector<std::wstring>& rows, const std::wstring& text)
{
    const auto found = std::find(rows.begin(), rows.end(), text);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

bool Says(const std::wstring& text, const wchar_t* phrase)
{
    return text.find(phrase) != std::wstring::npos;
}

// An access list that lets nobody in: opening the process fails as it does for another user's.
bool LetNobodyOpen(const ChildProcess& process)
{
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    return SetSecurityInfo(process.Handle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &empty,
                           nullptr) == ERROR_SUCCESS;
}

// Another application: target_app.exe copied to program, showing one window away from the
// program's dialogs, which would take the mouse.
Target TitledWindow(const std::wstring& program, const std::wstring& title, bool hidden = false)
{
    static const HWND report = CreateReportWindow();
    CopyFileW(BesideThisProgram(L"target_app.exe").c_str(), program.c_str(), FALSE);
    return Target(report, RECT{1100, 100, 1500, 400}, program, false, title, hidden);
}

class ExclusionListTest : public ::testing::Test {
protected:
    // A fresh prefix has no settings folder until a program makes it, and the tests write there first.
    void SetUp() override
    {
        RemoveSettingsFiles();
        CreateDirectoryW(SettingsDirectory().c_str(), nullptr);
    }

    // Starts the program on an exclusion file holding paths (none: no file) and opens the
    // settings dialog.
    void StartWith(const std::vector<std::wstring>& paths,
                   const std::wstring& program = BesideThisProgram(L"Vimlet.exe"))
    {
        if (!paths.empty()) WriteBytes(ExcludePath(), ExcludeFileBytes(paths));
        m_vimlet = std::make_unique<VimletProcess>(program);
        settings = OpenSettingsDialog(*m_vimlet);
        ASSERT_NE(settings, nullptr);
    }

    void OpenAddDialog()
    {
        ClickToOpen(settings, IDC_ADD);
        addDialog = WaitForNewDialog(m_vimlet->ProcessId(), kAddTitle);
        ASSERT_NE(addDialog, nullptr);
    }

    // Selects the add dialog's row of this path.
    void SelectToAdd(const std::wstring& path)
    {
        const int row = RowOf(ListRows(addDialog), path);
        ASSERT_GE(row, 0) << testing::PrintToString(path);  // row -1 would select every row
        SendToList(addDialog, LB_SETSEL, TRUE, row);
    }

    // The system's file-open dialog, owned by the add dialog.
    static HWND OpenFileDialog(HWND addDialog)
    {
        ClickToOpen(addDialog, IDC_OTHER_APP);
        return WaitForOwnedWindow(addDialog);
    }

    // Waits until the add dialog has gone and the settings dialog shows these rows sorted, as
    // the file then holds them.
    void ExpectAddEndsWith(std::vector<std::wstring> rows)
    {
        std::sort(rows.begin(), rows.end());
        ASSERT_TRUE(WaitUntilGone(addDialog) && WaitUntil([&] { return ListRows(settings) == rows; }))
            << testing::PrintToString(ListRows(settings));
        EXPECT_EQ(ReadBytes(ExcludePath()), ExcludeFileBytes(rows));
    }

    TempDir m_temp;
    // Entries for the list; the files need not exist.
    const std::wstring z = m_temp.File(L"z.exe"), a = m_temp.File(L"A.exe"), m = m_temp.File(L"m.exe");
    HWND settings = nullptr, addDialog = nullptr;  // as a test opened them
    // Ends before the directory goes: the file-open dialog may have made it the program's
    // current directory.
    std::unique_ptr<VimletProcess> m_vimlet;
};

// A Store app's window is a child window of the app's process inside a frame that
// ApplicationFrameHost.exe draws: the row is the app's. A process that cannot be opened is
// listed by its window's title, cut to 999 characters.
TEST_F(ExclusionListTest, AddListsEachRunningExecutableOnceSortedByCodeUnitsAStoreAppByItsOwnAndTheRestByTitle)
{
    const std::wstring shown = m_temp.File(L"shown.exe"), longerExe = m_temp.File(L"longer.exe"),
                       exact = m_temp.File(L"exact.exe"), hidden = m_temp.File(L"hidden.exe");
    // Only a title of exactly "Vimlet" keeps a window out; hidden windows never count.
    const Target lower = TitledWindow(shown, L"vimlet"), longer = TitledWindow(longerExe, L"Vimlet2"),
                 same = TitledWindow(exact, L"Vimlet"), invisible = TitledWindow(hidden, L"hidden", true);
    TestWindow first(L"vimlet"), second(L"Vimlet2");
    const std::wstring frameHost = m_temp.File(L"ApplicationFrameHost.exe"), app = m_temp.File(L"store app.exe");
    const Target frame = TitledWindow(frameHost, L"Vimlet test target");
    Target inside = TitledWindow(app, L"inside");
    const std::vector<HWND> frames = TopLevelWindows(frame.Id(), L"Vimlet test target");
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(inside.Ask("embed " + std::to_string(reinterpret_cast<UINT_PTR>(frames[0]))), "ok");
    const std::wstring longTitle = L"long " + std::wstring(995, L'x');
    const Target titled = TitledWindow(m_temp.File(L"long.exe"), longTitle);
    ASSERT_TRUE(LetNobodyOpen(titled));

    ASSERT_NO_FATAL_FAILURE(StartWith({}));
    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    const std::vector<std::wstring> rows = ListRows(addDialog);

    SCOPED_TRACE(testing::PrintToString(rows));
    EXPECT_TRUE(std::adjacent_find(rows.begin(), rows.end(), std::greater_equal<>()) == rows.end()) << "ascending";
    for (const std::wstring& once : {OwnPath(), shown, longerExe, app, longTitle.substr(0, 999)})
        EXPECT_EQ(std::count(rows.begin(), rows.end(), once), 1) << testing::PrintToString(once);
    for (const std::wstring& never : {exact, hidden, std::wstring(L"Vimlet"), frameHost})
        EXPECT_EQ(RowOf(rows, never), -1) << testing::PrintToString(never);

    Click(addDialog, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(addDialog));
    EXPECT_TRUE(ListRows(settings).empty());
    EXPECT_EQ(GetFileAttributesW(ExcludePath().c_str()), INVALID_FILE_ATTRIBUTES);
}

// OK sorts, deduplicates and rewrites the list even with nothing selected; then it adds the
// selected rows in their sorted places, but for a title with a line break, which would break a
// line of the file: the dialog says why.
TEST_F(ExclusionListTest, OkSortsDeduplicatesAndRewritesThenAddsTheSelectedRowsIntoTheSortedListButNoLineBreak)
{
    const std::wstring shown = m_temp.File(L"shown.exe"), brokenTitle = L"two lines\r\n" + m;
    const Target other = TitledWindow(shown, L"another application"),
                 broken = TitledWindow(m_temp.File(L"broken.exe"), brokenTitle);
    ASSERT_TRUE(LetNobodyOpen(broken));
    TestWindow own(L"this test");
    // Entries that differ only in case stay two, the upper-case one first.
    const std::wstring lower = m_temp.File(L"a.exe");
    ASSERT_NO_FATAL_FAILURE(StartWith({z, lower, a, z}));
    EXPECT_EQ(ListRows(settings), (std::vector<std::wstring>{z, lower, a, z}));  // as the file has them

    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    Click(addDialog, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectAddEndsWith({a, lower, z}));

    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    for (const std::wstring& pick : {shown, brokenTitle, OwnPath()})  // not in the list's order
        ASSERT_NO_FATAL_FAILURE(SelectToAdd(pick));
    ClickToOpen(addDialog, IDOK);
    EXPECT_TRUE(Says(DismissMessageBox(WaitForMessageBox(addDialog)), L"制御文字"));
    ASSERT_NO_FATAL_FAILURE(ExpectAddEndsWith({shown, OwnPath(), a, lower, z}));
}

// PSAPI is the add dialog's; the others are loaded by bare name by the file dialog on Windows.
// Wine's file dialog loads no further DLL, and Wine prefers its own builtin DLL to a file of the
// same name found elsewhere: its override gives a planted file the chance it has on Windows
// (WINEDLLOVERRIDES set here would not reach the program).
TEST_F(ExclusionListTest, CancelADoubleClickOrAFileChosenEndsTheAddDialogAndNoDllPlantedBesideTheProgramIsLoaded)
{
    static const wchar_t* const kPlanted[] = {L"psapi", L"ntshrui", L"cscapi", L"linkinfo"};
    // Every process the copy's hooks reached keeps its vimlet.dll mapped, this one too: the copy
    // is left behind, and goes at a later run.
    const TempDir folder(L"vimlet-planted-", TempDir::kRemoveLeftovers);
    for (const wchar_t* file : {L"Vimlet.exe", L"vimlet.dll"})
        ASSERT_TRUE(CopyFileW(BesideThisProgram(file).c_str(), folder.File(file).c_str(), FALSE));
    for (const std::wstring name : kPlanted)
        ASSERT_TRUE(CopyFileW(BesideThisProgram(L"planted_probe.dll").c_str(), folder.File(name + L".dll").c_str(), FALSE));
    // Under Wine only: Wine's key, removed again at the end.
    static constexpr wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\Vimlet.exe\\DllOverrides";
    HKEY overrides = nullptr;
    if (WineVersion() && RegCreateKeyExW(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                         &overrides, nullptr) == ERROR_SUCCESS)
        for (const wchar_t* name : kPlanted)
            RegSetValueExW(overrides, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"native,builtin"), 30);
    const std::unique_ptr<HKEY__, void (*)(HKEY)> removedAtTheEnd(overrides, [](HKEY key) {
        RegCloseKey(key);
        RegDeleteKeyW(HKEY_CURRENT_USER, kOverrides);
    });
    WriteBytes(m, "MZ");
    TestWindow own(L"this test");
    ASSERT_NO_FATAL_FAILURE(StartWith({z, a}, folder.File(L"Vimlet.exe")));
    const FileState before = FileState::Of(ExcludePath());
    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    ASSERT_NO_FATAL_FAILURE(SelectToAdd(OwnPath()));  // PSAPI read this program's path
    const std::vector<std::wstring> rows = ListRows(addDialog);

    // Cancelling the file-open dialog leaves the add dialog as it was; cancelling that changes nothing.
    HWND fileDialog = OpenFileDialog(addDialog);
    ASSERT_NE(fileDialog, nullptr);
    Click(fileDialog, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(fileDialog));
    EXPECT_TRUE(IsWindowVisible(addDialog));
    EXPECT_EQ(ListRows(addDialog), rows);
    EXPECT_GT(SendToList(addDialog, LB_GETSEL, RowOf(rows, OwnPath()), 0), 0);
    Click(addDialog, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(addDialog));
    EXPECT_EQ(ListRows(settings), (std::vector<std::wstring>{z, a}));
    EXPECT_TRUE(FileState::Of(ExcludePath()) == before) << "the list file was rewritten";

    // A double click on a row confirms like OK. Only a confirmed dialog sorts the list; whether
    // the clicked row ends up selected is the list box's business.
    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    std::vector<std::wstring> withRow = {a, z, ListRows(addDialog).at(0)}, shown;
    std::sort(withRow.begin(), withRow.end());
    RECT list;
    GetWindowRect(GetDlgItem(addDialog, IDC_APP_LIST), &list);
    DoubleClickAt({list.left + 30, list.top + 6});
    ASSERT_TRUE(WaitUntilGone(addDialog) && WaitUntil([&] {
        shown = ListRows(settings);
        return shown == std::vector<std::wstring>{a, z} || shown == withRow;
    })) << testing::PrintToString(shown);
    EXPECT_EQ(ReadBytes(ExcludePath()), ExcludeFileBytes(shown));

    // A file chosen in the file-open dialog ends the add dialog whatever the list's selection,
    // and only that file is added.
    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    ASSERT_NO_FATAL_FAILURE(SelectToAdd(OwnPath()));
    fileDialog = OpenFileDialog(addDialog);
    ASSERT_NE(fileDialog, nullptr);
    const HWND fileName = FindDescendant(fileDialog, L"Edit", 0x47c);
    ASSERT_NE(fileName, nullptr);
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m.c_str()));
    Click(fileDialog, IDOK);
    shown.push_back(m);
    ASSERT_NO_FATAL_FAILURE(ExpectAddEndsWith(shown));
    for (const std::wstring name : kPlanted)
        EXPECT_EQ(GetFileAttributesW(folder.File(name + L".dll.loaded").c_str()), INVALID_FILE_ATTRIBUTES) << name;
    PostMessageW(m_vimlet->MainFrame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(m_vimlet->WaitForExit(), 0u);  // before its folder goes
}

// Typed into another application, whose hooks read the list as the dialog changes it.
TEST_F(ExclusionListTest, AnAddedApplicationKeepsItsCursorUntilRemovedAgain)
{
    const std::wstring program = m_temp.File(L"typing.exe");
    Target typing = TitledWindow(program, L"typing here");
    MoveMouseOver(typing, typing.Inside());  // off the dialogs: Wine gives one shown under the pointer a late move
    ASSERT_NO_FATAL_FAILURE(StartWith({}));
    ASSERT_EQ(TypingParks(typing, m_vimlet->ParkingWindow()), true);

    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    ASSERT_NO_FATAL_FAILURE(SelectToAdd(program));
    Click(addDialog, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectAddEndsWith({program}));
    EXPECT_EQ(TypingParks(typing, m_vimlet->ParkingWindow()), false);

    SendToList(settings, LB_SETCURSEL, 0, 0);
    Click(settings, IDC_REMOVE);
    ASSERT_TRUE(ListRows(settings).empty());
    EXPECT_EQ(TypingParks(typing, m_vimlet->ParkingWindow()), true);
}

TEST_F(ExclusionListTest, AListThatCouldNotBeReadIsNeverWrittenBack)
{
    WriteBytes(ExcludePath(), ExcludeFileBytes({z, a}));
    // Held open by someone who lets nobody else in while the dialog opens.
    const HANDLE holder = CreateFileW(ExcludePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NO_FATAL_FAILURE(StartWith({}));  // on that file
    EXPECT_TRUE(Says(DismissMessageBox(WaitForMessageBox(settings)), L"を読み込めませんでした"));
    CloseHandle(holder);

    // Readable again now, but not what the dialog shows.
    ClickToOpen(settings, IDC_REMOVE);
    EXPECT_TRUE(Says(DismissMessageBox(WaitForMessageBox(settings)), L"変更できません"));
    ClickToOpen(settings, IDC_ADD);
    EXPECT_TRUE(Says(DismissMessageBox(WaitForMessageBox(settings)), L"変更できません"));
    EXPECT_TRUE(ListRows(settings).empty());
    EXPECT_EQ(ReadBytes(ExcludePath()), ExcludeFileBytes({z, a}));
}

// While the file cannot be written, Remove and Add say so and the list shows the file.
TEST_F(ExclusionListTest, RemoveErasesTheSelectedRowDownToAnEmptyFileWithoutOneWritesNothingAndAFailedSaveIsTold)
{
    TestWindow own(L"this test");
    ASSERT_NO_FATAL_FAILURE(StartWith({z, a, m}));
    const FileState before = FileState::Of(ExcludePath());
    Click(settings, IDC_REMOVE);  // returns once the handler has run
    EXPECT_EQ(ListRows(settings), (std::vector<std::wstring>{z, a, m}));
    EXPECT_TRUE(FileState::Of(ExcludePath()) == before) << "the list file was rewritten";

    // Held open by someone who lets others read but not write.
    const HANDLE holder = CreateFileW(ExcludePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    SendToList(settings, LB_SETCURSEL, 0, 0);
    ClickToOpen(settings, IDC_REMOVE);
    EXPECT_TRUE(Says(DismissMessageBox(WaitForMessageBox(settings)), L"を保存できませんでした"));
    EXPECT_EQ(ListRows(settings), (std::vector<std::wstring>{z, a, m}));
    ASSERT_NO_FATAL_FAILURE(OpenAddDialog());
    ASSERT_NO_FATAL_FAILURE(SelectToAdd(OwnPath()));
    Click(addDialog, IDOK);
    EXPECT_TRUE(Says(DismissMessageBox(WaitForMessageBox(settings)), L"を保存できませんでした"));
    EXPECT_EQ(ListRows(settings), (std::vector<std::wstring>{z, a, m}));
    CloseHandle(holder);
    EXPECT_TRUE(FileState::Of(ExcludePath()) == before) << "the list file was rewritten";

    SendToList(settings, LB_SETCURSEL, 1, 0);
    Click(settings, IDC_REMOVE);
    EXPECT_EQ(ListRows(settings), (std::vector<std::wstring>{z, m}));  // the rest keep their order
    EXPECT_EQ(SendToList(settings, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(ReadBytes(ExcludePath()), ExcludeFileBytes({z, m}));

    for (int left = 2; left > 0; --left) {
        SendToList(settings, LB_SETCURSEL, left - 1, 0);
        Click(settings, IDC_REMOVE);
    }
    EXPECT_TRUE(ListRows(settings).empty());
    EXPECT_NE(GetFileAttributesW(ExcludePath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadBytes(ExcludePath()), "");
}

} // namespace
