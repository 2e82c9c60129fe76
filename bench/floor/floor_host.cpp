// Hosts the floor hooks: a one-pixel parking window in the bottom-right corner, as Vimlet's,
// that answers the hooks' WM_NULL and nothing else. Prints "ready" once the hooks are armed;
// ends, hooks removed, when its standard input closes.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllimport) void floor_start(HWND parkingWindow, int x, int y);
extern "C" __declspec(dllimport) void floor_stop();

namespace {

LRESULT CALLBACK ParkingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETCURSOR) {
        SetCursor(nullptr);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI AwaitEndOfInput(void* mainThread)
{
    char buffer[64];
    DWORD read;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read) {}
    PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(mainThread)), WM_QUIT, 0, 0);
    return 0;
}

} // namespace

int main()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ParkingProc;
    windowClass.lpszClassName = L"VimletFloorParking";
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&windowClass);
    const int x = GetSystemMetrics(SM_CXSCREEN) - 2, y = GetSystemMetrics(SM_CYSCREEN) - 2;
    const HWND parking = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOPMOST,
                                         windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE, x, y, 1, 1, nullptr,
                                         nullptr, nullptr, nullptr);
    SetLayeredWindowAttributes(parking, 0, 1, LWA_ALPHA);
    floor_start(parking, x, y);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before anyone posts to it
    CloseHandle(CreateThread(nullptr, 0, AwaitEndOfInput,
                             reinterpret_cast<void*>(static_cast<UINT_PTR>(GetCurrentThreadId())), 0, nullptr));
    std::printf("ready\n");
    std::fflush(stdout);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    floor_stop();
    return 0;
}
