#pragma once
// Which messages the parking window takes from processes of a lower integrity level, written
// against a small system interface so that the decision can be driven where there are no such
// levels. Sys supplies:
//   static bool RunsElevated();                      // the token's elevation
//   static void LetInFromBelow(HWND, UINT message);  // ChangeWindowMessageFilterEx(MSGFLT_ALLOW)

#include <windows.h>

namespace vimlet {

// The hooks' WM_NULL comes from every level: an application at low integrity hides the cursor
// too. The shell's TaskbarCreated is let in when this process is elevated above the shell,
// which Windows otherwise keeps from it (above WM_USER, so blocked by default), so that the tray
// icon comes back after the shell restarts; all it does is add the icon again. The request to
// open the settings, which take the foreground and the user's typing, is never let in from
// below: a second start from a lower level is told that Vimlet runs as administrator.
template <class Sys>
void OpenMessageFilter(HWND window, UINT taskbarCreated)
{
    Sys::LetInFromBelow(window, WM_NULL);
    if (Sys::RunsElevated()) Sys::LetInFromBelow(window, taskbarCreated);
}

// The system calls behind it.
struct MessageFilterSystem {
    static bool RunsElevated();
    static void LetInFromBelow(HWND window, UINT message);
};

} // namespace vimlet
