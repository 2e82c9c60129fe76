// The settings dialog of the real Vimlet.exe: opening from the tray, the check boxes and the
// ways to close it, also on a vimlet.ini filled with anything, Exit, nesting, About and the
// Startup folder.

#include "TestConstants.h"
#include "dialog_driver.h"
#include "resource.h"
#include "settings_files.h"
#include "version.h"
#include "vimlet.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

namespace {

// One flag per box.
using Boxes = std::array<bool, 7>;

// Each suppressor key's box and its name in vimlet.ini, in the order of kKeysInProgramOrder.
struct KeyBox {
    int id;
    const wchar_t* iniKey;
};

constexpr KeyBox kKeyBoxes[] = {
    {IDC_LEFT_SHIFT, L"vk_lshift"},   {IDC_LEFT_CTRL, L"vk_lcontrol"}, {IDC_LEFT_ALT, L"vk_lmenu"},
    {IDC_RIGHT_SHIFT, L"vk_rshift"}, {IDC_RIGHT_CTRL, L"vk_rcontrol"}, {IDC_RIGHT_ALT, L"vk_rmenu"},
    {IDC_SPACE, L"vk_space"},
};

// expected holds one flag per entry of kKeyBoxes.
void ExpectBoxes(HWND dialog, const Boxes& expected)
{
    for (std::size_t i = 0; i < std::size(kKeyBoxes); ++i)
        EXPECT_EQ(IsChecked(dialog, kKeyBoxes[i].id), expected[i]) << "box " << kKeyBoxes[i].id;
}

// The hook library's flags (shared with this process) and, where it was written, vimlet.ini.
void ExpectKeys(const Boxes& expected, bool inFile)
{
    for (std::size_t i = 0; i < std::size(kKeyBoxes); ++i) {
        EXPECT_EQ(vimlet_is_suppressor(kKeysInProgramOrder[i]) != 0, expected[i]) << "flag " << i;
        if (inFile) {
            EXPECT_EQ(IniValue(kKeyBoxes[i].iniKey), expected[i] ? L"1" : L"0") << kKeyBoxes[i].iniKey;
        }
    }
}

HWND OpenAbout(const VimletProcess& vimlet, HWND dialog)
{
    ClickToOpen(dialog, IDC_ABOUT);
    return WaitForNewDialog(vimlet.ProcessId(), L"About Vimlet");
}

TEST(SettingsDialogTest, OnlyALeftDoubleClickOnTheTrayIconOpensTheDialogWithTheFirstStartKeysThenTheLiveFlags)
{
    ClearSettingsFiles();
    VimletProcess vimlet;
    const HWND parking = vimlet.ParkingWindow();
    SetWindowPos(parking, nullptr, 100, 100, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
                         WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_CONTEXTMENU})
        PostTrayMessage(vimlet, message);
    // Handled after all of the above, and puts the window back: by then any of them would have
    // opened a dialog.
    PostMessageW(parking, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
    ASSERT_TRUE(WaitUntil([parking] {
        RECT rect;
        return GetWindowRect(parking, &rect) && rect.left != 100;
    }));
    EXPECT_TRUE(Dialogs(vimlet.ProcessId(), kProgramTitle).empty());

    RECT rect;
    ASSERT_TRUE(WaitUntil([&] { return TrayIconPlace(parking, rect); }));
    DoubleClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    const HWND dialog = WaitForNewDialog(vimlet.ProcessId(), kProgramTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Dialogs(vimlet.ProcessId(), kProgramTitle).size(), 1u);
    ExpectBoxes(dialog, kFirstStartKeys);
    EXPECT_TRUE(ListRows(dialog).empty());
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), vimlet.MainFrame());
    EXPECT_TRUE(IsWindowEnabled(parking));
    Click(dialog, IDCANCEL);  // start-up has set its flags: ours are not overwritten now
    ASSERT_TRUE(WaitUntilGone(dialog));

    // The boxes show the flags, not the file.
    vimlet_set_suppressor(VK_LSHIFT, 0);
    vimlet_set_suppressor(VK_RMENU, 1);
    const HWND again = OpenSettingsDialog(vimlet);
    ASSERT_NE(again, nullptr);
    ExpectBoxes(again, {false, true, true, false, false, true, true});
    EXPECT_EQ(IniValue(L"vk_lshift"), L"1");
}

