// Reads the program's resources back from a binary that links the same compiled .rc.

#include "resource.h"

#include "TempDir.h"
#include "TestConstants.h"
#include "VimletProcess.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

// Empty when there is none.
std::string_view FindBytes(const wchar_t* type, WORD id, HMODULE module = Module())
{
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    return {static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)};
}

// The fixed parts of an extended dialog template, of its font and of each of its items.
#pragma pack(push, 2)
struct DialogHeader {
    WORD version, signature;
    DWORD helpId, exStyle, style;
    WORD count;
    short x, y, cx, cy;
};
struct FontHeader {
    WORD pointSize, weight;
    BYTE italic, charset;
};
struct ItemHeader {
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    int id;
};
#pragma pack(pop)

// Reads a T at the cursor and moves past it.
template <class T> T Take(const char*& at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

// A name, class or text field of a template: a string, or "#n" for the ordinal n.
std::wstring TakeField(const char*& at)
{
    WORD unit = Take<WORD>(at);
    if (unit == 0xFFFF) return L"#" + std::to_wstring(Take<WORD>(at));
    std::wstring text;
    for (; unit; unit = Take<WORD>(at)) text.push_back(static_cast<wchar_t>(unit));
    return text;
}

struct Control {
    ItemHeader item;
    std::wstring className, text;
};

struct Dialog {
    DialogHeader header;
    FontHeader font;
    std::wstring caption, fontName;
    std::vector<Control> controls;
};

// A predefined class by its name in capitals, whether the template gives the name or the ordinal.
std::wstring ClassName(std::wstring field)
{
    if (field == L"#128") return L"BUTTON";
    if (field == L"#130") return L"STATIC";
    if (field == L"#131") return L"LISTBOX";
    CharUpperBuffW(field.data(), static_cast<DWORD>(field.size()));
    return field;
}

Dialog ParseDialog(WORD id, HMODULE module = Module())
{
    const std::string_view bytes = FindBytes(RT_DIALOG, id, module);
    if (bytes.empty()) throw std::runtime_error("no dialog template");
    const char* at = bytes.data();
    Dialog dialog;
    dialog.header = Take<DialogHeader>(at);
    TakeField(at);  // menu
    TakeField(at);  // class
    dialog.caption = TakeField(at);
    dialog.font = Take<FontHeader>(at);
    dialog.fontName = TakeField(at);
    for (WORD i = 0; i < dialog.header.count; ++i) {
        at = bytes.data() + ((at - bytes.data() + 3) & ~3);  // items start on a DWORD boundary
        Control control;
        control.item = Take<ItemHeader>(at);
        control.className = ClassName(TakeField(at));
        control.text = TakeField(at);
        Take<WORD>(at);  // no creation data in ours
        dialog.controls.push_back(control);
    }
    return dialog;
}

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kCheckBox = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefaultButton = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kListBox =
    kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

struct ExpectedControl {
    int id;
    const wchar_t* className;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* text;
};

// Checks the template, then that it comes alive with every control and passes alive's checks.
void ExpectDialog(WORD id, const wchar_t* caption, short cx, short cy, const std::vector<ExpectedControl>& controls,
                  const std::function<void(const std::vector<HWND>&)>& alive = nullptr)
{
    SCOPED_TRACE(id);
    const Dialog dialog = ParseDialog(id);
    const DialogHeader& header = dialog.header;
    const FontHeader& font = dialog.font;
    // An extended template.
    EXPECT_EQ(std::tuple(header.signature, header.style, header.exStyle, dialog.caption, header.cx, header.cy),
              std::tuple(WORD(0xFFFF), kDialogStyle, DWORD(0), std::wstring(caption), cx, cy));
    EXPECT_EQ(std::tuple(dialog.fontName, font.pointSize, font.weight, font.italic, font.charset),
              std::tuple(std::wstring(L"MS UI Gothic"), WORD(9), WORD(0), BYTE(0), BYTE(DEFAULT_CHARSET)));
    ASSERT_EQ(dialog.controls.size(), controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(i);
        const ItemHeader& actual = dialog.controls[i].item;
        const ExpectedControl& expected = controls[i];
        EXPECT_EQ(std::tuple(actual.id, dialog.controls[i].className, actual.style, actual.exStyle, actual.x, actual.y,
                             actual.cx, actual.cy),
                  std::tuple(expected.id, std::wstring(expected.className), expected.style, DWORD(0), expected.x,
                             expected.y, expected.cx, expected.cy));
        if (expected.text) {
            EXPECT_EQ(dialog.controls[i].text, expected.text);
        }
    }
    const auto quiet = [](HWND, UINT message, WPARAM, LPARAM) noexcept -> INT_PTR { return message == WM_INITDIALOG; };
    const HWND created = CreateDialogParamW(Module(), MAKEINTRESOURCEW(id), nullptr, quiet, 0);
    ASSERT_TRUE(created);
    std::vector<HWND> children;  // in the template's order
    for (HWND child = GetWindow(created, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    EXPECT_EQ(children.size(), controls.size());
    if (alive && children.size() == controls.size()) alive(children);
    DestroyWindow(created);
}

// The About box's icon is there, and its text fits.
void ExpectAboutBoxAlive(const std::vector<HWND>& controls)
{
    EXPECT_TRUE(SendMessageW(controls[0], STM_GETICON, 0, 0));
    for (HWND text : {controls[1], controls[3]}) {
        wchar_t buffer[1000] = L"";
        const std::wstring line(buffer, GetWindowTextW(text, buffer, 1000));
        SCOPED_TRACE(testing::Message() << "\"" << std::string(line.begin(), line.end()) << "\"");
        HDC dc = GetDC(text);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
        SIZE extent;
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(text, dc);
        RECT client;
        GetClientRect(text, &client);
        // Some room to spare: other fonts may stand in for MS UI Gothic.
        EXPECT_LE(extent.cx * 10, client.right * 9) << extent.cx << " of " << client.right;
    }
}

TEST(Resources, StringsAndMenuOfTheFrame)
{
    wchar_t text[64];
    for (UINT id : {IDR_MAINFRAME, IDS_APP_TITLE}) {
        ASSERT_EQ(LoadStringW(Module(), id, text, 64), 6) << id;
        EXPECT_STREQ(text, L"Vimlet");
    }

    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(menu);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
    EXPECT_EQ(GetMenuItemID(menu, 0), 0u);
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"ファイル(&F)");
    DestroyMenu(menu);
}

TEST(Resources, IconsHaveTheirSizesAndColours)
{
    struct Expected {
        WORD id;
        int size;
        BYTE colourCount;
    };
    for (Expected expected : {Expected{IDR_MAINFRAME, 32, 0}, Expected{IDI_TRAY, 16, 16}}) {
        SCOPED_TRACE(expected.id);
        const std::string_view group = FindBytes(RT_GROUP_ICON, expected.id);
        ASSERT_GE(group.size(), 9u);
        WORD count;
        std::memcpy(&count, group.data() + 4, sizeof count);
        ASSERT_EQ(count, 1);
        const auto* entry = reinterpret_cast<const BYTE*>(group.data()) + 6;  // the first entry: width, height, colours
        EXPECT_EQ((std::array<int, 3>{entry[0], entry[1], entry[2]}),
                  (std::array<int, 3>{expected.size, expected.size, expected.colourCount}));

        // cx and cy 0 without LR_DEFAULTSIZE: the image's own size.
        HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(expected.id), IMAGE_ICON, 0, 0, 0));
        ASSERT_TRUE(icon);
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour;
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, expected.size);
        EXPECT_EQ(colour.bmHeight, expected.size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(Resources, DialogTemplates)
{
    ExpectDialog(IDD_VIMLET_DIALOG, kProgramTitle, 359, 198, {
        {-1, L"BUTTON", kChild | BS_GROUPBOX, 7, 7, 345, 53, L"以下のキーが押されているときはVimletを無効にする"},
        {IDC_LEFT_SHIFT, L"BUTTON", kCheckBox, 31, 20, 39, 10, L"左Shift"},
        {IDC_LEFT_CTRL, L"BUTTON", kCheckBox, 31, 32, 35, 10, L"左Ctrl"},
        {IDC_LEFT_ALT, L"BUTTON", kCheckBox, 31, 44, 33, 10, L"左Alt"},
        {IDC_RIGHT_SHIFT, L"BUTTON", kCheckBox, 97, 20, 39, 10, L"右Shift"},
        {IDC_RIGHT_CTRL, L"BUTTON", kCheckBox, 97, 32, 35, 10, L"右Ctrl"},
        {IDC_RIGHT_ALT, L"BUTTON", kCheckBox, 97, 44, 33, 10, L"右Alt"},
        {IDC_SPACE, L"BUTTON", kCheckBox, 161, 20, 41, 10, L"スペース"},
        {-1, L"BUTTON", kChild | BS_GROUPBOX, 7, 65, 345, 102, L"以下のアプリケーション上ではVimletを無効にする"},
        {IDC_APP_LIST, L"LISTBOX", kListBox, 14, 81, 272, 76, L""},
        {IDC_ADD, L"BUTTON", kButton, 294, 81, 50, 14, L"追加(&A)..."},
        {IDC_REMOVE, L"BUTTON", kButton, 294, 98, 50, 14, L"削除(&R)"},
        {IDC_EXIT, L"BUTTON", kButton, 7, 177, 50, 14, L"終了(&X)"},
        {IDC_ABOUT, L"BUTTON", kButton, 89, 177, 66, 14, L"バージョン情報"},
        {IDC_OPEN_STARTUP, L"BUTTON", kButton, 184, 177, 92, 14, L"スタートアップフォルダを開く"},
        {IDCANCEL, L"BUTTON", kDefaultButton, 302, 177, 50, 14, L"閉じる(&C)"},
    });
    ExpectDialog(IDD_ADDAPP, kAddTitle, 316, 164, {
        {-1, L"STATIC", kChild | WS_GROUP | SS_LEFT, 7, 7, 78, 8, L"実行中のアプリケーション"},
        {IDC_APP_LIST, L"LISTBOX", kListBox | LBS_MULTIPLESEL, 7, 20, 302, 114, L""},
        {IDOK, L"BUTTON", kDefaultButton, 7, 143, 127, 14, L"選択されたアプリケーションを追加"},
        {IDC_OTHER_APP, L"BUTTON", kButton, 140, 143, 113, 14, L"その他のアプリケーション(&O)..."},
        {IDCANCEL, L"BUTTON", kButton, 259, 143, 50, 14, L"キャンセル"},
    });
    ExpectDialog(IDD_ABOUTBOX, L"About Vimlet", 193, 83, {
        {-1, L"STATIC", kChild | SS_ICON, 14, 14, 20, 20, nullptr},
        {-1, L"STATIC", kChild | SS_NOPREFIX | WS_GROUP, 55, 22, 114, 8, nullptr},
        {IDOK, L"BUTTON", kDefaultButton | WS_GROUP, 71, 58, 50, 14, L"OK"},
        {-1, L"STATIC", kChild | WS_GROUP, 55, 10, 104, 8, nullptr},
    }, ExpectAboutBoxAlive);
    EXPECT_EQ(ParseDialog(IDD_ABOUTBOX).controls[0].text, L"#" + std::to_wstring(IDR_MAINFRAME));
}

// A string value of a binary's version resource, or for "\\" its fixed file version as
// "a.b.c.d"; empty when there is none.
std::wstring VersionValue(const std::wstring& path, const std::wstring& name)
{
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    const std::wstring key = name == L"\\" ? name : L"\\StringFileInfo\\040904b0\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), key.c_str(), &value, &length) || !length)
        return L"";
    if (name != L"\\") return static_cast<const wchar_t*>(value);
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

// The shipped binaries, not this test's copy of the resources: both carry the version the
// About box shows, and that is the version the repository keeps.
TEST(Resources, BothBinariesCarryTheReleaseVersionTheAboutBoxShows)
{
    std::string release = ReadBytes(BesideThisProgram(L"VERSION"));
    release.erase(release.find_last_not_of("\r\n") + 1);
    const std::wstring version(release.begin(), release.end());
    std::wstring fileVersion = version;
    while (std::count(fileVersion.begin(), fileVersion.end(), L'.') < 3) fileVersion += L".0";

    const HMODULE program = LoadLibraryExW(BesideThisProgram(L"Vimlet.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    EXPECT_EQ(ParseDialog(IDD_ABOUTBOX, program).controls[1].text, L"Vimlet, Version " + version);
    FreeLibrary(program);

    for (const wchar_t* file : {L"Vimlet.exe", L"vimlet.dll"}) {
        SCOPED_TRACE(testing::Message() << std::string(file, file + wcslen(file)));
        const std::wstring path = BesideThisProgram(file);
        EXPECT_EQ(VersionValue(path, L"ProductName"), L"Vimlet");
        EXPECT_EQ(VersionValue(path, L"ProductVersion"), version);
        EXPECT_EQ(VersionValue(path, L"FileVersion"), fileVersion);
        EXPECT_EQ(VersionValue(path, L"\\"), fileVersion);
        EXPECT_EQ(VersionValue(path, L"OriginalFilename"), file);
        EXPECT_EQ(VersionValue(path, L"LegalCopyright").rfind(L"Copyright (c) ", 0), 0u);
        EXPECT_NE(VersionValue(path, L"FileDescription").find(L"Vimlet"), std::wstring::npos);
    }
}

TEST(Resources, ManifestAsksForAsInvokerAndCommonControls6)
{
    const std::string_view text = FindBytes(RT_MANIFEST, 1);
    ASSERT_FALSE(text.empty());
    for (const char* part :
         {"level=\"asInvoker\"", "uiAccess=\"false\"", "name=\"Microsoft.Windows.Common-Controls\"",
          "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"",
          // Per-monitor v2 awareness, and per-monitor where Windows predates it: each element
          // counts only in its own namespace.
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
          "PerMonitorV2, PerMonitor</dpiAwareness>"})
        EXPECT_NE(text.find(part), std::string::npos) << part;

    // The loader honours it: the common controls come from the side-by-side store.
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&init));
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
    CharLowerW(path);
    EXPECT_NE(std::wstring(path).find(L"\\winsxs\\"), std::wstring::npos) << testing::PrintToString(std::wstring(path));
}

} // namespace
