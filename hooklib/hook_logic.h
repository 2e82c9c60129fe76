#pragma once
// What the hooks decide, written against a small system interface so that the decisions can be
// driven without real input. Sys supplies the shared state and the few system calls:
//   static SharedHookState& State();
//   static bool KeyIsDown(int virtualKey);          // GetAsyncKeyState & 0x8000
//   static bool ThreadHasCapture();                  // GetCapture
//   static bool ExclusionAllowsHiding();             // the host executable is not excluded
//   static POINT CursorPosition();                   // GetCursorPos
//   static void MoveCursor(POINT);                   // SetCursorPos
//   static bool WindowTopLeft(HWND, POINT*);         // GetWindowRect
//   static void NotifyParkingWindow(HWND);           // SendMessageA(WM_NULL), waits
//   static LRESULT CallNextHook(HHOOK, int, WPARAM, LPARAM);

#include "shared_state.h"

namespace vimlet {

constexpr LPARAM kKeyReleasedBit = LPARAM(1) << 31;

constexpr bool IsJumpKey(WPARAM virtualKey)
{
    return virtualKey >= VK_NUMPAD1 && virtualKey <= VK_NUMPAD9;
}

template <class Sys>
struct HookLogic {
    // The top-left pixel of the parking window; false when its rectangle cannot be read.
    static bool ParkingPoint(POINT* point)
    {
        return Sys::WindowTopLeft(Sys::State().parkingWindow, point);
    }

    static void Hide()
    {
        SharedHookState& s = Sys::State();
        if (s.hidden || Sys::ThreadHasCapture() || !Sys::ExclusionAllowsHiding()) return;
        const POINT cursor = Sys::CursorPosition();
        POINT park;
        if (!ParkingPoint(&park)) return;
        s.savedCursor = cursor;
        s.hidePosition = park;
        Sys::MoveCursor(park);
        Sys::NotifyParkingWindow(s.parkingWindow);
        s.hidden = 1;
    }

    static void Show()
    {
        SharedHookState& s = Sys::State();
        if (!s.hidden) return;
        Sys::MoveCursor(s.savedCursor);
        s.hidden = 0;
    }

    static bool SuppressorIsHeld()
    {
        const SharedHookState& s = Sys::State();
        for (int i = 0; i < kSuppressorCount; ++i)
            if (s.suppressor[i] && Sys::KeyIsDown(kSuppressorKeys[i])) return true;
        return false;
    }

    // Ctrl+Alt+keypad 1..9 sends the cursor to the parking point and never reaches the
    // application, down or up.
    static bool IsJump(WPARAM virtualKey)
    {
        return IsJumpKey(virtualKey) && Sys::KeyIsDown(VK_CONTROL) && Sys::KeyIsDown(VK_MENU);
    }

    static LRESULT OnKeyboard(int code, WPARAM virtualKey, LPARAM flags)
    {
        SharedHookState& s = Sys::State();
        if (code >= 0) {
            if (IsJump(virtualKey)) {
                POINT park;
                if (ParkingPoint(&park)) Sys::MoveCursor(park);
                return 1;
            }
            if (!(flags & kKeyReleasedBit) && !s.hidden && !SuppressorIsHeld()) Hide();
        }
        return Sys::CallNextHook(s.keyboardHook.handle, code, virtualKey, flags);
    }

    static LRESULT OnMouse(int code, WPARAM message, LPARAM info)
    {
        SharedHookState& s = Sys::State();
        if (code >= 0) {
            const POINT pt = reinterpret_cast<const MOUSEHOOKSTRUCT*>(info)->pt;
            if (pt.x != s.hidePosition.x || pt.y != s.hidePosition.y) Show();
        }
        return Sys::CallNextHook(s.mouseHook.handle, code, message, info);
    }
};

} // namespace vimlet
