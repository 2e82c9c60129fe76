// What typing costs with Vimlet running: keystroke round trips into a window of this process
// (SendInput until the window has the key-up), without Vimlet, with the cursor already parked
// (the path of a typing burst), and with every key-down parking the cursor anew (the full path:
// the exclusion check and the message to the parking window in another process). Prints the
// figures and their ratios from one run.
#include "VimletProcess.h"

#include <cstdio>

namespace {

constexpr int kKeystrokes = 300;

LONG g_keyUps = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYUP) ++g_keyUps;
    return DefWindowProcW(window, message, wParam, lParam);
}

void Send(DWORD type, WORD key, DWORD flags, LONG dx = 0)
{
    INPUT input = {};
    input.type = type;
    if (type == INPUT_KEYBOARD) {
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
    } else {
        input.mi.dx = dx;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
    }
    SendInput(1, &input, sizeof(input));
}

// Mean microseconds per keystroke; with unpark, a mouse move before each key puts the cursor
// back first (not timed).
double MeasureKeystrokes(HWND window, bool unpark)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    LONGLONG total = 0;
    for (int i = 0; i < kKeystrokes; ++i) {
        if (unpark) {
            Send(INPUT_MOUSE, 0, 0, (i % 2) ? 3 : -3);
            WaitUntil([] { return false; }, 0);  // deliver the move
        }
        SetForegroundWindow(window);
        const LONG expected = g_keyUps + 1;
        QueryPerformanceCounter(&start);
        Send(INPUT_KEYBOARD, 'K', 0);
        Send(INPUT_KEYBOARD, 'K', KEYEVENTF_KEYUP);
        if (!WaitUntil([&] { return g_keyUps >= expected; }, 5000)) return -1;
        QueryPerformanceCounter(&end);
        total += end.QuadPart - start.QuadPart;
    }
    return 1e6 * double(total) / double(frequency.QuadPart) / kKeystrokes;
}

} // namespace

int main()
{
    RemoveSettingsFiles();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KeystrokeBench";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(L"KeystrokeBench", L"keystroke bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                      100, 100, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetCursorPos(400, 400);

    const double without = MeasureKeystrokes(window, false);
    double parked, parking;
    {
        VimletProcess vimlet;
        parked = MeasureKeystrokes(window, false);
        parking = MeasureKeystrokes(window, true);
    }
    if (without <= 0 || parked <= 0 || parking <= 0) {
        std::printf("a keystroke did not arrive\n");
        return 1;
    }
    std::printf("keystroke round trip, mean of %d under Wine:\n", kKeystrokes);
    std::printf("  without Vimlet             %8.1f us\n", without);
    std::printf("  Vimlet, cursor parked      %8.1f us  ratio %.2f\n", parked, parked / without);
    std::printf("  Vimlet, parking every key  %8.1f us  ratio %.2f\n", parking, parking / without);
    return 0;
}
