#pragma once
// The parking window: one nearly transparent pixel near the bottom-right corner of the primary
// screen, always on top, that shows no cursor. The hook library parks the cursor on it and
// sends it WM_NULL; it also carries the tray icon that opens the settings dialog. The icon is
// added again whenever the shell restarts, and retried every second until an add succeeds.
// Running elevated, it still takes those messages from unelevated processes.

#include "afxwin.h"

#include <shellapi.h>

class CInvisibleWnd : public CFrameWnd {
    DECLARE_DYNAMIC(CInvisibleWnd)

public:
    BOOL Create(CWnd* pParentWnd);
    // Top of the z-order, in the corner, 1x1, without activating it.
    void MoveToCorner();
    // Opens the settings dialog; while one is open, brings the dialog the user works in (it, or
    // one it opened) to the front instead.
    void ShowSettingsDialog();

    // Registered by name: a second start of the program asks for the settings dialog with it.
    static UINT OpenSettingsMessage();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    void AddTrayIcon();
    void PlaceInCorner(HWND insertAfter, UINT flags);
    // The placement of the tick, of WM_NULL and of a change of display mode.
    void StayOnTop();
    bool IsCovered() const;
    static bool FullScreenAppInFront();

    NOTIFYICONDATAW m_notifyIcon = {};
    bool m_bTrayIconShown = false;
    UINT m_taskbarCreatedMessage = 0;  // registered by the shell's name
    UINT m_openSettingsMessage = 0;
};
