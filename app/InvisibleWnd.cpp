#include "InvisibleWnd.h"

#include "AppMessages.h"
#include "AppTitle.h"
#include "MessageFilter.h"

namespace {

constexpr UINT_PTR kRaiseTimerId = 0;
constexpr UINT kRaiseIntervalMs = 1000;
constexpr BYTE kAlmostTransparent = 1;  // fully transparent windows get no cursor queries

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
    m_placement.MoveToCorner();
}

// Posted, so that the dialog never runs inside this window's procedure, which the hooks wait on.
void CInvisibleWnd::AskOwnerForSettingsDialog()
{
    if (const HWND owner = ::GetWindow(m_hWnd, GW_OWNER)) ::PostMessageW(owner, kOpenSettingsMessage, 0, 0);
}

// These are answered before the message map and without default processing: the window
// never closes, never erases, has no frame and shows no cursor. The tray icon sees the rest.
LRESULT CInvisibleWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NULL:  // from a hook that has just parked the cursor here
        m_placement.RiseAboveAll();
        return 0;
    case WM_DISPLAYCHANGE:
        m_placement.RiseAboveVisible();
        return 0;
    case WM_CLOSE:
    case WM_ERASEBKGND:
    case WM_NCCALCSIZE:
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 0;
    case kTrayCallbackMessage:
        if (lParam == WM_LBUTTONDBLCLK) AskOwnerForSettingsDialog();
        return 0;
    case WM_WINDOWPOSCHANGED:
        m_placement.Moved(*reinterpret_cast<const WINDOWPOS*>(lParam));
        break;
    }
    if (message == m_openSettingsMessage) {
        AskOwnerForSettingsDialog();
        return 0;
    }
    if (m_trayIcon.OnWindowMessage(message)) return 0;
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

int CInvisibleWnd::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;
    ModifyStyle(WS_CAPTION | WS_THICKFRAME, 0);
    ModifyStyleEx(WS_EX_CLIENTEDGE, WS_EX_LAYERED | WS_EX_NOACTIVATE);
    SetLayeredWindowAttributes(m_hWnd, 0, kAlmostTransparent, LWA_ALPHA);
    m_placement.Attach(m_hWnd);
    MoveToCorner();
    m_openSettingsMessage = OpenSettingsMessage();
    m_trayIcon.Add(m_hWnd);
    vimlet::OpenMessageFilter<vimlet::MessageFilterSystem>(m_hWnd, m_trayIcon.ShellRestartMessage());
    SetTimer(m_hWnd, kRaiseTimerId, kRaiseIntervalMs, nullptr);
    return 0;
}

void CInvisibleWnd::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    dc.PatBlt(0, 0, client.right, client.bottom, BLACKNESS);
}

void CInvisibleWnd::OnTimer(UINT_PTR)
{
    m_placement.RiseAboveVisible();
}