enum class CloseBy { CloseButton, EscapeKey, CloseBox, CloseMessage, Exit };

// vimlet.ini as the program finds it at start-up, the boxes then clicked, and how the dialog is
// closed.
struct Closing {
    const char* name;
    CloseBy by;
    std::vector<int> clicks = {IDC_LEFT_SHIFT, IDC_RIGHT_CTRL, IDC_SPACE};
    Bytes (*ini)() = nullptr;           // null: no file
    Boxes atStartUp = kFirstStartKeys;  // what GetPrivateProfileIntW makes of the file, key by key
    bool readOnly = false;
    bool writeFails = false;  // closing warns, applies the boxes and leaves the file as it was
};

void PrintTo(const Closing& row, std::ostream* out) { *out << row.name; }

using ClosingTest = WithoutSettingsFiles<Closing>;

TEST_P(ClosingTest, StartUpTakesWhatTheFileSaysAndClosingAppliesTheBoxesToFlagsAndFile)
{
    const Closing& row = GetParam();
    ASSERT_TRUE(!row.ini || PutSettingsFile(IniPath(), row.ini()));
    if (row.readOnly) SetFileAttributesW(IniPath().c_str(), FILE_ATTRIBUTE_READONLY);
    // Wine run by root writes a read-only file all the same; a handle that lets no one else
    // write stands in for what Windows enforces.
    const std::unique_ptr<void, decltype(&CloseHandle)> keepsWritersOut(
        row.readOnly ? CreateFileW(IniPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                     : nullptr,
        &CloseHandle);
    const FileState before = FileState::Of(IniPath());
    Boxes saved = row.atStartUp;  // each click flips its box
    for (const int box : row.clicks)
        for (std::size_t i = 0; i < std::size(kKeyBoxes); ++i) saved[i] = saved[i] != (kKeyBoxes[i].id == box);

    VimletProcess vimlet;
    ExpectKeys(row.atStartUp, false);
    const HWND dialog = OpenSettingsDialog(vimlet);
    ASSERT_NE(dialog, nullptr);
    for (const int box : row.clicks) Click(dialog, box);
    ExpectBoxes(dialog, saved);
    EXPECT_TRUE(FileState::Of(IniPath()) == before) << "vimlet.ini written before closing";

    switch (row.by) {
    case CloseBy::CloseButton: ClickToOpen(dialog, IDCANCEL); break;  // a warning would hold a sent click
    case CloseBy::EscapeKey:
        ASSERT_TRUE(Activate(dialog));
        SendKey(VK_ESCAPE);
        break;
    case CloseBy::CloseBox: PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case CloseBy::CloseMessage: PostMessageW(dialog, WM_CLOSE, 0, 0); break;
    case CloseBy::Exit: ClickToOpen(dialog, IDC_EXIT); break;
    }
    if (row.writeFails) {
        const std::wstring text = DismissMessageBox(WaitForMessageBox(dialog));
        EXPECT_NE(text.find(L"vimlet.ini"), std::wstring::npos) << "no warning on closing";
    }
    // Exit ends the program with the dialog still open; the other ways keep it up.
    ASSERT_TRUE(row.by == CloseBy::Exit ? vimlet.WaitForExit() == 0u : WaitUntilGone(dialog))
        << "one warning for all seven keys";
    EXPECT_EQ(vimlet.WaitForExit(0), row.by == CloseBy::Exit ? 0u : STILL_ACTIVE);
    ExpectKeys(saved, !row.writeFails);
    if (row.writeFails) {
        EXPECT_TRUE(FileState::Of(IniPath()) == before) << "vimlet.ini changed";
    }
}

// A key's text counts as the number its leading digits make (none: 0); an empty value or a
// line without "=" reads nothing and gives the default. Closing the dialog writes all seven
// keys, and here each file differs from what it writes, so a file that cannot be written must
// fail loudly. The box clicked is applied on closing, also where it cannot be saved.
const Closing kClosings[] = {
    {"CloseButton", CloseBy::CloseButton},
    {"EscapeKey", CloseBy::EscapeKey},
    {"CloseBox", CloseBy::CloseBox},
    {"CloseMessage", CloseBy::CloseMessage},
    {"UnchangedStillWritesAllSevenKeys", CloseBy::CloseButton, {}},
    {"ExitSavesTheBoxesAndEndsTheProgram", CloseBy::Exit, {IDC_LEFT_ALT, IDC_RIGHT_SHIFT}},
    {"GarbageValues", CloseBy::CloseButton, {IDC_LEFT_SHIFT},
     []() -> Bytes {
         return "\x01\x7f\xff junk before any section\r\n"
                "[Vimlet]\r\n"
                "vk_lshift=abc\r\n"      // text: 0
                "vk_lcontrol=\r\n"       // empty: the default
                "  VK_LMENU = 0  \r\n"   // names in any case, blanks around both trimmed
                "vk_rshift=12abc\r\n"    // the leading digits
                "vk_rcontrol=1" +        // read as far as the reader's buffer goes
                std::string(100000, 'x') +
                "\r\n"
                "vk_space\r\n";  // no "=": the default
     },
     {false, true, false, true, true, false, true}},
    // 10 MB of other sections before the program's own.
    {"HugeFileSettingsLast", CloseBy::CloseButton, {IDC_LEFT_SHIFT},
     []() -> Bytes {
         return Repeated(100000,
                         [](std::size_t i) {
                             return "[junk " + std::to_string(i) + "]\r\nkey=" + std::string(80, 'v') + "\r\n";
                         }) +
                "[Vimlet]\r\nvk_lshift=0\r\nvk_lcontrol=0\r\nvk_lmenu=0\r\nvk_rshift=1\r\nvk_rcontrol=1\r\n"
                "vk_rmenu=1\r\nvk_space=0\r\n";
     },
     {false, false, false, true, true, true, false}},
    {"DirectoryOfThatName", CloseBy::CloseButton, {IDC_LEFT_SHIFT}, []() -> Bytes { return std::nullopt; },
     kFirstStartKeys, false, true},
    {"ReadOnlyFile", CloseBy::CloseButton, {IDC_LEFT_SHIFT},
     []() -> Bytes { return "[Vimlet]\r\nvk_lshift=0\r\nvk_rshift=1\r\n"; },
     {false, true, true, true, false, false, true}, true, true},
};

INSTANTIATE_TEST_SUITE_P(Each, ClosingTest, ::testing::ValuesIn(kClosings),
                         [](const auto& info) { return std::string(info.param.name); });

// About shows the version and ends with OK. Two dialogs would each save their own copy of the
// list. Closed from outside with dialogs open (the dialogs' loops run inside the main window's
// procedure), the loops end first, then the program, with exit code 0.
TEST(SettingsDialogTest, AboutAndWhileOpenTheInnermostDialogComesForwardAndClosingTheMainWindowEndsThemAll)
{
    ClearSettingsFiles();
    VimletProcess vimlet;
    const HWND dialog = OpenSettingsDialog(vimlet);
    ASSERT_NE(dialog, nullptr);
    const HWND about = OpenAbout(vimlet, dialog);
    ASSERT_NE(about, nullptr);
    EXPECT_NE(FindChildByText(about, L"" VIMLET_ABOUT_TEXT), nullptr);
    EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
    EXPECT_FALSE(IsWindowEnabled(dialog));
    const TestWindow elsewhere(L"elsewhere");
    for (const bool secondStart : {false, true}) {
        ASSERT_TRUE(Activate(elsewhere.Handle()));
        if (secondStart)
            EXPECT_EQ(RunVimletToEnd(), 0u);
        else
            PostTrayMessage(vimlet, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(WaitUntil([about] { return GetForegroundWindow() == about; })) << secondStart;
        EXPECT_EQ(Dialogs(vimlet.ProcessId(), L"Vimlet"), std::vector<HWND>{dialog});
    }
    Click(about, IDOK);
    ASSERT_TRUE(WaitUntilGone(about));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindowEnabled(dialog));

    // Closed from outside while About is open: both go.
    const HWND aboutAgain = OpenAbout(vimlet, dialog);
    ASSERT_NE(aboutAgain, nullptr);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntilGone(aboutAgain));
    ASSERT_TRUE(WaitUntilGone(dialog));
    const HWND again = OpenSettingsDialog(vimlet);
    ASSERT_NE(again, nullptr) << "closed, it opens again";
    ASSERT_NE(OpenAbout(vimlet, again), nullptr);
    PostMessageW(vimlet.MainFrame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(vimlet.WaitForExit(), 0u) << "the main window closed with dialogs open";
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder)
{
    std::vector<std::wstring> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) entries.push_back(entry.path().filename());
    return entries;
}

