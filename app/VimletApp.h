#pragma once
// The application object: builds the hidden main frame, which arms the hooks, and then runs
// the framework's message loop until the frame is closed. One copy runs per session: a second
// one opens the first one's settings dialog and ends.

#include "afxwin.h"

class CVimletApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
