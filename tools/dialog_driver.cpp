#include "dialog_driver.h"

#include "TempDir.h"
#include "TestConstants.h"
#include "resource.h"

#include <algorithm>

namespace {

constexpr DWORD kReplyBoundMs = 10000;
constexpr UINT kTrayIconId = 1;

LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kReplyBoundMs, &result);
    return static_cast<LRESULT>(result);
}

bool IsDialogClass(HWND window)
{
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770";
}

} // namespace

std::wstring IniPath() { return SettingsDirectory() + L"/vimlet.ini"; }

std::wstring ExcludePath() { return SettingsDirectory() + L"/excludeapp.txt"; }

std::wstring IniValue(const wchar_t* key)
{
    wchar_t value[32];
    GetPrivateProfileStringW(L"Vimlet", key, L"missing", value, 32, IniPath().c_str());
    return value;
}

std::string ExcludeFileBytes(const std::vector<std::wstring>& paths)
{
    std::string bytes;
    for (const std::wstring& path : paths) {
        char line[1000];
        const int length = WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), line,
                                               sizeof line, nullptr, nullptr);
        bytes.append(line, length).append("\r\n");
    }
    return bytes;
}

FileState FileState::Of(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const DWORD attributes = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)
                                 ? data.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
    const FILETIME& written = data.ftLastWriteTime;
    return {attributes, ULONGLONG(written.dwHighDateTime) << 32 | written.dwLowDateTime, ReadBytes(path)};
}

std::vector<HWND> Dialogs(DWORD processId, const std::wstring& title)
{
    std::vector<HWND> dialogs;
    for (HWND window : TopLevelWindows(processId, title))
        if (IsDialogClass(window) && IsWindowVisible(window)) dialogs.push_back(window);
    return dialogs;
}

HWND WaitForNewDialog(DWORD processId, const std::wstring& title, const std::vector<HWND>& known)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND dialog : Dialogs(processId, title))
            if (std::find(known.begin(), known.end(), dialog) == known.end()) found = dialog;
        return found != nullptr;
    });
    return found;
}

bool WaitUntilGone(HWND window)
{
    return WaitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); });
}

constexpr int kMessageBoxTextId = 0xFFFF;

HWND WaitForOwnedWindow(HWND owner, bool (*passes)(HWND))
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND window = GetTopWindow(nullptr); window && !found; window = GetWindow(window, GW_HWNDNEXT)) {
            if (GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window) && (!passes || passes(window)))
                found = window;
        }
        return found != nullptr;
    });
    return found;
}

// Other dialogs it owns (About, the add dialog) may be on their way out.
HWND WaitForMessageBox(HWND owner)
{
    return WaitForOwnedWindow(
        owner, [](HWND window) { return IsDialogClass(window) && GetDlgItem(window, kMessageBoxTextId) != nullptr; });
}

std::wstring DismissMessageBox(HWND box)
{
    if (!box) return {};
    const std::wstring text = WindowText(GetDlgItem(box, kMessageBoxTextId));
    Click(box, IDOK);
    return text;
}

void PostTrayMessage(const VimletProcess& vimlet, UINT mouseMessage)
{
    PostMessageW(vimlet.ParkingWindow(), WM_APP, kTrayIconId, mouseMessage);
}

HWND OpenSettingsDialog(const VimletProcess& vimlet, const std::vector<HWND>& known)
{
    PostTrayMessage(vimlet, WM_LBUTTONDBLCLK);
    return WaitForNewDialog(vimlet.ProcessId(), kProgramTitle, known);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1000] = L"";
    SendBounded(window, WM_GETTEXT, 1000, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND FindDescendant(HWND parent, const std::wstring& className, int id)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = L"";
        GetClassNameW(child, name, 64);
        if (GetDlgCtrlID(child) == id && className == name) return child;
        if (const HWND found = FindDescendant(child, className, id)) return found;
    }
    return nullptr;
}

HWND FindChildByText(HWND parent, const std::wstring& text)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (WindowText(child) == text) return child;
    return nullptr;
}

void Click(HWND dialog, int id)
{
    SendBounded(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void ClickToOpen(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return SendBounded(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT SendToList(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendBounded(GetDlgItem(dialog, IDC_APP_LIST), message, wParam, lParam);
}

std::vector<std::wstring> ListRows(HWND dialog)
{
    std::vector<std::wstring> rows;
    const LRESULT count = SendToList(dialog, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) rows.push_back(ListRow(dialog, i));
    return rows;
}

std::wstring ListRow(HWND dialog, WPARAM row)
{
    std::vector<wchar_t> text(SendToList(dialog, LB_GETTEXTLEN, row, 0) + 1);
    SendToList(dialog, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

// A window shown since may have taken the keyboard: make sure the keys go to this one.
bool Activate(HWND window)
{
    return WaitUntil([window] {
        if (GetForegroundWindow() != window) SetForegroundWindow(window);
        return GetForegroundWindow() == window;
    });
}