// Read from the process's own parameters: Wine answers no query for it.
std::wstring CommandLineOf(DWORD processId)
{
    using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return {};
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    std::wstring commandLine;
    if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
        commandLine.resize(parameters.CommandLine.Length / sizeof(wchar_t));
        ReadProcessMemory(process, parameters.CommandLine.Buffer, commandLine.data(), parameters.CommandLine.Length,
                          nullptr);
    }
    CloseHandle(process);
    return commandLine;
}

// The processes whose command line names the folder.
std::vector<DWORD> ProcessesNaming(const std::wstring& folder)
{
    std::vector<DWORD> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (StrStrIW(CommandLineOf(entry.th32ProcessID).c_str(), folder.c_str())) ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

constexpr DWORD kShellPatience = 120000;  // ms: a hang, not a slow start

// The window of the shell for the folder: of a process that names it and is not among before. A
// shell may take long to start, on Windows too: once its process runs, this waits for its window
// as long as it runs (bounded only against a hang).
HWND NewFolderWindow(const std::wstring& folder, const std::vector<DWORD>& before)
{
    HANDLE shell = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        for (const DWORD id : ProcessesNaming(folder))
            if (!shell && std::find(before.begin(), before.end(), id) == before.end())
                shell = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        return shell != nullptr;
    })) << "no process started for the folder";
    if (!shell) return nullptr;
    const DWORD shellId = GetProcessId(shell);
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == shellId && IsWindowVisible(window)) found = window;
            }
            return found || WaitForSingleObject(shell, 0) == WAIT_OBJECT_0;
        },
        kShellPatience);
    EXPECT_TRUE(found || WaitForSingleObject(shell, 0) != WAIT_OBJECT_0) << "the shell ended without a window";
    CloseHandle(shell);
    return found;
}

TEST(SettingsDialogTest, StartupButtonOpensTheStartupFolderAndWritesNothing)
{
    ClearSettingsFiles();
    VimletProcess vimlet;
    wchar_t folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, TRUE));
    const std::vector<std::wstring> entriesBefore = FolderEntries(folder);

    const HWND dialog = OpenSettingsDialog(vimlet);
    ASSERT_NE(dialog, nullptr);
    const std::vector<DWORD> before = ProcessesNaming(folder);
    ClickToOpen(dialog, IDC_OPEN_STARTUP);
    const HWND shown = NewFolderWindow(folder, before);
    ASSERT_NE(shown, nullptr) << "no window for " << testing::PrintToString(std::wstring(folder));
    PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([shown] { return !IsWindow(shown); }));

    EXPECT_EQ(FolderEntries(folder), entriesBefore);
    EXPECT_EQ(GetFileAttributesW(IniPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(ExcludePath().c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
