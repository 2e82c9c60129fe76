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
constexpr wchar_t kOpenSettingsMessageName[] = L"VimletOpenSettings";

// The window the user can work in among those that window owns, one owning the next: the
// innermost of the nested modal windows (a dialog, a message box, a file dialog).
HWND InnermostOwned(HWND window)
{
    struct Search {
        HWND owner;
        HWND owned;
    };
    for (Search search{window, nullptr};; search = {search.owned, nullptr}) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND candidate, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                if (GetWindow(candidate, GW_OWNER) != s->owner || !IsWindowVisible(candidate)) return TRUE;
                s->owned = candidate;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.owned) return search.owner;
    }
}

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

// Static, not a member: Exit destroys this object while the dialog is still open.
void CInvisibleWnd::ShowSettingsDialog()
{
    static const CVimletDlg* s_pOpen = nullptr;
    if (s_pOpen) {
        ::SetForegroundWindow(InnermostOwned(s_pOpen->m_hWnd));
        return;
    }
    CVimletDlg dialog;
    s_pOpen = &dialog;
    dialog.DoModal();
    s_pOpen = nullptr;
}

UINT CInvisibleWnd::OpenSettingsMessage()
{
    return RegisterWindowMessageW(kOpenSettingsMessageName);
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
    if (message == m_openSettingsMessage) {
        ShowSettingsDialog();  // as for the tray: touch nothing after
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
    m_openSettingsMessage = OpenSettingsMessage();
    // Elevated, the window would hear neither the shell, nor the hooks in unelevated processes,
    // nor a second start, which runs unelevated.
    for (const UINT fromBelow : {m_taskbarCreatedMessage, UINT(WM_NULL), m_openSettingsMessage})
        ChangeWindowMessageFilterEx(m_hWnd, fromBelow, MSGFLT_ALLOW, nullptr);
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
