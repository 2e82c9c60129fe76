#include "InvisibleWnd.h"

#include "dialogs/VimletDlg.h"
#include "resource.h"

namespace {

constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayCallbackMessage = WM_APP;
constexpr UINT_PTR kRaiseTimerId = 0;
constexpr UINT kRaiseIntervalMs = 1000;
constexpr BYTE kAlmostTransparent = 1;  // fully transparent windows get no cursor queries

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
    return CFrameWnd::Create(AfxRegisterWndClass(0), L"Vimlet", WS_POPUP | WS_VISIBLE, RECT{0, 0, 0, 0},
                             pParentWnd, nullptr, WS_EX_TOOLWINDOW, nullptr);
}

namespace {

RECT CornerRect()
{
    const int x = GetSystemMetrics(SM_CXSCREEN) - 2, y = GetSystemMetrics(SM_CYSCREEN) - 2;
    return {x, y, x + 1, y + 1};
}

} // namespace

void CInvisibleWnd::MoveToCorner()
{
    const RECT corner = CornerRect();
    SetWindowPos(m_hWnd, HWND_TOPMOST, corner.left, corner.top, 1, 1, SWP_NOACTIVATE);
}

// Whether a visible top-level window lies above this one; invisible ones do not count.
bool CInvisibleWnd::IsCovered() const
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window && window != m_hWnd;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (IsWindowVisible(window)) return true;
    }
    return false;
}

bool CInvisibleWnd::IsInCorner() const
{
    RECT now{};
    const RECT corner = CornerRect();
    return ::GetWindowRect(m_hWnd, &now) && EqualRect(&now, &corner);
}

void CInvisibleWnd::ShowSettingsDialog()
{
    CVimletDlg dialog;
    dialog.DoModal();
}

// These are answered before the message map and without default processing: the window
// never closes, never erases, has no frame and shows no cursor.
LRESULT CInvisibleWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NULL:
        // A hook has just parked the cursor here and waits for the answer. A window already on
        // top in its corner needs no SetWindowPos, which would cost the hook a round trip to
        // the display server on every hide.
        if (IsCovered() || !IsInCorner()) MoveToCorner();
        return 0;
    case WM_DISPLAYCHANGE:
        MoveToCorner();
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
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

int CInvisibleWnd::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;
    ModifyStyle(WS_CAPTION | WS_THICKFRAME, 0);
    ModifyStyleEx(WS_EX_CLIENTEDGE, WS_EX_LAYERED | WS_EX_NOACTIVATE);
    SetLayeredWindowAttributes(m_hWnd, 0, kAlmostTransparent, LWA_ALPHA);
    MoveToCorner();
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
    lstrcpynW(m_notifyIcon.szTip, L"Vimlet", ARRAYSIZE(m_notifyIcon.szTip));
    Shell_NotifyIconW(NIM_ADD, &m_notifyIcon);
}

void CInvisibleWnd::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    dc.PatBlt(0, 0, client.right, client.bottom, BLACKNESS);
}

// Keeps the window above every other visible top-level window.
void CInvisibleWnd::OnTimer(UINT_PTR)
{
    if (IsCovered()) MoveToCorner();
}
