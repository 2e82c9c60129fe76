#pragma once
// What the input tests' application reports to the test for each input message it receives,
// sent with WM_COPYDATA so that it lands in the test's own sequence of events, and in order.

#include <windows.h>

struct InputReport {
    DWORD processId;
    UINT message;      // WM_KEYDOWN, WM_SYSKEYUP, WM_MOUSEMOVE, ...
    WPARAM wParam;     // the virtual-key code for key messages
    POINT mouse;       // for mouse messages: the message's point, in screen pixels
    POINT cursor;      // GetCursorPos when the message arrived, after the hooks ran
    bool ctrlAltDown;  // GetAsyncKeyState then: Ctrl and Alt both down, as the hooks saw them
};

constexpr ULONG_PTR kInputReportTag = 0x564D4C54;

constexpr bool IsKeyMessage(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}
