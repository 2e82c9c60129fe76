#include "VimletApp.h"

#include "MainFrame.h"
#include "Settings.h"
#include "resource.h"

#include <commctrl.h>

#include <new>

CVimletApp theApp;

BOOL CVimletApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    // An existing directory is the normal case.
    CreateDirectoryW(GetSettingsDirectory().c_str(), nullptr);

    CMainFrame* frame = new (std::nothrow) CMainFrame;
    if (!frame) return FALSE;
    m_pMainWnd = frame;
    // A frame whose creation failed has deleted itself: end quietly.
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr))
        return FALSE;
    frame->ShowWindow(SW_HIDE);
    frame->UpdateWindow();
    return TRUE;
}
