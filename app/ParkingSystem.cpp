#include "ParkingSystem.h"

#include <dwmapi.h>

HWND ParkingSystem::TopWindow()
{
    return GetTopWindow(nullptr);
}

HWND ParkingSystem::NextWindow(HWND window)
{
    return GetWindow(window, GW_HWNDNEXT);
}

bool ParkingSystem::IsVisible(HWND window)
{
    return IsWindowVisible(window);
}

// Loaded from the system folder on first use, never by the search order from beside the
// program; where there is no such call (Wine), no window is cloaked.
bool ParkingSystem::IsCloaked(HWND window)
{
    using Query = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
    static const Query query = [] {
        const HMODULE dwm = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return dwm ? reinterpret_cast<Query>(reinterpret_cast<void (*)()>(GetProcAddress(dwm, "DwmGetWindowAttribute")))
                   : nullptr;
    }();
    DWORD cloaked = 0;
    return query && SUCCEEDED(query(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) && cloaked;
}

SIZE ParkingSystem::PrimarySize()
{
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

vimlet::FrontWindow ParkingSystem::Foreground()
{
    vimlet::FrontWindow front{};
    const HWND window = GetForegroundWindow();
    if (!window || !GetWindowRect(window, &front.rect)) return front;
    front.exists = true;
    front.topmost = GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    front.onPrimary = GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) &&
                      (monitor.dwFlags & MONITORINFOF_PRIMARY);
    return front;
}

QUERY_USER_NOTIFICATION_STATE ParkingSystem::NotificationState()
{
    QUERY_USER_NOTIFICATION_STATE state;
    return SUCCEEDED(SHQueryUserNotificationState(&state)) ? state : QUNS_ACCEPTS_NOTIFICATIONS;
}

void ParkingSystem::Place(HWND window, const RECT& rect, bool raise)
{
    SetWindowPos(window, raise ? HWND_TOPMOST : nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOACTIVATE | (raise ? 0 : SWP_NOZORDER));
}
