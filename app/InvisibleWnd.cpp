#include "InvisibleWnd.h"

#include "AppTitle.h"
#include "dialogs/VimletDlg.h"
#include "resource.h"

namespace {

constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayCallbackMessage = WM_APP;
constexpr UINT_PTR kRaiseTimerId = 0;
constexpr UINT kRaiseIntervalMs = 1000;
constexpr BYTE kAlmostTransparent = 1;  // fully transparent windows get no cursor queries
// How long a second copy waits for the first one, still starting, to show its parking window.
constexpr DWORD kFindRunningBoundMs = 10000;
constexpr DWORD kFindRunningPollMs = 50;

// The Vista layout of the record, which the shell expects from a 64-bit program.
static_assert(sizeof(NOTIFYICONDATAW) == 976);

} // namespace

IMPLEMENT_DYNAMIC(CInvisibleWnd, CFrameWnd)

BEGIN_MESSAGE_MAP(CInvisibleWnd, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_PAINT()
    ON_WM_TIMER()
END_MESSAGE_MAP()

BOOL CInvisibleWnd::Create(CWnd* pParentWnd)
{
    return CFrameWnd::Create(AfxRegisterWndClass(0), kAppTitle, WS_POPUP | WS_VISIBLE, RECT{0, 0, 0, 0},
                             pParentWnd, nullptr, WS_EX_TOOLWINDOW, nullptr);
}

void CInvisibleWnd::MoveToCorner()
{
    PlaceInCorner(HWND_TOPMOST, 0);
}

void CInvisibleWnd::PlaceInCorner(HWND insertAfter, UINT flags)
{
    SetWindowPos(m_hWnd, insertAfter, GetSystemMetrics(SM_CXSCREEN) - 2,
                 GetSystemMetrics(SM_CYSCREEN) - 2, 1, 1, SWP_NOACTIVATE | flags);
}

void CInvisibleWnd::ShowSettingsDialog()
{
    CVimletDlg dialog;
    dialog.DoModal();
}

HWND CInvisibleWnd::FindRunning()
{
    const LPCWSTR windowClass = AfxRegisterWndClass(0);  // the main frame's class too
    for (DWORD waited = 0; waited < kFindRunningBoundMs; waited += kFindRunningPollMs) {
        for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, kAppTitle); window;
             window = FindWindowExW(nullptr, window, windowClass, kAppTitle)) {
            if (GetWindowLongW(window, GWL_STYLE) & WS_POPUP) return window;
        }
        Sleep(kFindRunningPollMs);
    }
    return nullptr;
}

// The user's start of the second copy gave that process the right to the foreground: it passes
// the right on, so that the dialog comes up in front.
void CInvisibleWnd::RequestSettingsDialog(HWND parkingWindow)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(parkingWindow, &processId);
    AllowSetForegroundWindow(processId);
    ::PostMessageW(parkingWindow, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
}

// These are answered before the message map and without default processing: the window
// never closes, never erases, has no frame and shows no cursor.
LRESULT CInvisibleWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NULL:  // from a hook that has just parked the cursor here
    case WM_DISPLAYCHANGE:
        StayOnTop();
        return 0;
    case WM_CLOSE:
    case WM_ERASEBKGND:
    case WM_NCCALCSIZE:
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 0;
    case kTrayCallbackMessage:
        // The dialog may outlive this object (Exit destroys the window): touch nothing after.
        if (lParam == WM_LBUTTONDBLCLK) ShowSettingsDialog();
        return 0;
    }
    if (message == m_taskbarCreatedMessage) {  // the shell has (re)started with an empty tray
        AddTrayIcon();
        return 0;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

int CInvisibleWnd::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;
    ModifyStyle(WS_CAPTION | WS_THICKFRAME, 0);
    ModifyStyleEx(WS_EX_CLIENTEDGE, WS_EX_LAYERED | WS_EX_NOACTIVATE);
    SetLayeredWindowAttributes(m_hWnd, 0, kAlmostTransparent, LWA_ALPHA);
    MoveToCorner();
    m_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    AddTrayIcon();
    SetTimer(m_hWnd, kRaiseTimerId, kRaiseIntervalMs, nullptr);
    return 0;
}

void CInvisibleWnd::AddTrayIcon()
{
    m_notifyIcon.cbSize = sizeof(m_notifyIcon);
    m_notifyIcon.hWnd = m_hWnd;
    m_notifyIcon.uID = kTrayIconId;
    m_notifyIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_notifyIcon.uCallbackMessage = kTrayCallbackMessage;
    m_notifyIcon.hIcon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_TRAY));
    lstrcpynW(m_notifyIcon.szTip, kAppTitle, ARRAYSIZE(m_notifyIcon.szTip));
    // An add fails when the icon is there already, e.g. after a TaskbarCreated sent without a restart.
    m_bTrayIconShown = Shell_NotifyIconW(NIM_ADD, &m_notifyIcon) || Shell_NotifyIconW(NIM_MODIFY, &m_notifyIcon);
}

void CInvisibleWnd::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    dc.PatBlt(0, 0, client.right, client.bottom, BLACKNESS);
}

// The shell may not be ready yet at log-on: the icon is added as soon as it is.
void CInvisibleWnd::OnTimer(UINT_PTR)
{
    if (!m_bTrayIconShown) AddTrayIcon();
    StayOnTop();
}

// Keeps the window in its corner and above every other visible top-level window (invisible
// ones do not count), touching it only when it has left either place. A topmost window raised
// over a full-screen game makes many games leave full screen: over one, the window only moves.
void CInvisibleWnd::StayOnTop()
{
    RECT rect{};
    GetWindowRect(m_hWnd, &rect);
    const bool inCorner = rect.left == GetSystemMetrics(SM_CXSCREEN) - 2 &&
                          rect.top == GetSystemMetrics(SM_CYSCREEN) - 2 &&
                          rect.right - rect.left == 1 && rect.bottom - rect.top == 1;
    if (inCorner && !IsCovered()) return;
    if (!FullScreenAppInFront())
        MoveToCorner();
    else if (!inCorner)
        PlaceInCorner(nullptr, SWP_NOZORDER);
}

bool CInvisibleWnd::IsCovered() const
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window && window != m_hWnd;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (IsWindowVisible(window)) return true;
    }
    return false;
}

// A topmost foreground window over its whole monitor, or what the shell calls a Direct3D
// full-screen application or a presentation.
bool CInvisibleWnd::FullScreenAppInFront()
{
    const HWND front = GetForegroundWindow();
    RECT window;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (front && (GetWindowLongW(front, GWL_EXSTYLE) & WS_EX_TOPMOST) && GetWindowRect(front, &window) &&
        GetMonitorInfoW(MonitorFromWindow(front, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& screen = monitor.rcMonitor;
        if (window.left <= screen.left && window.top <= screen.top && window.right >= screen.right &&
            window.bottom >= screen.bottom)
            return true;
    }
    QUERY_USER_NOTIFICATION_STATE state;
    return SUCCEEDED(SHQueryUserNotificationState(&state)) &&
           (state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE);
}
