#pragma once
// One copy of the program runs per session, and one session uses one copy of the hook library:
// the library's shared section is shared by every process that loads that one file, in every
// session. A second start in the session hands over to the running copy (it opens the settings
// dialog there) when that copy is this user's, at this start's level or above; a start while
// another session uses the same library file is refused. The tests use the same names and the
// same test of a parking window.
//
// What a start decides is written against a small system interface, so that users, integrity
// levels and file systems that the test bench lacks can be driven. Sys supplies:
//   static Claim ClaimName(const std::wstring&);      // CreateMutexW, closed again when held
//   static HWND NextParkingWindow(HWND after);         // from the first when after is null
//   static Token OwnToken();                           // this process's token
//   static Token OwnerOf(HWND);                        // the token of the window's process
//   static DWORD PostOpenSettings(HWND, UINT message); // lets its process take the foreground,
//                                                      // then PostMessageW; 0 or its error
//   static void Wait(DWORD ms);                        // Sleep
//   static FileIdentity IdentityOf(HMODULE);           // of the module's file

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace single_instance {

constexpr wchar_t kSessionName[] = L"Local\\Vimlet";
// How long a second copy waits for a copy that holds the session name but shows no parking
// window: one still starting, or one ending.
constexpr DWORD kHandOverBoundMs = 10000;
constexpr DWORD kHandOverPollMs = 50;

enum class Claim {
    Taken,     // this process holds the name until it ends
    Held,      // another process holds it
    Unknown,   // neither could be made sure of
};
Claim ClaimName(const std::wstring& name);

// Who a process runs as: its token's user SID and integrity level (the RID of its label). An
// empty user: the token could not be read.
struct Token {
    std::vector<BYTE> user;
    DWORD integrity;
};

// A file as its volume tells it apart: the 128-bit file ID where the file system gives one,
// else the volume serial number and the 64-bit file index in its low eight bytes. All zero: the
// file system does not tell.
struct FileIdentity {
    ULONGLONG volume;
    FILE_ID_128 file;
};
FileIdentity IdentityOfFile(const std::wstring& path);
// The name every start of one hook library file claims, short whatever the path's depth and the
// same for every spelling of it (a subst drive, a short name, a junction). Empty when the file
// cannot be opened or its file system does not tell it apart from others.
std::wstring MachineWideName(const FileIdentity& identity);
inline std::wstring MachineWideName(const std::wstring& libraryPath)
{
    return MachineWideName(IdentityOfFile(libraryPath));
}

enum class Start {
    Run,
    HandedOver,       // to the running copy of this session
    OtherSession,     // another session uses this library file
    OtherUser,        // the running copy is another user's, or its owner cannot be read
    RunningBelow,     // the running copy runs at a lower integrity level than this start
    RunningElevated,  // the running copy runs elevated and lets no request in from below
    NoAnswer,         // the session's name stayed held and no parking window came
    CannotTell,       // a name could not be made or opened, or the library file not told apart
};

// The first parking window of this user's copy at this start's level or above is asked for the
// settings dialog; no other process is posted to or let take the foreground. Nothing when
// there is no parking window yet.
template <class Sys>
std::optional<Start> HandOver(const Token& self, UINT openSettingsMessage)
{
    std::optional<Start> refusal;
    for (HWND window = Sys::NextParkingWindow(nullptr); window; window = Sys::NextParkingWindow(window)) {
        const Token owner = Sys::OwnerOf(window);
        if (owner.user.empty() || owner.user != self.user) {
            refusal = refusal.value_or(Start::OtherUser);
        } else if (owner.integrity < self.integrity) {
            refusal = refusal.value_or(Start::RunningBelow);
        } else {
            // An elevated window takes nothing from below that it does not let in: Windows
            // fails the post with ERROR_ACCESS_DENIED (PostMessage, User Interface Privilege
            // Isolation). Any other failure is a window that has gone.
            const DWORD error = Sys::PostOpenSettings(window, openSettingsMessage);
            if (error == ERROR_SUCCESS) return Start::HandedOver;
            if (error == ERROR_ACCESS_DENIED) return Start::RunningElevated;
        }
    }
    return refusal;
}

// Claims the session's name, or hands over to its holder, then the library's machine-wide name.
// The session's name is let go between the looks, so that a holder that ends without ever
// showing its parking window leaves it to this start, which then runs in its place. Neither a
// second copy in the session nor a copy in another session touches the shared hook state.
template <class Sys>
Start DecideStart(HMODULE library, UINT openSettingsMessage)
{
    const Token self = Sys::OwnToken();
    for (DWORD waited = 0;; waited += kHandOverPollMs) {
        const Claim session = Sys::ClaimName(kSessionName);
        if (session == Claim::Unknown) return Start::CannotTell;
        if (session == Claim::Taken) break;
        if (const std::optional<Start> handedOver = HandOver<Sys>(self, openSettingsMessage)) return *handedOver;
        if (waited >= kHandOverBoundMs) return Start::NoAnswer;
        Sys::Wait(kHandOverPollMs);
    }
    const std::wstring name = MachineWideName(Sys::IdentityOf(library));
    if (name.empty()) return Start::CannotTell;
    switch (Sys::ClaimName(name)) {
    case Claim::Taken: return Start::Run;
    case Claim::Held: return Start::OtherSession;
    case Claim::Unknown: break;
    }
    return Start::CannotTell;
}

// DecideStart on the real system.
Start BecomeTheRunningCopy(HMODULE library, UINT openSettingsMessage);

// A top-level pop-up window titled "Vimlet" that is not a dialog or message box.
bool IsParkingWindow(HWND window);
// The parking window of a process, visible or not; null when there is none.
HWND FindParkingWindow(DWORD processId);

} // namespace single_instance
