#pragma once
// The application's main window, never shown: it owns the parking window and arms the hook
// library with the stored suppressor keys when it is created.

#include "afxwin.h"

class CInvisibleWnd;

class CMainFrame : public CFrameWnd {
    DECLARE_DYNAMIC(CMainFrame)

public:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);

    DECLARE_MESSAGE_MAP()

private:
    // Not owned: the parking window deletes itself with its window, as every frame does.
    CInvisibleWnd* m_pInvisibleWnd = nullptr;
};
