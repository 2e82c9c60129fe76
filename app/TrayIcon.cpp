#include "TrayIcon.h"

#include "AppMessages.h"
#include "AppTitle.h"
#include "resource.h"

#include "afxwin.h"

namespace {

constexpr UINT kTrayIconId = 1;

} // namespace

// The Vista layout of the record, which the shell expects from a 64-bit program.
static_assert(sizeof(NOTIFYICONDATAW) == 976);

void CTrayIcon::Add(HWND window)
{
    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    m_data.cbSize = sizeof m_data;
    m_data.hWnd = window;
    m_data.uID = kTrayIconId;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = kTrayCallbackMessage;
    m_data.hIcon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_TRAY));
    lstrcpynW(m_data.szTip, kAppTitle, ARRAYSIZE(m_data.szTip));
    Show();
}

bool CTrayIcon::OnWindowMessage(UINT message)
{
    if (message == WM_TIMER && !m_bShown) Show();
    if (message == WM_DESTROY && m_data.hWnd) Shell_NotifyIconW(NIM_DELETE, &m_data);
    if (message != m_taskbarCreated) return false;
    Show();  // the shell has (re)started with an empty tray
    return true;
}

void CTrayIcon::Show()
{
    // An add fails when the icon is there already, e.g. after a TaskbarCreated sent without a restart.
    m_bShown = Shell_NotifyIconW(NIM_ADD, &m_data) || Shell_NotifyIconW(NIM_MODIFY, &m_data);
}
