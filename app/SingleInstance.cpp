#include "SingleInstance.h"

#include "AppTitle.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace single_instance {
namespace {

constexpr DWORD kLongPathCapacity = 32768;
constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ModulePath(HMODULE module)
{
    std::wstring path(kLongPathCapacity, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), kLongPathCapacity));
    return path;
}

template <class Info> bool ReadToken(HANDLE token, TOKEN_INFORMATION_CLASS kind, std::vector<BYTE>& buffer)
{
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size < sizeof(Info)) return false;
    buffer.resize(size);
    return GetTokenInformation(token, kind, buffer.data(), size, &size);
}

std::vector<BYTE> SidBytes(PSID sid)
{
    const auto* bytes = static_cast<const BYTE*>(sid);
    return {bytes, bytes + GetLengthSid(sid)};
}

// Its user and the last sub-authority of its label, which is the level.
Token TokenOf(HANDLE process)
{
    Token result{};
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return result;
    std::vector<BYTE> user, label;
    if (ReadToken<TOKEN_USER>(token, TokenUser, user) &&
        ReadToken<TOKEN_MANDATORY_LABEL>(token, TokenIntegrityLevel, label)) {
        const PSID level = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
        result = {SidBytes(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid),
                  *GetSidSubAuthority(level, *GetSidSubAuthorityCount(level) - 1)};
    }
    CloseHandle(token);
    return result;
}

struct StartSystem {
    static Claim ClaimName(const std::wstring& name) { return single_instance::ClaimName(name); }

    static HWND NextParkingWindow(HWND after)
    {
        HWND window = after;
        do window = FindWindowExW(nullptr, window, nullptr, kAppTitle);
        while (window && !IsParkingWindow(window));
        return window;
    }

    static Token OwnToken() { return TokenOf(GetCurrentProcess()); }

    static Token OwnerOf(HWND window)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (!process) return {};
        const Token token = TokenOf(process);
        CloseHandle(process);
        return token;
    }

    // The user's start of this copy gave this process the right to the foreground: it passes
    // the right on, so that the dialog comes up in front.
    static DWORD PostOpenSettings(HWND window, UINT message)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        AllowSetForegroundWindow(processId);
        return PostMessageW(window, message, 0, 0) ? ERROR_SUCCESS : GetLastError();
    }

    static void Wait(DWORD ms) { Sleep(ms); }

    static FileIdentity IdentityOf(HMODULE library) { return IdentityOfFile(ModulePath(library)); }
};

bool IsZero(const FILE_ID_128& id)
{
    return std::all_of(std::begin(id.Identifier), std::end(id.Identifier), [](BYTE b) { return b == 0; });
}

} // namespace

FileIdentity IdentityOfFile(const std::wstring& path)
{
    FileIdentity identity{};
    const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return identity;
    FILE_ID_INFO id{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id) && !IsZero(id.FileId)) {
        identity = {id.VolumeSerialNumber, id.FileId};
    } else if (GetFileInformationByHandle(file, &info)) {
        const ULONGLONG index = ULONGLONG(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
        identity.volume = info.dwVolumeSerialNumber;
        std::memcpy(identity.file.Identifier, &index, sizeof index);  // as NTFS's 128-bit IDs hold it
    }
    CloseHandle(file);
    return identity;
}

std::wstring MachineWideName(const FileIdentity& identity)
{
    if (identity.volume == 0 && IsZero(identity.file)) return {};
    wchar_t name[80];
    int length = std::swprintf(name, std::size(name), L"Global\\Vimlet:%016llx:", identity.volume);
    for (BYTE b : identity.file.Identifier) length += std::swprintf(name + length, std::size(name) - length, L"%02x", b);
    return name;
}

// A handle to a name taken is closed at once, or it would keep the name alive. A name we may
// not open is held by an elevated copy or by another user; any other failure (a name too long,
// an object of another kind squatting on it) tells nothing, and nothing is run on nothing.
Claim ClaimName(const std::wstring& name)
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!mutex) return error == ERROR_ACCESS_DENIED ? Claim::Held : Claim::Unknown;
    if (error != ERROR_ALREADY_EXISTS) return Claim::Taken;
    CloseHandle(mutex);
    return Claim::Held;
}

Start BecomeTheRunningCopy(HMODULE library, UINT openSettingsMessage)
{
    return DecideStart<StartSystem>(library, openSettingsMessage);
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
    for (HWND window = StartSystem::NextParkingWindow(nullptr); window;
         window = StartSystem::NextParkingWindow(window)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

} // namespace single_instance
