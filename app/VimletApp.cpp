#include "VimletApp.h"

#include "AppTitle.h"
#include "InvisibleWnd.h"
#include "MainFrame.h"
#include "Settings.h"
#include "resource.h"
#include "vimlet.h"

#include <commctrl.h>

#include <algorithm>
#include <new>

CVimletApp theApp;

namespace {

constexpr wchar_t kSessionName[] = L"Local\\Vimlet";
constexpr wchar_t kMachineWidePrefix[] = L"Global\\Vimlet:";
// How long a second copy waits for a copy that holds the session name but shows no parking
// window: one still starting, or one ending.
constexpr DWORD kHandOverBoundMs = 10000;
constexpr DWORD kHandOverPollMs = 50;

// True when this process holds the name from now until it ends (the system closes the handle
// with the process). A name we may not open (held by an elevated copy, or by another user) is
// taken too; a handle to a name taken is closed at once, or it would keep the name alive.
bool Claim(const std::wstring& name)
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!mutex) return error != ERROR_ACCESS_DENIED;
    if (error != ERROR_ALREADY_EXISTS) return true;
    CloseHandle(mutex);
    return false;
}

// The hook library's shared section is shared by every process that loads that one file, in
// every session: its path names it (an object's name holds no backslash).
std::wstring MachineWideName()
{
    HMODULE library = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&vimlet_enable), &library);
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(library, path, MAX_PATH);
    std::wstring name = kMachineWidePrefix + std::wstring(CharLowerW(path));
    std::replace(name.begin() + std::size(kMachineWidePrefix) - 1, name.end(), L'\\', L'/');
    return name;
}

} // namespace

BOOL CVimletApp::InitInstance()
{
    if (!BecomeTheRunningCopy()) return FALSE;

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

// Neither a second copy in the session nor a copy in another session touches the shared hook
// state; both end with exit code 0.
bool CVimletApp::BecomeTheRunningCopy()
{
    if (!ClaimSessionOrHandOver()) return false;
    if (Claim(MachineWideName())) return true;
    MessageBoxW(nullptr, AfxLoadString(IDS_RUNNING_IN_ANOTHER_SESSION).c_str(), kAppTitle,
                MB_OK | MB_ICONWARNING);
    return false;
}

// The name is let go between the looks, so that a holder that ends without ever showing its
// parking window leaves it to this copy, which then runs in its place.
bool CVimletApp::ClaimSessionOrHandOver()
{
    for (DWORD waited = 0;; waited += kHandOverPollMs) {
        if (Claim(kSessionName)) return true;
        if (const HWND running = FindRunning()) {
            RequestSettingsDialog(running);
            return false;
        }
        if (waited >= kHandOverBoundMs) return false;
        Sleep(kHandOverPollMs);
    }
}

HWND CVimletApp::FindRunning()
{
    const LPCWSTR windowClass = AfxRegisterWndClass(0);  // the main frame's class too
    for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, kAppTitle); window;
         window = FindWindowExW(nullptr, window, windowClass, kAppTitle)) {
        if (GetWindowLongW(window, GWL_STYLE) & WS_POPUP) return window;
    }
    return nullptr;
}

// The user's start of the second copy gave that process the right to the foreground: it passes
// the right on, so that the dialog comes up in front.
void CVimletApp::RequestSettingsDialog(HWND parkingWindow)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(parkingWindow, &processId);
    AllowSetForegroundWindow(processId);
    ::PostMessageW(parkingWindow, CInvisibleWnd::OpenSettingsMessage(), 0, 0);
}
