#include "TrayIcon.h"

// The Vista layout of the record, which the shell expects from a 64-bit program.
static_assert(sizeof(NOTIFYICONDATAW) == 976);

void CTrayIcon::Add(HWND window, UINT id, UINT callbackMessage, HICON icon, LPCWSTR tip)
{
    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    m_data.cbSize = sizeof m_data;
    m_data.hWnd = window;
    m_data.uID = id;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = callbackMessage;
    m_data.hIcon = icon;
    lstrcpynW(m_data.szTip, tip, ARRAYSIZE(m_data.szTip));
    Show();
}

void CTrayIcon::Show()
{
    // An add fails when the icon is there already, e.g. after a TaskbarCreated sent without a restart.
    m_bShown = Shell_NotifyIconW(NIM_ADD, &m_data) || Shell_NotifyIconW(NIM_MODIFY, &m_data);
}

void CTrayIcon::Delete()
{
    if (m_data.hWnd) Shell_NotifyIconW(NIM_DELETE, &m_data);
    m_bShown = false;
}
