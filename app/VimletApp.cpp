#include "VimletApp.h"

#include "InvisibleWnd.h"
#include "MainFrame.h"
#include "Settings.h"
#include "resource.h"

#include <commctrl.h>

#include <new>

CVimletApp theApp;

namespace {

constexpr wchar_t kSessionMutexName[] = L"Local\\Vimlet";

// True for the session's first copy, which holds the name until it ends (the handle is never
// closed: the system closes it with the process). A name we may not open (a first copy running
// elevated) is taken too.
bool ClaimSession()
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, kSessionMutexName);
    const DWORD error = GetLastError();
    return mutex ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

} // namespace

// A second copy in the session hands the user's start over to the first, touches no shared hook
// state, and ends with exit code 0.
BOOL CVimletApp::InitInstance()
{
    if (!ClaimSession()) {
        if (const HWND running = CInvisibleWnd::FindRunning()) CInvisibleWnd::RequestSettingsDialog(running);
        return FALSE;
    }

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
