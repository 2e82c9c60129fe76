#include "FrameWnd.h"

#include "WinApp.h"

#include <algorithm>
#include <string>

namespace {

LPCWSTR FrameWndClass(HICON hIcon)
{
    return AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                               reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), hIcon);
}

} // namespace

IMPLEMENT_DYNAMIC(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_CLOSE()
END_MESSAGE_MAP()

const RECT CFrameWnd::rectDefault = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd,
                          CCreateContext* pContext)
{
    std::wstring title = AfxLoadString(nIDResource);
    title.erase(std::min(title.find(L'\n'), title.size()));  // the other fields follow a '\n'
    const HICON hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(nIDResource));
    return Create(hIcon ? FrameWndClass(hIcon) : nullptr, title.c_str(), dwDefaultStyle, rectDefault,
                  pParentWnd, MAKEINTRESOURCEW(nIDResource), 0, pContext);
}

BOOL CFrameWnd::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, LPCWSTR lpszMenuName, DWORD dwExStyle, CCreateContext* pContext)
{
    HMENU hMenu = nullptr;
    if (lpszMenuName && !(hMenu = ::LoadMenuW(AfxGetInstanceHandle(), lpszMenuName))) {
        PostNcDestroy();
        return FALSE;
    }
    // rectDefault's right and bottom stand for CW_USEDEFAULT sizes.
    const bool bDefault = rect.left == CW_USEDEFAULT;
    const int nWidth = bDefault ? CW_USEDEFAULT : rect.right - rect.left;
    const int nHeight = bDefault ? CW_USEDEFAULT : rect.bottom - rect.top;
    if (!CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, nWidth, nHeight,
                  pParentWnd ? pParentWnd->m_hWnd : nullptr, hMenu, pContext)) {
        if (hMenu) ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!cs.lpszClass) cs.lpszClass = FrameWndClass(nullptr);
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT)
{
    return Default() == -1 ? -1 : 0;
}

void CFrameWnd::OnClose()
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp || pApp->m_pMainWnd != this) {
        Default();
        return;
    }
    // Nothing of the application should linger on screen while it shuts down.
    ::ShowOwnedPopups(m_hWnd, FALSE);
    ShowWindow(SW_HIDE);
    DestroyWindow();
}

void CFrameWnd::PostNcDestroy()
{
    delete this;
}
