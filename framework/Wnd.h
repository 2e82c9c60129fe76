#pragma once
// CWnd: one object per window. The object is attached when its window receives its first
// message (a dialog: WM_INITDIALOG) and detached at WM_NCDESTROY; in between the window's user
// data points at it and the shared window procedure hands every message to its WindowProc.

#include "MessageMap.h"
#include "Object.h"

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)

public:
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object attached to a window that runs the framework's procedure, else null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // lpParam reaches WM_CREATE as lpCreateParams. On failure the object has been through
    // PostNcDestroy, which deletes a frame: do not touch it afterwards.
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                  LPVOID lpParam = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);

    // nFlags non-zero: also SetWindowPos with these flags, e.g. SWP_FRAMECHANGED.
    // FALSE when the style was already so.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    // WM_SETREDRAW
    void SetRedraw(BOOL bRedraw = TRUE) { ::SendMessageW(m_hWnd, WM_SETREDRAW, bRedraw, 0); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    // A frame deletes itself on the way: do not touch it afterwards.
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    // WM_SETICON; returns the icon it replaces
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        const WPARAM nType = bBigIcon ? ICON_BIG : ICON_SMALL;
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, nType, reinterpret_cast<LPARAM>(hIcon)));
    }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }

protected:
    // The message map, then default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs after the window is gone and the object detached.
    virtual void PostNcDestroy() {}
    // Takes over a window made elsewhere (a dialog): its own procedure becomes the default
    // processing.
    void SubclassWindow(HWND hWnd);

    afx_msg void OnNcDestroy();

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

private:
    void Attach(HWND hWnd);

    WNDPROC m_pfnSuper = nullptr;  // the subclassed window's own procedure

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
};

// The procedure of every window class the framework registers.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// A class with this procedure; one registration per distinct combination. The name stays valid.
LPCWSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                            HICON hIcon = nullptr);
