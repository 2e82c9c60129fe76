// The least a cursor-parking hook library can do, as the floor that Vimlet's latency is
// compared with: a key-down parks the cursor on the host's window and tells that window with a
// cross-process SendMessage, as Vimlet does; the first mouse event elsewhere puts it back.
// No suppressors, no capture or exclusion check, no jump keys.
#include <windows.h>

#define FLOOR_SHARED __attribute__((section("_floor_"), shared))

namespace {

struct FloorState {
    HWND parkingWindow;
    POINT park;
    POINT saved;
    BYTE hidden;
    HHOOK keyboardHook;
    HHOOK mouseHook;
};

FloorState g_state FLOOR_SHARED = {};
HINSTANCE g_module;

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && !(lParam & (LPARAM(1) << 31)) && !g_state.hidden) {
        GetCursorPos(&g_state.saved);
        SetCursorPos(g_state.park.x, g_state.park.y);
        SendMessageW(g_state.parkingWindow, WM_NULL, 0, 0);
        g_state.hidden = 1;
    }
    return CallNextHookEx(g_state.keyboardHook, code, wParam, lParam);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && g_state.hidden) {
        const POINT pt = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam)->pt;
        if (pt.x != g_state.park.x || pt.y != g_state.park.y) {
            SetCursorPos(g_state.saved.x, g_state.saved.y);
            g_state.hidden = 0;
        }
    }
    return CallNextHookEx(g_state.mouseHook, code, wParam, lParam);
}

} // namespace

extern "C" __declspec(dllexport) void floor_start(HWND parkingWindow, int x, int y)
{
    g_state.parkingWindow = parkingWindow;
    g_state.park = {x, y};
    g_state.hidden = 0;
    g_state.mouseHook = SetWindowsHookExW(WH_MOUSE, MouseProc, g_module, 0);
    g_state.keyboardHook = SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, g_module, 0);
}

extern "C" __declspec(dllexport) void floor_stop()
{
    UnhookWindowsHookEx(g_state.keyboardHook);
    UnhookWindowsHookEx(g_state.mouseHook);
    g_state.keyboardHook = g_state.mouseHook = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    g_module = instance;
    return TRUE;
}
