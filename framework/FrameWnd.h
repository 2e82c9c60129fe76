#pragma once
// CFrameWnd: a top-level window that lives on the heap and deletes itself when its window is
// destroyed. Closing the application's main window ends the application.

#include "Wnd.h"

// A frame style: the title is the document's name added to the frame's. There are no
// documents here: the bit just rides in the window's style, where the system gives it no meaning.
constexpr DWORD FWS_ADDTOTITLE = 0x8000;

// Handed through to lpCreateParams; the framework makes no use of it.
struct CCreateContext;

class CFrameWnd : public CWnd {
    DECLARE_DYNAMIC(CFrameWnd)

public:
    // Position and size left to the system.
    static const RECT rectDefault;

    // String nIDResource (up to its first '\n') is the title, menu nIDResource the menu and
    // icon nIDResource, if there is one, the class icon. Fails without the menu.
    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    // A parent given to a top-level frame becomes its owner. Fails when lpszMenuName names no
    // menu. On failure the object has deleted itself.
    BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle = WS_OVERLAPPEDWINDOW,
                const RECT& rect = rectDefault, CWnd* pParentWnd = nullptr, LPCWSTR lpszMenuName = nullptr,
                DWORD dwExStyle = 0, CCreateContext* pContext = nullptr);

    // The default frame class when none is given; adds WS_EX_CLIENTEDGE.
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnClose();
    void PostNcDestroy() override;

    DECLARE_MESSAGE_MAP()
};
