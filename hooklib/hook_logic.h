#pragma once
// What the hooks decide, written against a small system interface so that the decisions can be
// driven without real input. Sys supplies the shared state and the few system calls:
//   static SharedHookState& State();
//   static bool KeyIsDown(int virtualKey);          // GetAsyncKeyState & 0x8000
//   static bool ThreadHasCapture();                  // GetCapture
//   static bool ExclusionAllowsHiding();             // the host executable is not excluded
//   static DpiContext UsePhysicalPixels();           // SetThreadDpiAwarenessContext(per monitor)
//   static void RestoreDpi(DpiContext previous);     // SetThreadDpiAwarenessContext(previous)
//   static bool CursorPosition(POINT*);              // GetCursorPos; false on another desktop
//   static void MoveCursor(POINT);                   // SetCursorPos
//   static bool WindowTopLeft(HWND, POINT*);         // GetWindowRect
//   static bool CursorClip(RECT*);                   // GetClipCursor
//   static void NotifyParkingWindow(HWND);           // SendMessageTimeoutA(WM_NULL), bounded
//   static LRESULT CallNextHook(HHOOK, int, WPARAM, LPARAM);
// and, for keys that reach the installing thread on behalf of another process:
//   static DWORD CurrentThreadId();                  // GetCurrentThreadId
//   static ForegroundThread Foreground();      // GetGUIThreadInfo(0), GetWindowThreadProcessId
//   static bool ProcessExecutable(DWORD processId, char (&path)[kPathCapacity]);
//                                     // QueryFullProcessImageNameA; false when it cannot be opened
//   static DWORD HostedProcess(HWND frame);          // app_frame.h
//   static bool ExecutableAllowsHiding(const char* path);  // that executable is not excluded
// and, to pass the wheel on while the cursor is parked:
//   static bool ThreadKeyIsDown(int virtualKey);     // GetKeyState & 0x8000
//   static HWND WindowAt(POINT);                     // WindowFromPoint
//   static POINT InWindowPixels(HWND, POINT);        // PhysicalToLogicalPointForPerMonitorDPI
//   static void Post(HWND, UINT, WPARAM, LPARAM);    // PostMessageW

#include "app_frame.h"
#include "shared_state.h"

namespace vimlet {

constexpr LPARAM kKeyReleasedBit = LPARAM(1) << 31;

constexpr bool IsJumpKey(WPARAM virtualKey)
{
    return virtualKey >= VK_NUMPAD1 && virtualKey <= VK_NUMPAD9;
}

// A thread's DPI awareness context as the system hands it out; null where threads cannot switch.
using DpiContext = DPI_AWARENESS_CONTEXT;

// The window that has the keyboard focus (else the active one) and its thread; threadId 0 when
// there is none.
struct ForegroundThread {
    DWORD threadId;
    DWORD processId;
    bool hasCapture;
    HWND window;
};

// The keys and buttons that a mouse message's wParam reports as held.
struct MouseKeyFlag {
    int virtualKey;
    WORD flag;
};
constexpr MouseKeyFlag kMouseKeyFlags[] = {{VK_LBUTTON, MK_LBUTTON}, {VK_RBUTTON, MK_RBUTTON},
                                           {VK_SHIFT, MK_SHIFT},     {VK_CONTROL, MK_CONTROL},
                                           {VK_MBUTTON, MK_MBUTTON}, {VK_XBUTTON1, MK_XBUTTON1},
                                           {VK_XBUTTON2, MK_XBUTTON2}};

constexpr bool IsWheel(WPARAM message) { return message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL; }

constexpr bool Contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

template <class Sys>
struct HookLogic {
    // Cursor and window coordinates in physical pixels, whatever the DPI awareness of the
    // application whose thread runs the hook: the saved point and the hide position are written
    // in one application and used in another. The thread gets its own context back before
    // anything of the application, the parking window or another hook runs.
    struct PhysicalPixels {
        PhysicalPixels() : previous(Sys::UsePhysicalPixels()) {}
        ~PhysicalPixels() { Sys::RestoreDpi(previous); }
        PhysicalPixels(const PhysicalPixels&) = delete;
        PhysicalPixels& operator=(const PhysicalPixels&) = delete;
        const DpiContext previous;
    };

    // The top-left pixel of the parking window; false when its rectangle cannot be read.
    static bool ParkingPoint(POINT* point)
    {
        return Sys::WindowTopLeft(Sys::State().parkingWindow, point);
    }

    // A 64-bit process's global hooks reach 32-bit processes and Store apps only as calls back
    // into the thread that installed them: there the focus window is the one the key is meant
    // for.
    static bool ForegroundAllowsHiding(const ForegroundThread& foreground)
    {
        if (foreground.hasCapture) return false;
        char executable[kPathCapacity];
        // A process we may not look into is treated as not excluded, like an unreadable list.
        if (!Sys::ProcessExecutable(foreground.processId, executable)) return true;
        if (IsAppFrameHost(executable)) {
            const DWORD app = Sys::HostedProcess(foreground.window);
            if (app && !Sys::ProcessExecutable(app, executable)) return true;
        }
        return Sys::ExecutableAllowsHiding(executable);
    }

