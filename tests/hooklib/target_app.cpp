// An ordinary application for the input tests, so that the hooks run in a process of their own
// choosing: one top-level window that reports every key and mouse message it receives to the
// test's report window, and obeys commands read line by line from its standard input:
//   activate   bring the window to the front with the keyboard focus; "ok" or "background"
//   capture    SetCapture on the window; "ok"
//   confine    ClipCursor to the client area, as games do; "ok"
//   free       ReleaseCapture and ClipCursor(NULL); "ok"
//   embed H    become a child window of window H (decimal), of another process, as a Store
//              app's window is of its frame; "ok"
//   path       the executable path as GetModuleFileNameA reports it
//   hold       "held", then the window takes no message until the line "go"; then "going"
// Arguments: report window handle; x y width height of the window; "unaware" for a thread that
// is not DPI-aware, else "aware"; the window title; "hidden" for a window never shown, else "shown".
// It prints "ready" once the window is up and, unless hidden, in front, and ends with its input.
#include "InputReport.h"
#include "Lines.h"

#include <windowsx.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kCommand = WM_APP + 1;  // lParam: a std::string* from the reader thread

HWND g_report;
HHOOK g_unawareKeyboardHook;
HANDLE g_go = CreateEventW(nullptr, FALSE, FALSE, nullptr);

void Answer(const std::string& line) { WriteLine(GetStdHandle(STD_OUTPUT_HANDLE), line); }

void Report(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    InputReport report{GetCurrentProcessId(), message, wParam, {}, {}, false};
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        report.mouse = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        // A wheel's point is on the screen already.
        if (message != WM_MOUSEWHEEL && message != WM_MOUSEHWHEEL) ClientToScreen(window, &report.mouse);
    }
    GetCursorPos(&report.cursor);
    report.ctrlAltDown = (GetAsyncKeyState(VK_CONTROL) & 0x8000) && (GetAsyncKeyState(VK_MENU) & 0x8000);
    COPYDATASTRUCT data{kInputReportTag, sizeof report, &report};
    SendMessageW(g_report, WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(&data));
}

std::string Run(HWND window, const std::string& command)
{
    if (command == "activate") {
        SetForegroundWindow(window);
        SetActiveWindow(window);
        SetFocus(window);
        return GetForegroundWindow() == window && GetFocus() == window ? "ok" : "background";
    }
    if (command == "capture") {
        SetCapture(window);
        return GetCapture() == window ? "ok" : "no capture";
    }
    if (command == "confine") {
        RECT client;
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        ClipCursor(&client);
        RECT clip{};
        GetClipCursor(&clip);
        return EqualRect(&clip, &client) ? "ok" : "not confined";
    }
    if (command == "free") {
        ReleaseCapture();
        ClipCursor(nullptr);
        return "ok";
    }
    if (command.rfind("embed ", 0) == 0) {
        const HWND frame = reinterpret_cast<HWND>(std::strtoull(command.c_str() + 6, nullptr, 10));
        SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
        SetParent(window, frame);
        return GetParent(window) == frame ? "ok" : "not embedded";
    }
    if (command == "path") {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        return path;
    }
    if (command == "hold") {
        Answer("held");
        WaitForSingleObject(g_go, INFINITE);
        return "going";
    }
    return "unknown " + command;
}

// Windows runs the hooks in the receiving thread's DPI context; Wine 8 runs WH_KEYBOARD hooks
// per-monitor aware whatever it is. Installed after the global hooks and called before them,
// this one hands them the thread's unaware context, as Windows would.
LRESULT CALLBACK RunKeyboardHooksUnaware(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    const DPI_AWARENESS_CONTEXT previous =
        SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);
    const LRESULT result = CallNextHookEx(g_unawareKeyboardHook, code, wParam, lParam);
    SetThreadDpiAwarenessContext(previous);
    return result;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (IsKeyMessage(message) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)) {
        Report(window, message, wParam, lParam);
        return 0;  // for the keys: no menu mode after a lone Alt
    }
    if (message != kCommand) return DefWindowProcW(window, message, wParam, lParam);
    auto* command = reinterpret_cast<std::string*>(lParam);
    Answer(Run(window, *command));
    delete command;
    return 0;
}

DWORD WINAPI ReadCommands(void* window)
{
    ReadLines(GetStdHandle(STD_INPUT_HANDLE), [window](const std::string& line) {
        if (line == "go")
            SetEvent(g_go);
        else
            PostMessageW(static_cast<HWND>(window), kCommand, 0, reinterpret_cast<LPARAM>(new std::string(line)));
    });
    // The test has gone: do not outlive it. Not by destroying the window, which would wait 2 s for
    // a window manager that is not there.
    SetEvent(g_go);
    PostThreadMessageW(GetWindowThreadProcessId(static_cast<HWND>(window), nullptr), WM_QUIT, 0, 0);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (__argc < 9) return 2;
    g_report = reinterpret_cast<HWND>(std::wcstoull(__wargv[1], nullptr, 0));
    if (std::wstring(__wargv[6]) == L"unaware") {
        SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);
        g_unawareKeyboardHook =
            SetWindowsHookExW(WH_KEYBOARD, RunKeyboardHooksUnaware, nullptr, GetCurrentThreadId());
    }
    const bool hidden = std::wstring(__wargv[8]) == L"hidden";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"VimletTestTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, __wargv[7],
                                  WS_OVERLAPPEDWINDOW | (hidden ? 0 : WS_VISIBLE),
                                  _wtoi(__wargv[2]), _wtoi(__wargv[3]), _wtoi(__wargv[4]), _wtoi(__wargv[5]), nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 3;
    if (!hidden) {
        UpdateWindow(window);
        SetForegroundWindow(window);
        SetFocus(window);
    }
    CloseHandle(CreateThread(nullptr, 0, ReadCommands, window, 0, nullptr));
    Answer("ready");

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
