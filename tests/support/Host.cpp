#include "Host.h"

#include <shellapi.h>

std::wstring BesideThisProgram(const std::wstring& fileName)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + fileName;
}

const char* WineVersion()
{
    using Version = const char*(__cdecl*)();
    const auto version = reinterpret_cast<Version>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version ? version() : nullptr;
}

bool TrayIconPlace(HWND owner, RECT& place)
{
    if (!WineVersion()) {
        NOTIFYICONIDENTIFIER icon = {sizeof icon, owner, 1, {}};
        return Shell_NotifyIconGetRect(&icon, &place) == S_OK;
    }
    const HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    const HWND icon = tray ? GetWindow(tray, GW_CHILD) : nullptr;
    return icon && IsWindowVisible(icon) && GetWindowRect(icon, &place);
}
