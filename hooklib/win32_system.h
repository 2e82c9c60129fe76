#pragma once
// The real system calls behind HookLogic, over the library's shared and per-process state.

#include "exclusion.h"
#include "hook_logic.h"

namespace vimlet {

// SetThreadDpiAwarenessContext where the system has it; null otherwise.
DpiContext SetThreadDpi(DpiContext context);

// A hung parking window must not hold up every application's keys for longer than this.
constexpr UINT kParkingWindowPatienceMs = 200;

struct Win32System {
    // The library's shared section and this process's two exclusion caches, defined where the
    // library's data is.
    static SharedHookState& State();
    static ExclusionCache& HostExclusion();
    static ExclusionCache& ForegroundExclusion();

    static bool KeyIsDown(int virtualKey) { return GetAsyncKeyState(virtualKey) & 0x8000; }
    static bool ThreadHasCapture() { return GetCapture() != nullptr; }
    static bool ExclusionAllowsHiding()
    {
        return HostExclusion().AllowsHiding(State().excludeListPath);
    }
    static DpiContext UsePhysicalPixels()
    {
        return SetThreadDpi(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    }
    static void RestoreDpi(DpiContext previous)
    {
        if (previous) SetThreadDpi(previous);
    }
    static bool CursorPosition(POINT* point) { return GetCursorPos(point); }
    static void MoveCursor(POINT point) { SetCursorPos(point.x, point.y); }
    static bool CursorClip(RECT* clip) { return GetClipCursor(clip); }
    static bool WindowTopLeft(HWND window, POINT* point)
    {
        RECT rect;
        if (!window || !GetWindowRect(window, &rect)) return false;
        *point = {rect.left, rect.top};
        return true;
    }
    static void NotifyParkingWindow(HWND window)
    {
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kParkingWindowPatienceMs,
                            nullptr);
    }
    static LRESULT CallNextHook(HHOOK hook, int code, WPARAM wParam, LPARAM lParam)
    {
        return CallNextHookEx(hook, code, wParam, lParam);
    }

    static DWORD CurrentThreadId() { return GetCurrentThreadId(); }
    static ForegroundThread Foreground()
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(0, &info)) return {};
        const HWND window = info.hwndFocus ? info.hwndFocus : info.hwndActive;
        if (!window) return {};
        DWORD processId = 0;
        const DWORD threadId = GetWindowThreadProcessId(window, &processId);
        return {threadId, processId, info.hwndCapture != nullptr, window};
    }
    static bool ProcessExecutable(DWORD processId, char (&path)[kPathCapacity])
    {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (!process) return false;
        DWORD size = kPathCapacity;
        const bool named = QueryFullProcessImageNameA(process, 0, path, &size);
        CloseHandle(process);
        return named;
    }
    static DWORD HostedProcess(HWND frame) { return vimlet::HostedProcess(frame); }
    static bool ExecutableAllowsHiding(const char* path)
    {
        return ForegroundExclusion().AllowsHidingFor(path, State().excludeListPath);
    }

    // Passing the wheel on while the cursor is parked.
    static bool ThreadKeyIsDown(int virtualKey) { return GetKeyState(virtualKey) & 0x8000; }
    static HWND WindowAt(POINT point) { return WindowFromPoint(point); }
    // Unchanged when the window has moved off the point since.
    static POINT InWindowPixels(HWND window, POINT physical)
    {
        PhysicalToLogicalPointForPerMonitorDPI(window, &physical);
        return physical;
    }
    static void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        PostMessageW(window, message, wParam, lParam);
    }
};

using Hooks = HookLogic<Win32System>;

} // namespace vimlet
