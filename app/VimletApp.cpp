#include "VimletApp.h"

#include "AppMessages.h"
#include "AppTitle.h"
#include "MainFrame.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "resource.h"
#include "vimlet.h"

#include <commctrl.h>

#include <new>

CVimletApp theApp;

// The linker's entry point, ahead of the C runtime's start-up and every static constructor:
// from here on a DLL loaded by bare name (the shell, the common controls and the file dialog
// load more at run time) comes from the system folder only, never from the folder Vimlet.exe
// was unpacked into. What the executable imports is loaded before this runs: the system's
// DLLs from the system folder, vimlet.dll from beside Vimlet.exe, as meant.
extern "C" int WinMainCRTStartup();
extern "C" int VimletStartup()
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return WinMainCRTStartup();
}

namespace {

// What the user is told when this start does not run; 0 when the running copy has taken over.
UINT RefusalOf(single_instance::Start start)
{
    using single_instance::Start;
    switch (start) {
    case Start::Run:
    case Start::HandedOver: return 0;
    case Start::OtherSession: return IDS_RUNNING_IN_ANOTHER_SESSION;
    case Start::OtherUser: return IDS_RUNNING_FOR_ANOTHER_USER;
    case Start::RunningBelow: return IDS_RUNNING_BELOW;
    case Start::RunningElevated: return IDS_RUNNING_AS_ADMINISTRATOR;
    case Start::NoAnswer: return IDS_RUNNING_COPY_NO_ANSWER;
    case Start::CannotTell: break;
    }
    return IDS_CANNOT_TELL_OTHER_COPIES;
}

// A start that does not run ends with exit code 0, having touched nothing of the shared hook
// state, and says why unless the running copy took over.
bool RunsAsTheOnlyCopy()
{
    HMODULE library = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&vimlet_enable), &library);
    const single_instance::Start start =
        single_instance::BecomeTheRunningCopy(library, OpenSettingsMessage());
    if (start == single_instance::Start::Run) return true;
    if (const UINT refusal = RefusalOf(start))
        MessageBoxW(nullptr, AfxLoadString(refusal).c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
    return false;
}

} // namespace

BOOL CVimletApp::InitInstance()
{
    if (!RunsAsTheOnlyCopy()) return FALSE;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    // An existing directory is the normal case; without one nothing is written anywhere.
    const SettingsStore settings = SettingsStore::OfUser();
    if (settings.Keeps()) CreateDirectoryW(settings.Directory().c_str(), nullptr);

    CMainFrame* frame = new (std::nothrow) CMainFrame;
    if (!frame) return FALSE;
    m_pMainWnd = frame;
    // A frame whose creation failed has deleted itself: end quietly.
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr))
        return FALSE;
    frame->ShowWindow(SW_HIDE);
    frame->UpdateWindow();
    if (!settings.Keeps())
        MessageBoxW(nullptr, AfxLoadString(IDS_SETTINGS_NOT_KEPT).c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
    return TRUE;
}
