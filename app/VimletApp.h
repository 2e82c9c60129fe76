#pragma once
// The application object: builds the hidden main frame, which arms the hooks, and then runs
// the framework's message loop until the frame is closed. One copy runs per session, one
// session per copy of the hook library (SingleInstance.h).

#include "afxwin.h"

class CVimletApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
