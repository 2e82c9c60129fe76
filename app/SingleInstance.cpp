#include "SingleInstance.h"

#include "AppTitle.h"

#include <cwchar>

namespace single_instance {
namespace {

// How long a second copy waits for a copy that holds the session name but shows no parking
// window: one still starting, or one ending.
constexpr DWORD kHandOverBoundMs = 10000;
constexpr DWORD kHandOverPollMs = 50;
constexpr DWORD kLongPathCapacity = 32768;
constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ModulePath(HMODULE module)
{
    std::wstring path(kLongPathCapacity, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), kLongPathCapacity));
    return path;
}

// The user's start of the second copy gave that process the right to the foreground: it passes
// the right on, so that the dialog comes up in front.
void RequestSettingsDialog(HWND parkingWindow, UINT openSettingsMessage)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(parkingWindow, &processId);
    AllowSetForegroundWindow(processId);
    PostMessageW(parkingWindow, openSettingsMessage, 0, 0);
}

// The name is let go between the looks, so that a holder that ends without ever showing its
// parking window leaves it to this copy, which then runs in its place.
Start ClaimSessionOrHandOver(UINT openSettingsMessage)
{
    for (DWORD waited = 0;; waited += kHandOverPollMs) {
        switch (ClaimName(kSessionName)) {
        case Claim::Taken: return Start::Run;
        case Claim::Unknown: return Start::CannotTell;
        case Claim::Held: break;
        }
        if (const HWND running = FindParkingWindow()) {
            RequestSettingsDialog(running, openSettingsMessage);
            return Start::HandedOver;
        }
        if (waited >= kHandOverBoundMs) return Start::HandedOver;
        Sleep(kHandOverPollMs);
    }
}

} // namespace

std::wstring MachineWideName(const std::wstring& libraryPath)
{
    const HANDLE file = CreateFileW(libraryPath.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known) return {};
    wchar_t name[64];
    std::swprintf(name, std::size(name), L"Global\\Vimlet:%08lx:%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    return name;
}

// A handle to a name taken is closed at once, or it would keep the name alive. A name we may
// not open is held by an elevated copy or by another user; any other failure (a name too long,
// an object of another kind squatting on it) tells nothing, and nothing is run on nothing.
Claim ClaimName(const std::wstring& name)
{
    if (name.empty()) return Claim::Unknown;
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!mutex) return error == ERROR_ACCESS_DENIED ? Claim::Held : Claim::Unknown;
    if (error != ERROR_ALREADY_EXISTS) return Claim::Taken;
    CloseHandle(mutex);
    return Claim::Held;
}

// Neither a second copy in the session nor a copy in another session touches the shared hook
// state.
Start BecomeTheRunningCopy(HMODULE library, UINT openSettingsMessage)
{
    const Start session = ClaimSessionOrHandOver(openSettingsMessage);
    if (session != Start::Run) return session;
    switch (ClaimName(MachineWideName(ModulePath(library)))) {
    case Claim::Taken: return Start::Run;
    case Claim::Held: return Start::OtherSession;
    case Claim::Unknown: break;
    }
    return Start::CannotTell;
}

bool IsParkingWindow(HWND window)
{
    wchar_t text[std::size(kAppTitle) + 1] = L"";
    wchar_t windowClass[std::size(kDialogClass) + 1] = L"";
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    GetClassNameW(window, windowClass, static_cast<int>(std::size(windowClass)));
    return std::wcscmp(text, kAppTitle) == 0 && std::wcscmp(windowClass, kDialogClass) != 0 &&
           (GetWindowLongW(window, GWL_STYLE) & WS_POPUP);
}

HWND FindParkingWindow(DWORD processId)
{
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, kAppTitle); window;
         window = FindWindowExW(nullptr, window, nullptr, kAppTitle)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((!processId || owner == processId) && IsParkingWindow(window)) return window;
    }
    return nullptr;
}

} // namespace single_instance
