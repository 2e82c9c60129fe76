#pragma once
// The program's icon in the notification area: added with its window, again whenever the shell
// restarts with an empty tray, retried on every tick until the shell takes it (it may not be
// up yet at log-on), and deleted with the window, so that no dead icon stays behind.

#include <windows.h>

#include <shellapi.h>

class CTrayIcon {
public:
    void Add(HWND window, UINT id, UINT callbackMessage, HICON icon, LPCWSTR tip);
    // TaskbarCreated: the shell has (re)started.
    bool IsShellRestart(UINT message) const { return message == m_taskbarCreated; }
    UINT ShellRestartMessage() const { return m_taskbarCreated; }
    void Show();
    void Retry()
    {
        if (!m_bShown) Show();
    }
    void Delete();

private:
    NOTIFYICONDATAW m_data = {};
    bool m_bShown = false;
    UINT m_taskbarCreated = 0;  // registered by the shell's name
};
