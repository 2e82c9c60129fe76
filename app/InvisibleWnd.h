#pragma once
// The parking window: one nearly transparent pixel near the bottom-right corner of the primary
// screen, always on top, that shows no cursor. The hook library parks the cursor on it and
// sends it WM_NULL; it also carries the tray icon, whose double-click, like a second start of
// the program, asks its owner, the main window, for the settings dialog.

#include "ParkingSystem.h"
#include "TrayIcon.h"
#include "afxwin.h"

class CInvisibleWnd : public CFrameWnd {
    DECLARE_DYNAMIC(CInvisibleWnd)

public:
    BOOL Create(CWnd* pParentWnd);
    // Top of the z-order, in the corner, 1x1, without activating it.
    void MoveToCorner();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    void AskOwnerForSettingsDialog();

    vimlet::ParkingPlacement<ParkingSystem> m_placement;
    CTrayIcon m_trayIcon;
    UINT m_openSettingsMessage = 0;
};
