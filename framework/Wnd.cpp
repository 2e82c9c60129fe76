#include "Wnd.h"

#include "WinApp.h"

#include <cwchar>
#include <set>
#include <string>

namespace {

// The object whose window CreateEx is creating on this thread, until that window's first
// message attaches it. Unlike lpCreateParams this leaves lpParam to the caller, and it also
// catches the messages that come before WM_NCCREATE.
thread_local CWnd* t_pWndInit = nullptr;
// The message being handled, for Default().
thread_local MSG t_msgCur = {};

BOOL ModifyLong(HWND hWnd, int nIndex, DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD dwStyle = ::GetWindowLongW(hWnd, nIndex);
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle) return FALSE;
    ::SetWindowLongW(hWnd, nIndex, static_cast<LONG>(dwNewStyle));
    if (nFlags) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    }
    return TRUE;
}

} // namespace

IMPLEMENT_DYNAMIC(CWnd, CObject)

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    using ThisClass = CWnd;
    static constexpr AFX_MSGMAP_ENTRY entries[] = {
        ON_WM_NCDESTROY()
        {0, 0, 0, nullptr}
    };
    static constexpr AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd && t_pWndInit) {
        pWnd = t_pWndInit;
        t_pWndInit = nullptr;
        pWnd->Attach(hWnd);
    }
    if (!pWnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);

    // Handlers nest (SendMessage, modal loops): each level has its own current message.
    const MSG msgOuter = t_msgCur;
    t_msgCur = {hWnd, message, wParam, lParam, 0, {}};
    const LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    t_msgCur = msgOuter;
    return lResult;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd) return nullptr;
    // Other windows of this thread (controls, the IME's) may keep their own data there.
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) != AfxWndProc) return nullptr;
    return reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, int x,
                    int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam)
{
    CREATESTRUCTW cs = {lpParam, AfxGetInstanceHandle(), nIDorHMenu, hWndParent, nHeight, nWidth, y, x,
                        static_cast<LONG>(dwStyle), lpszWindowName, lpszClassName, dwExStyle};
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    t_pWndInit = this;
    const HWND hWnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName,
                                        static_cast<DWORD>(cs.style), cs.x, cs.y, cs.cx, cs.cy,
                                        cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    // A window that never got a message never reaches WM_NCDESTROY: clean up here instead.
    // Otherwise the object may already be gone (a failed WM_CREATE destroys the window).
    const bool bNeverAttached = t_pWndInit == this;
    t_pWndInit = nullptr;
    if (bNeverAttached) PostNcDestroy();
    return hWnd != nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&)
{
    return TRUE;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyLong(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyLong(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool bCommand = message == WM_COMMAND;
    const UINT nCode = bCommand ? HIWORD(wParam) : 0;
    const UINT nID = bCommand ? LOWORD(wParam) : 0;
    const AFX_MSGMAP_ENTRY* pEntry = AfxFindMessageEntry(GetMessageMap(), message, nCode, nID);
    if (pEntry) return pEntry->pfn(this, wParam, lParam);
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(t_msgCur.message, t_msgCur.wParam, t_msgCur.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CWnd::SubclassWindow(HWND hWnd)
{
    Attach(hWnd);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::OnNcDestroy()
{
    // The application ends with its main window.
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd == this) {
        pApp->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    Default();
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    PostNcDestroy();
}

LPCWSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    wchar_t szName[80];
    std::swprintf(szName, 80, L"Afx:%x:%p:%p:%p", nClassStyle, static_cast<void*>(hCursor),
                  static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    // Windows of these classes are made until the end: the names must live as long.
    static std::set<std::wstring> names;
    const auto [it, bNew] = names.insert(szName);
    if (bNew) {
        const WNDCLASSW wc = {nClassStyle, AfxWndProc, 0, 0, AfxGetInstanceHandle(), hIcon, hCursor,
                              hbrBackground, nullptr, it->c_str()};
        ::RegisterClassW(&wc);
    }
    return it->c_str();
}
