// Exclusion lists that users, other tools and broken disks filled with anything, under the real
// Vimlet.exe: an application keeps getting every key typed into it, the exclusion check and the
// settings dialog give the answers noted with each case, and only Add and Remove write the list.

#include "Settings.h"
#include "resource.h"
#include "settings_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Closes the settings dialog as its Close button does; the program stays up.
void CloseSettings(HWND settings, VimletProcess& vimlet)
{
    ClickToOpen(settings, IDCANCEL);  // returns at once: a warning would hold the click
    EXPECT_TRUE(WaitUntilGone(settings));
    EXPECT_EQ(vimlet.WaitForExit(0), STILL_ACTIVE);
}

// Row by row where that is quick; a row read across processes takes up to a millisecond on a
// busy machine, so a long list is checked by its length and some 500 rows spread over it.
void ExpectListShows(HWND settings, const std::vector<std::wstring>& entries)
{
    ASSERT_EQ(SendToList(settings, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(entries.size()));
    const std::size_t step = entries.size() / 500 + 1;
    std::vector<std::wstring> shown, expected;
    for (std::size_t row = 0; row < entries.size(); row += step) {
        shown.push_back(ListRow(settings, row));
        expected.push_back(entries[row]);
    }
    EXPECT_EQ(shown, expected);
    if (!entries.empty()) {
        EXPECT_EQ(ListRow(settings, entries.size() - 1), entries.back());
    }
}

struct ListCase {
    const char* name;
    // The file's bytes given the application's path; nothing: a directory of that name, which
    // cannot be read, so the dialog warns that the list cannot be changed.
    std::function<Bytes(const std::string& targetPath)> contents;
    bool excluded;
};

// Bytes of every value but line feed and Ctrl+Z, NULs among them.
std::string Binary(std::size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245 + 12345;
        byte = static_cast<char>(state >> 16);
        if (byte == '\n' || byte == '\x1a') byte = '\0';
    }
    return bytes;
}

std::string Utf16WithBom(const std::string& ansi)
{
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                    static_cast<int>(wide.size())));
    return "\xff\xfe" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

// Both readers read the file in text mode (CR LF is a line feed, Ctrl+Z the end), in pieces of
// at most 999 bytes, as bytes of the ANSI code page, and take a line up to its first NUL,
// trimmed; the hooks exclude the application when such a line is its whole path.
const ListCase kListCases[] = {
    {"EmptyFile", [](const std::string&) { return std::string(); }, false},
    // 50 MB of paths as long as deep real ones, the matching one last. The dialog lists every
    // one of the 110,001 entries (about a second to fill): a list is never cut short.
    {"FiftyMegabytesMatchingLast",
     [](const std::string& path) {
         return Repeated(110000,
                         [](std::size_t i) {
                             return "C:\\Program Files\\Vendor " + std::to_string(i) + "\\" +
                                    std::string(430, 'd') + "\\tool.exe\r\n";
                         }) +
                path + "\r\n";
     },
     true},
    // Junk without line ends reads as pieces that match nothing; the path followed by a NUL
    // and more junk is the path.
    {"BinaryWithNuls", [](const std::string& path) { return Binary(5000) + "\n" + path + '\0' + Binary(300) + "\n"; },
     true},
    // Ctrl+Z ends a text-mode file: what follows it is never read.
    {"CtrlZEndsTheFile", [](const std::string& path) { return "C:\\a.exe\r\n\x1a\r\n" + path + "\r\n"; }, false},
    // A lone CR ends no line: this is one line, which is no path.
    {"CarriageReturnOnly", [](const std::string& path) { return "C:\\a.exe\r" + path + "\rC:\\b.exe\r"; }, false},
    // The long line reads as 999-byte pieces, none of which swallows the line after it.
    {"MillionByteLine", [](const std::string& path) { return std::string(1000000, 'x') + "\r\n" + path + "\r\n"; },
     true},
    // A byte-order mark means nothing here: a NUL follows the first character, so no line
    // holds a whole path.
    {"Utf16WithByteOrderMark", [](const std::string& path) { return Utf16WithBom(path + "\r\n"); }, false},
    // Bytes undefined in code page 1252 and bad lead and trail bytes of 932, a dangling lead
    // byte last, spoil only their own line.
    {"BytesInvalidInTheCodePage",
     [](const std::string& path) { return "C:\\\x81\x8d\x8f\x90\x9d\xa0\xfd\xfe\xff.exe\x81\r\n" + path + "\r\n"; },
     true},
    // Cannot be opened: nothing is excluded, and the list must never be written over it.
    {"DirectoryOfThatName", [](const std::string&) { return Bytes(); }, false},
};

using HostileExclusionList = WithoutSettingsFiles<ListCase>;

