#pragma once
// Drives the dialogs of a running Vimlet.exe from this process: messages to its controls,
// and real input where a user's keys and clicks matter. Every wait has a bound.

#include "Input.h"
#include "TestConstants.h"
#include "VimletProcess.h"

#include <string>
#include <vector>

// The settings files as the program forms them.
std::wstring IniPath();
std::wstring ExcludePath();
// A key of vimlet.ini's section as the file holds it; "missing" when it is not there.
std::wstring IniValue(const wchar_t* key);
// One CR LF line per path, in the ANSI code page: excludeapp.txt as the program writes it.
std::string ExcludeFileBytes(const std::vector<std::wstring>& paths);

// What a settings file looks like from outside: any write or replacement changes this.
struct FileState {
    DWORD attributes;
    ULONGLONG lastWrite;  // in 100 ns
    std::string bytes;

    static FileState Of(const std::wstring& path);
    bool operator==(const FileState&) const = default;
};

// Visible top-level dialog-class (#32770) windows of the process with exactly this title.
std::vector<HWND> Dialogs(DWORD processId, const std::wstring& title);
// Waits for such a dialog that is not among known; null when none came.
HWND WaitForNewDialog(DWORD processId, const std::wstring& title, const std::vector<HWND>& known = {});
bool WaitUntilGone(HWND window);

// A visible top-level window owned by owner (that passes the check, if one is given), once it is
// up; null when none came.
HWND WaitForOwnedWindow(HWND owner, bool (*passes)(HWND) = nullptr);
// The message box owned by owner, once it is up; null when none came.
HWND WaitForMessageBox(HWND owner);
// Its text, then dismissed with OK; empty when there was no box.
std::wstring DismissMessageBox(HWND box);

// The tray callback as the shell delivers it: WM_APP, the icon's id, the mouse message.
void PostTrayMessage(const VimletProcess& vimlet, UINT mouseMessage);
// Opens the settings dialog through the tray callback; null when none came.
HWND OpenSettingsDialog(const VimletProcess& vimlet, const std::vector<HWND>& known = {});

// WM_GETTEXT, which crosses processes.
std::wstring WindowText(HWND window);
// The first descendant, at any depth, of this class and control id.
HWND FindDescendant(HWND parent, const std::wstring& className, int id);
// The first direct child whose text is exactly text.
HWND FindChildByText(HWND parent, const std::wstring& text);

// BM_CLICK, returning once the button's handler has run.
void Click(HWND dialog, int id);
// BM_CLICK posted: for a button whose handler runs a modal dialog of its own.
void ClickToOpen(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);

// The rows of list box 1020 (LB_GETTEXT crosses processes in its wide form only).
std::vector<std::wstring> ListRows(HWND dialog);
std::wstring ListRow(HWND dialog, WPARAM row);
LRESULT SendToList(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Real input through the system's queue.
bool Activate(HWND window);
