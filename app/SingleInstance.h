#pragma once
// One copy of the program runs per session, and one session uses one copy of the hook library:
// the library's shared section is shared by every process that loads that one file, in every
// session. A second start in the session hands over to the running copy (it opens the settings
// dialog there); a start while another session uses the same library file is refused.
// The tests use the same names and the same test of a parking window.

#include <windows.h>

#include <string>

namespace single_instance {

constexpr wchar_t kSessionName[] = L"Local\\Vimlet";

// The name every start of one hook library file claims: its volume serial number and file
// index, so that every spelling of its path (a subst drive, a short name, a junction) and any
// depth of folder gives one short name. Empty when the file cannot be opened or asked.
std::wstring MachineWideName(const std::wstring& libraryPath);

enum class Claim {
    Taken,     // this process holds the name until it ends
    Held,      // another process holds it
    Unknown,   // neither could be made sure of
};
Claim ClaimName(const std::wstring& name);

enum class Start {
    Run,
    HandedOver,      // to the running copy of this session, or to nobody after a bound
    OtherSession,    // another session uses this library file
    CannotTell,      // a name could not be created or opened: treated as held
};
// Claims the session's name, or hands over to its holder, then the library's machine-wide name.
// openSettingsMessage is what the running copy's parking window opens its settings dialog on.
Start BecomeTheRunningCopy(HMODULE library, UINT openSettingsMessage);

// A top-level pop-up window titled "Vimlet" that is not a dialog or message box.
bool IsParkingWindow(HWND window);
// The parking window of a process (of any process when processId is 0), visible or not; null
// when there is none.
HWND FindParkingWindow(DWORD processId = 0);

} // namespace single_instance
