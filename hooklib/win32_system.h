#pragma once
// The real system calls behind HookLogic, over the library's shared and per-process state.

#include "exclusion.h"
#include "hook_logic.h"

namespace vimlet {

SharedHookState& Shared();
ExclusionCache& ProcessExclusion();

struct Win32System {
    static SharedHookState& State() { return Shared(); }
    static bool KeyIsDown(int virtualKey) { return GetAsyncKeyState(virtualKey) & 0x8000; }
    static bool ThreadHasCapture() { return GetCapture() != nullptr; }
    static bool ExclusionAllowsHiding()
    {
        return ProcessExclusion().AllowsHiding(Shared().excludeListPath);
    }
    static POINT CursorPosition()
    {
        POINT point{};
        GetCursorPos(&point);
        return point;
    }
    static void MoveCursor(POINT point) { SetCursorPos(point.x, point.y); }
    static bool WindowTopLeft(HWND window, POINT* point)
    {
        RECT rect;
        if (!window || !GetWindowRect(window, &rect)) return false;
        *point = {rect.left, rect.top};
        return true;
    }
    static void NotifyParkingWindow(HWND window) { SendMessageA(window, WM_NULL, 0, 0); }
    static LRESULT CallNextHook(HHOOK hook, int code, WPARAM wParam, LPARAM lParam)
    {
        return CallNextHookEx(hook, code, wParam, lParam);
    }
};

using Hooks = HookLogic<Win32System>;

} // namespace vimlet
