#pragma once
// The application object: builds the hidden main frame, which arms the hooks, and then runs
// the framework's message loop until the frame is closed.

#include "afxwin.h"

class CVimletApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
