#pragma once
// The program's icon in the notification area, for the whole life of its window: added with it,
// again whenever the shell restarts with an empty tray, retried on every tick until the shell
// takes it (it may not be up yet at log-on), and deleted with the window, so that no dead icon
// stays behind.

#include <windows.h>

#include <shellapi.h>

class CTrayIcon {
public:
    // The mouse on the icon comes to window as kTrayCallbackMessage.
    void Add(HWND window);
    // Every message of the window once it is added: true when it was the icon's alone.
    bool OnWindowMessage(UINT message);
    // TaskbarCreated, registered by the shell's name.
    UINT ShellRestartMessage() const { return m_taskbarCreated; }

private:
    void Show();

    NOTIFYICONDATAW m_data = {};
    bool m_bShown = false;
    UINT m_taskbarCreated = 0;
};