    // No drag in progress and the application not excluded.
    static bool InputAllowsHiding()
    {
        if (Sys::CurrentThreadId() == Sys::State().keyboardHook.threadId) {
            const ForegroundThread foreground = Sys::Foreground();
            if (foreground.threadId && foreground.threadId != Sys::CurrentThreadId())
                return ForegroundAllowsHiding(foreground);
        }
        return !Sys::ThreadHasCapture() && Sys::ExclusionAllowsHiding();
    }

    // A cursor confined by ClipCursor (as games do) away from the point cannot get there.
    static bool CursorCanReach(POINT point)
    {
        RECT clip;
        return !Sys::CursorClip(&clip) || Contains(clip, point);
    }

    // Saves the cursor, moves it onto the parking point and marks it hidden; false when the
    // position cannot be read (another desktop has the input), there is no parking point or the
    // cursor cannot reach it.
    static bool Park()
    {
        SharedHookState& s = Sys::State();
        const PhysicalPixels physical;
        POINT cursor, park;
        if (!Sys::CursorPosition(&cursor) || !ParkingPoint(&park) || !CursorCanReach(park)) return false;
        s.savedCursor = cursor;
        s.hidePosition = park;
        Sys::MoveCursor(park);
        // Before the message: an application ended inside that wait must not leave a parked
        // cursor marked visible, or the next hide would save the parking point.
        s.hidden = 1;
        return true;
    }

    static void Hide()
    {
        SharedHookState& s = Sys::State();
        if (s.hidden || !InputAllowsHiding() || !Park()) return;
        Sys::NotifyParkingWindow(s.parkingWindow);
    }

    static void Show()
    {
        SharedHookState& s = Sys::State();
        if (!s.hidden) return;
        {
            const PhysicalPixels physical;
            Sys::MoveCursor(s.savedCursor);
            // A move across the dead space between monitors of different sizes can stop short.
            POINT landed;
            if (Sys::CursorPosition(&landed) &&
                (landed.x != s.savedCursor.x || landed.y != s.savedCursor.y))
                Sys::MoveCursor(s.savedCursor);
        }
        s.hidden = 0;
    }

    static bool SuppressorIsHeld()
    {
        const SharedHookState& s = Sys::State();
        for (int i = 0; i < kSuppressorCount; ++i)
            if (s.suppressor[i] && Sys::KeyIsDown(kSuppressorKeys[i].virtualKey)) return true;
        return false;
    }

    // Ctrl+Alt+keypad 1..9 sends the cursor to the parking point and never reaches the
    // application, down or up.
    static bool IsJump(WPARAM virtualKey)
    {
        return IsJumpKey(virtualKey) && Sys::KeyIsDown(VK_CONTROL) && Sys::KeyIsDown(VK_MENU);
    }

    static void Jump()
    {
        const PhysicalPixels physical;
        POINT park;
        if (ParkingPoint(&park)) Sys::MoveCursor(park);
    }

    static LRESULT OnKeyboard(int code, WPARAM virtualKey, LPARAM flags)
    {
        SharedHookState& s = Sys::State();
        if (code >= 0) {
            if (IsJump(virtualKey)) {
                Jump();
                return 1;
            }
            if (!(flags & kKeyReleasedBit) && !s.hidden && !SuppressorIsHeld()) Hide();
        }
        return Sys::CallNextHook(s.keyboardHook.handle, code, virtualKey, flags);
    }

    static WORD HeldMouseKeys()
    {
        WORD held = 0;
        for (const MouseKeyFlag& key : kMouseKeyFlags)
            if (Sys::ThreadKeyIsDown(key.virtualKey)) held |= key.flag;
        return held;
    }

    // The system sends the wheel to the window under the cursor, here the parking window, which
    // has nothing to scroll: the wheel goes on to the window under the saved point, in that
    // window's pixels, posted so that nothing runs inside the hook. One that capture or focus
    // sent elsewhere would have gone there with the cursor at the saved point too. True when the
    // wheel went on.
    static bool PassWheelOn(WPARAM message, LPARAM info)
    {
        const SharedHookState& s = Sys::State();
        if (!IsWheel(message)) return false;
        const auto& wheel = *reinterpret_cast<const MOUSEHOOKSTRUCTEX*>(info);
        if (wheel.hwnd != s.parkingWindow) return false;
        const PhysicalPixels physical;
        const HWND target = Sys::WindowAt(s.savedCursor);
        if (!target || target == s.parkingWindow) return false;
        const POINT point = Sys::InWindowPixels(target, s.savedCursor);
        Sys::Post(target, static_cast<UINT>(message), MAKEWPARAM(HeldMouseKeys(), HIWORD(wheel.mouseData)),
                  MAKELPARAM(point.x, point.y));
        return true;
    }

    static LRESULT OnMouse(int code, WPARAM message, LPARAM info)
    {
        SharedHookState& s = Sys::State();
        if (code >= 0) {
            const POINT pt = reinterpret_cast<const MOUSEHOOKSTRUCT*>(info)->pt;
            if (pt.x != s.hidePosition.x || pt.y != s.hidePosition.y) Show();
            // Once, as the parking window's thread takes it rather than peeks at it.
            else if (s.hidden && code == HC_ACTION && PassWheelOn(message, info)) return 1;
        }
        return Sys::CallNextHook(s.mouseHook.handle, code, message, info);
    }
};

} // namespace vimlet
