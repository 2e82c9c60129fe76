#pragma once
// The program's own window messages, each with one number, and the name of the one another
// start of the program sends.

#include <windows.h>

// The tray icon's callback: the shell delivers it to the parking window with the icon's id as
// wParam and the mouse message as lParam.
constexpr UINT kTrayCallbackMessage = WM_APP;
// Posted to the main window: open the settings dialog, or bring the open one to the front.
constexpr UINT kOpenSettingsMessage = WM_APP + 1;
// Posted by the settings dialog to itself, so that its message box comes up over it.
constexpr UINT kReportUnreadableListMessage = WM_APP + 2;

// Registered by name: a second start of the program asks the running copy's parking window for
// the settings dialog with it.
constexpr wchar_t kOpenSettingsMessageName[] = L"VimletOpenSettings";
inline UINT OpenSettingsMessage()
{
    return RegisterWindowMessageW(kOpenSettingsMessageName);
}
