#pragma once
// The application's main window, never shown: it owns the parking window, arms the hook
// library with the stored suppressor keys when it is created, and runs the settings dialog.

#include "afxwin.h"

class CInvisibleWnd;
class CVimletDlg;

class CMainFrame : public CFrameWnd {
    DECLARE_DYNAMIC(CMainFrame)

public:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    // The dialog's modal loop runs inside this window's procedure: a close ends it first.
    afx_msg void OnClose();
    // Opens the settings dialog, or, while one is open, brings the window the user works in (it,
    // or one it opened) to the front.
    afx_msg LRESULT OnOpenSettings(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    // Not owned: the parking window deletes itself with its window, as every frame does.
    CInvisibleWnd* m_pInvisibleWnd = nullptr;
    CVimletDlg* m_pSettingsDialog = nullptr;  // while it is open
    bool m_bCloseAfterSettings = false;
};
