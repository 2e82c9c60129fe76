#define VIMLET_BUILDING_DLL
#include "vimlet.h"

#include "join_path.h"
#include "win32_system.h"

#define VIMLET_SHARED __attribute__((section("_vimlet_"), shared))

namespace vimlet {

namespace {

SharedHookState g_shared VIMLET_SHARED = {};

// Per-process, zero at load.
HINSTANCE g_module;
ExclusionCache g_hostExclusion;
ExclusionCache g_foregroundExclusion;

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    return Hooks::OnKeyboard(code, wParam, lParam);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    return Hooks::OnMouse(code, wParam, lParam);
}

ULONGLONG CreationTime(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    return (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The shared section outlives the program that installed the hooks whenever another process
// still has the library loaded; a handle left by a thread that has ended is stale.
bool IsInstalled(const InstalledHook& hook)
{
    if (!hook.handle) return false;
    HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, hook.threadId);
    if (!thread) return false;
    const bool running = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT &&
                         CreationTime(thread) == hook.threadCreationTime;
    CloseHandle(thread);
    return running;
}

void Install(InstalledHook& hook, int type, HOOKPROC procedure)
{
    hook.threadId = GetCurrentThreadId();
    hook.threadCreationTime = CreationTime(GetCurrentThread());
    hook.handle = SetWindowsHookExA(type, procedure, g_module, 0);
}

void Uninstall(InstalledHook& hook)
{
    if (!hook.handle) return;
    UnhookWindowsHookEx(hook.handle);
    hook.handle = nullptr;
}

} // namespace

SharedHookState& Win32System::State() { return g_shared; }
ExclusionCache& Win32System::HostExclusion() { return g_hostExclusion; }
ExclusionCache& Win32System::ForegroundExclusion() { return g_foregroundExclusion; }

} // namespace vimlet

using namespace vimlet;

namespace {

SharedHookState& State() { return Win32System::State(); }

} // namespace

void vimlet_setup(HWND parkingWindow, const wchar_t* settingsDirectory)
{
    State().parkingWindow = parkingWindow;
    wchar_t path[kPathCapacity];
    // A path that does not fit is refused rather than cut into the name of some other file.
    // No directory is no list: joined, it would name the root of each process's current drive.
    if (!settingsDirectory || !*settingsDirectory ||
        JoinPath(settingsDirectory, kListFileName, path, kPathCapacity) >= kPathCapacity)
        path[0] = L'\0';
    CopyTerminated(path, State().excludeListPath);
}

void vimlet_enable()
{
    const bool installMouse = !IsInstalled(State().mouseHook);
    const bool installKeyboard = !IsInstalled(State().keyboardHook);
    // A hidden flag left by an earlier run would keep new hooks from ever hiding, and the first
    // mouse message would "restore" a point saved by that run: cleared before a hook can run.
    if (installMouse || installKeyboard) State().hidden = 0;
    if (installMouse) Install(State().mouseHook, WH_MOUSE, MouseProc);
    if (installKeyboard) Install(State().keyboardHook, WH_KEYBOARD, KeyboardProc);
}

void vimlet_disable()
{
    Uninstall(State().mouseHook);
    Uninstall(State().keyboardHook);
}

void vimlet_show() { Hooks::Show(); }

void vimlet_hide() { Hooks::Hide(); }

BYTE vimlet_is_suppressor(UINT virtualKey)
{
    const int index = SuppressorIndex(virtualKey);
    return index < 0 ? 0 : State().suppressor[index];
}

void vimlet_set_suppressor(UINT virtualKey, BYTE value)
{
    const int index = SuppressorIndex(virtualKey);
    if (index >= 0) State().suppressor[index] = value;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    g_module = instance;
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        GetModuleFileNameA(nullptr, Win32System::HostExclusion().hostPath, kPathCapacity);
    }
    return TRUE;
}