TEST_P(HostileExclusionList, TypingGoesOnAndTheDialogShowsTheReadersListWithoutWriting)
{
    const ListCase& c = GetParam();
    const TempDir programs;
    const std::wstring program = programs.File(L"typing target.exe");
    ASSERT_TRUE(CopyFileW(BesideThisProgram(L"target_app.exe").c_str(), program.c_str(), FALSE));
    static const HWND report = CreateReportWindow();
    g_events.clear();  // Wine gives an ended application's process id to a new one
    Target target(report, RECT{100, 100, 700, 500}, program);

    const Bytes contents = c.contents(target.Ask("path"));
    ASSERT_TRUE(PutSettingsFile(ExcludePath(), contents));
    const FileState before = FileState::Of(ExcludePath());
    std::vector<std::wstring> programsList;
    SettingsStore(SettingsDirectory()).LoadExcludeList(programsList);
    const bool listed = std::any_of(programsList.begin(), programsList.end(), [&](const std::wstring& entry) {
        return CompareStringOrdinal(entry.c_str(), -1, program.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
    EXPECT_EQ(listed, c.excluded) << "the program's reader and the hooks disagree";

    VimletProcess vimlet;
    EXPECT_EQ(TypingParks(target, vimlet.ParkingWindow()), !c.excluded);

    const HWND settings = OpenSettingsDialog(vimlet);
    ASSERT_NE(settings, nullptr);
    if (!contents) {
        EXPECT_NE(DismissMessageBox(WaitForMessageBox(settings)), L"") << "no warning on opening";
    }
    ExpectListShows(settings, programsList);
    CloseSettings(settings, vimlet);
    EXPECT_TRUE(FileState::Of(ExcludePath()) == before) << "the list file was rewritten";
}

void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(Each, HostileExclusionList, ::testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A Japanese system (code page 932): the second bytes of 表 and ソ are 0x5C, a backslash's byte.
TEST(JapaneseSystem, APathWithBackslashTrailBytesIsExcludedRemovedAndAddedAgain)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "the ANSI code page is " << GetACP()
                     << ", not 932 (the test command runs this in a Wine prefix with LANG=ja_JP.UTF-8)";
    ClearSettingsFiles();
    TempDir programs;
    std::filesystem::create_directories(programs.File(L"ツール\\表ソフト"));
    const std::wstring program = programs.File(L"ツール\\表ソフト\\メモ帳.exe");
    ASSERT_TRUE(CopyFileW(BesideThisProgram(L"target_app.exe").c_str(), program.c_str(), FALSE));
    const std::string entry = ExcludeFileBytes({program});
    ASSERT_NE(entry.find("\\\x95\x5C\x83\x5C\x83\x74\x83\x67\\\x83\x81\x83\x82\x92\xA0.exe\r\n"),
              std::string::npos);
    {
        static const HWND report = CreateReportWindow();
        Target target(report, RECT{100, 100, 700, 500}, program);
        ASSERT_EQ(target.Ask("path") + "\r\n", entry);
        ASSERT_TRUE(PutSettingsFile(ExcludePath(), entry));
        VimletProcess vimlet;
        EXPECT_EQ(TypingParks(target, vimlet.ParkingWindow()), false) << "excluded by its entry";

        // Typed into with no dialog open: a dialog of the program over it would take the mouse.
        HWND settings = OpenSettingsDialog(vimlet);
        ASSERT_NE(settings, nullptr);
        ASSERT_EQ(ListRows(settings), std::vector<std::wstring>{program});
        SendToList(settings, LB_SETCURSEL, 0, 0);
        Click(settings, IDC_REMOVE);
        EXPECT_EQ(ReadBytes(ExcludePath()), "");
        CloseSettings(settings, vimlet);
        EXPECT_EQ(TypingParks(target, vimlet.ParkingWindow()), true) << "parks once removed";

        settings = OpenSettingsDialog(vimlet);
        ASSERT_NE(settings, nullptr);
        ClickToOpen(settings, IDC_ADD);
        const HWND addDialog = WaitForNewDialog(vimlet.ProcessId(), kAddTitle);
        ASSERT_NE(addDialog, nullptr);
        const std::vector<std::wstring> rows = ListRows(addDialog);
        const auto row = std::find(rows.begin(), rows.end(), program);
        ASSERT_NE(row, rows.end());
        SendToList(addDialog, LB_SETSEL, TRUE, row - rows.begin());
        Click(addDialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return ListRows(settings) == std::vector<std::wstring>{program}; }));
        EXPECT_EQ(ReadBytes(ExcludePath()), entry);
        CloseSettings(settings, vimlet);
        EXPECT_EQ(TypingParks(target, vimlet.ParkingWindow()), false) << "excluded once added";
    }
    ClearSettingsFiles();
}

} // namespace
