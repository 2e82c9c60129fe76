#pragma once
// The application object: builds the hidden main frame, which arms the hooks, and then runs
// the framework's message loop until the frame is closed. One copy runs per session: a second
// one opens the first one's settings dialog and ends. One copy of the hook library serves one
// session: a start of it from another session is refused.

#include "afxwin.h"

class CVimletApp : public CWinApp {
public:
    BOOL InitInstance() override;

private:
    // True when this process is to run; false once it has handed the start over or refused it.
    static bool BecomeTheRunningCopy();
    static bool ClaimSessionOrHandOver();
    // The parking window of the copy that runs in this session; null when there is none.
    static HWND FindRunning();
    // Has the parking window, of any process, open its settings dialog.
    static void RequestSettingsDialog(HWND parkingWindow);
};
