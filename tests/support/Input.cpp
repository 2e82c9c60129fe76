#include "Input.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <stdexcept>

std::vector<Event> g_events;

POINT CursorNow()
{
    POINT p{};
    GetCursorPos(&p);
    return p;
}

void SendKeys(const std::string& keys)
{
    std::istringstream tokens(keys);
    std::vector<INPUT> inputs;
    for (std::string token; tokens >> token;) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        if (token[0] == '-') input.ki.dwFlags |= KEYEVENTF_KEYUP;
        if (token.back() == 'x') input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        input.ki.wVk = static_cast<WORD>(std::stoi(token.substr(token[0] == '-')));
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(input.ki.wVk, MAPVK_VK_TO_VSC));
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

// A window class of this program's, registered by its first window.
const wchar_t* WindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
    return name;
}

INPUT MouseAt(POINT point, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Over every monitor, not the primary alone. Rounded up: the system rounds the way back
    // down, and must land on the very pixel.
    const auto normalised = [](LONG pixel, int origin, int extent) {
        return ((pixel - origin) * 65536 + extent - 1) / extent;
    };
    input.mi.dx = normalised(point.x, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    input.mi.dy = normalised(point.y, GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    return input;
}

LRESULT CALLBACK ReportProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData == kInputReportTag && data->cbData == sizeof(InputReport))
            g_events.push_back({false, *static_cast<const InputReport*>(data->lpData), false});
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void MoveMouse(POINT point)
{
    INPUT input = MouseAt(point, 0);
    SendInput(1, &input, sizeof input);
}

void DoubleClickAt(POINT point)
{
    INPUT inputs[] = {MouseAt(point, 0), MouseAt(point, MOUSEEVENTF_LEFTDOWN), MouseAt(point, MOUSEEVENTF_LEFTUP),
                      MouseAt(point, MOUSEEVENTF_LEFTDOWN), MouseAt(point, MOUSEEVENTF_LEFTUP)};
    SendInput(static_cast<UINT>(std::size(inputs)), inputs, sizeof(INPUT));
}

HWND CreateReportWindow()
{
    return CreateWindowExW(0, WindowClass(L"VimletTestReport", ReportProc), L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                           nullptr, nullptr, nullptr);
}

Target::Target(HWND report, RECT place, const std::wstring& program, bool dpiUnaware,
               const std::wstring& title, bool hidden)
    : ChildProcess(program, {std::to_wstring(reinterpret_cast<UINT_PTR>(report)),
                             std::to_wstring(place.left), std::to_wstring(place.top),
                             std::to_wstring(place.right - place.left),
                             std::to_wstring(place.bottom - place.top),
                             dpiUnaware ? L"unaware" : L"aware", title, hidden ? L"hidden" : L"shown"}),
      m_place(place)
{
    if (ReadLine() != "ready") throw std::runtime_error("target did not start");
}

void Target::Activate() { ASSERT_EQ(Ask("activate"), "ok"); }

std::ptrdiff_t FindReport(const ChildProcess& app, UINT message, WPARAM vk, int nth)
{
    for (std::size_t i = 0; i < g_events.size(); ++i) {
        const Event& e = g_events[i];
        if (e.parkingNull || e.report.processId != app.Id() || e.report.message != message) continue;
        if (IsKeyMessage(message) && e.report.wParam != vk) continue;
        if (--nth == 0) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

InputReport AwaitReport(const ChildProcess& app, UINT message, WPARAM vk, int nth)
{
    std::ptrdiff_t index = -1;
    EXPECT_TRUE(WaitUntil([&] { return (index = FindReport(app, message, vk, nth)) >= 0; }))
        << "no message " << message << " for key " << vk << " (" << nth << "); the foreground is "
        << GetForegroundWindow() << ", " << ZOrder();
    return index >= 0 ? g_events[index].report : InputReport{};
}

int CountReports(const ChildProcess& app, UINT message, WPARAM vk)
{
    int count = 0;
    while (FindReport(app, message, vk, count + 1) >= 0) ++count;
    return count;
}

InputReport MoveMouseOver(Target& app, POINT point)
{
    const POINT before = CursorNow();
    std::size_t at = g_events.size();
    // Wine keeps the cursor twice, in its server and in X. SendInput moves X's pointer only
    // after the server has queued the move, holding a grab of the pointer meanwhile, and X
    // refuses another process's SetCursorPos during that grab: a restore by the hooks would
    // stay in the server alone, and X's report of this move would then take the cursor back to
    // the move's point. So the application takes the move once SendInput has returned, as on
    // Windows, where a move is complete before any thread can take it.
    EXPECT_EQ(app.Ask("hold"), "held");
    MoveMouse(point);
    EXPECT_EQ(app.Ask("go"), "going");
    // When the hooks put the cursor back, Wine may merge the mouse message of their SetCursorPos
    // into the one being taken: then the application sees a move to where the cursor went back.
    const auto ours = [&](const InputReport& r) {
        return r.processId == app.Id() && r.message == WM_MOUSEMOVE &&
               (r.mouse == point || (r.mouse == r.cursor && !(r.cursor == before)));
    };
    const auto arrived = [&] {
        for (; at < g_events.size(); ++at)
            if (!g_events[at].parkingNull && ours(g_events[at].report)) return true;
        return false;
    };
    EXPECT_TRUE(WaitUntil(arrived)) << "no mouse move to " << point << " from " << before << "; the cursor is at "
                                    << CursorNow();
    return at < g_events.size() ? g_events[at].report : InputReport{};
}

namespace {

// The application's key messages from the event at the index on.
std::vector<InputReport> KeyReports(const ChildProcess& app, std::size_t from)
{
    std::vector<InputReport> keys;
    for (std::size_t i = from; i < g_events.size(); ++i) {
        const Event& e = g_events[i];
        if (!e.parkingNull && e.report.processId == app.Id() && IsKeyMessage(e.report.message))
            keys.push_back(e.report);
    }
    return keys;
}

// The cursor shown over the application first: a move off the point, since the cursor may be
// on it, which also puts back a cursor parked earlier, perhaps onto the point itself (a move
// to where the cursor is would bring no message); then the keys, once the application has the
// keyboard. True once they have all arrived.
bool TypeInto(Target& app, const std::vector<WORD>& keys, std::size_t from)
{
    const POINT inside = app.Inside();
    if (!(MoveMouseOver(app, {inside.x + 1, inside.y}).cursor == inside)) MoveMouseOver(app, inside);
    EXPECT_EQ(app.Ask("activate"), "ok");
    std::string batch;
    for (WORD key : keys) batch += std::to_string(key) + " -" + std::to_string(key) + " ";
    SendKeys(batch);
    return WaitUntil([&] { return KeyReports(app, from).size() >= 2 * keys.size(); });
}

} // namespace

bool SawKey(const ChildProcess& app, WPARAM vk)
{
    const std::vector<InputReport> keys = KeyReports(app, 0);
    return std::any_of(keys.begin(), keys.end(), [&](const InputReport& report) { return report.wParam == vk; });
}

std::optional<bool> TypingParks(Target& app, HWND parking, const std::vector<WORD>& keys)
{
    // Wine without a window manager: an X focus change reaches Wine late (a closed window's X
    // window goes up to 2 s after it, a new program's activated pop-up takes the X focus once X
    // has mapped it) and puts another window in front, which then takes the keys, or the hooks
    // judge them by its application. Where it is still in front once the keys
    // are in, typed again, and only the last typing judged.
    const auto inFront = [&] {
        DWORD processId = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &processId);
        return processId == app.Id();
    };
    std::size_t from = g_events.size();
    bool arrived = TypeInto(app, keys, from);
    for (int retry = 0; retry < 2 && !inFront(); ++retry) arrived = TypeInto(app, keys, from = g_events.size());
    EXPECT_TRUE(arrived && inFront()) << "keys missing or judged elsewhere; the foreground window is "
                                      << GetForegroundWindow();

    RECT place{};
    GetWindowRect(parking, &place);
    const POINT parked{place.left, place.top};
    std::vector<std::pair<UINT, WPARAM>> expected, received;
    for (WORD key : keys) expected.insert(expected.end(), {{WM_KEYDOWN, key}, {WM_KEYUP, key}});
    int downs = 0, parkedDowns = 0;
    for (const InputReport& report : KeyReports(app, from)) {
        received.emplace_back(report.message, report.wParam);
        downs += report.message == WM_KEYDOWN;
        parkedDowns += report.message == WM_KEYDOWN && report.cursor == parked;
    }
    EXPECT_EQ(received, expected);
    if (parkedDowns != 0 && parkedDowns != downs) return std::nullopt;
    return parkedDowns != 0;
}

void PressWithCtrlAlt(Target& app, WORD vk, WORD sentinel)
{
    constexpr DWORD kWineKeyStateCacheMs = 50;
    Sleep(kWineKeyStateCacheMs + 20);
    const std::string key = std::to_string(vk), last = std::to_string(sentinel);
    const int sentinels = CountReports(app, WM_KEYUP, sentinel);
    const int ctrlUps = CountReports(app, WM_KEYUP, VK_CONTROL);
    SendKeys("162 164 " + key + " -" + key + " " + last + " -" + last);
    AwaitReport(app, WM_KEYUP, sentinel, sentinels + 1);
    SendKeys("-164 -162");
    AwaitReport(app, WM_KEYUP, VK_CONTROL, ctrlUps + 1);
}

void SendKey(WORD vk) { SendKeys(std::to_string(vk) + " -" + std::to_string(vk)); }

POINT Type(WORD vk, Target& app)
{
    const int downs = CountReports(app, WM_KEYDOWN, vk);
    const int ups = CountReports(app, WM_KEYUP, vk);
    SendKey(vk);
    AwaitReport(app, WM_KEYUP, vk, ups + 1);
    return AwaitReport(app, WM_KEYDOWN, vk, downs + 1).cursor;
}

TestWindow::TestWindow(const wchar_t* title)
    : m_window(CreateWindowExW(0, WindowClass(L"VimletTestWindow", Proc), title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               200, 200, 400, 300, nullptr, nullptr, nullptr, nullptr))
{
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK TestWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        ++reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA))->m_keyDowns;
    return DefWindowProcW(window, message, wParam, lParam);
}

void TestWindow::TypeKey(WORD vk)
{
    SetForegroundWindow(m_window);
    WaitUntil([this] { return GetForegroundWindow() == m_window; });
    SendKey(vk);
}

bool IsAbove(HWND a, HWND b)
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == a) return true;
        if (window == b) return false;
    }
    return false;
}

std::string ZOrder()
{
    std::string text;
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
        // Not GetWindowText: that would wait for a window's thread, which may be stopped.
        wchar_t wideTitle[64] = L"";
        char title[192] = "", cls[64] = "";
        InternalGetWindowText(window, wideTitle, 64);
        WideCharToMultiByte(CP_UTF8, 0, wideTitle, -1, title, sizeof title, nullptr, nullptr);
        GetClassNameA(window, cls, 64);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        text += '\n';
        text += std::to_string(reinterpret_cast<uintptr_t>(window)) + " pid " + std::to_string(pid) +
                (IsWindowVisible(window) ? " visible " : " hidden ") + cls + " '" + title + "'";
    }
    return text;
}

RECT SecondMonitor()
{
    RECT found{};
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR, HDC, RECT* place, LPARAM param) -> BOOL {
            if (place->left == 0 && place->top == 0) return TRUE;  // the primary's corner
            *reinterpret_cast<RECT*>(param) = *place;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

namespace {

// Wine activates a window shown at its creation despite WS_EX_NOACTIVATE, and gives an unmanaged
// pop-up it activates the X focus once X has mapped it: the application in front then loses the
// foreground to Wine's desktop window, and typed keys with it.
HWND ShowWithoutActivating(HWND window)
{
    ShowWindow(window, SW_SHOWNA);
    return window;
}

struct AsideWindow {
    HANDLE place = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE placed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    static inline bool arrived;

    AsideWindow() { CloseHandle(CreateThread(nullptr, 0, Run, this, 0, nullptr)); }  // never joined

    static DWORD WINAPI Run(void* self)
    {
        auto* aside = static_cast<AsideWindow*>(self);
        ShowWithoutActivating(CreateWindowExW(
            WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
            WindowClass(L"VimletTestAside", Proc, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH))), L"", WS_POPUP,
            kAside.x - 100, kAside.y - 100, 200, 200, nullptr, nullptr, nullptr, nullptr));
        for (;;) {
            // Not a message wait: between placements nothing here reads input or X events.
            WaitForSingleObject(aside->place, INFINITE);
            arrived = false;
            // Moved here by this thread, whose X events about its own move Wine ignores; first
            // off the point, so that there is a move to the point even if the cursor was on it.
            SetCursorPos(kAside.x + 1, kAside.y + 1);
            SetCursorPos(kAside.x, kAside.y);
            WaitUntil([] { return arrived; });
            SetEvent(aside->placed);
        }
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        if (message == WM_MOUSEMOVE && LOWORD(lParam) == 100 && HIWORD(lParam) == 100) arrived = true;
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

AsideWindow& Aside()
{
    static AsideWindow aside;
    return aside;
}

} // namespace

void ShowAsideWindow() { Aside(); }

bool MoveCursorAside()
{
    AsideWindow& aside = Aside();
    ResetEvent(aside.placed);
    SetEvent(aside.place);
    return WaitUntil([&] { return WaitForSingleObject(aside.placed, 0) == WAIT_OBJECT_0; }) &&
           CursorNow() == kAside;
}

HWND CreateHiddenWindow(POINT at)
{
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, at.x, at.y, 1, 1, nullptr, nullptr,
                           nullptr, nullptr);
}

HWND ShowParkingWindow(POINT at)
{
    return ShowWithoutActivating(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                                 WindowClass(L"VimletTestParking", DefWindowProcW), L"", WS_POPUP,
                                                 at.x, at.y, 1, 1, nullptr, nullptr, nullptr, nullptr));
}

StallingParkingWindow::StallingParkingWindow(POINT pixel)
    : m_pixel(pixel),
      m_held(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_answered(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_created(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_thread(CreateThread(nullptr, 0, Run, this, 0, &m_threadId))
{
    WaitForSingleObject(m_created, kPatience);
}

StallingParkingWindow::~StallingParkingWindow()
{
    Release();
    PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(m_thread, kPatience);
    for (HANDLE handle : {m_thread, m_created, m_answered, m_release, m_held}) CloseHandle(handle);
}

DWORD WINAPI StallingParkingWindow::Run(void* self)
{
    auto* parking = static_cast<StallingParkingWindow*>(self);
    parking->m_window = CreateHiddenWindow(parking->m_pixel);
    SetWindowSubclass(parking->m_window, Hold, 0, reinterpret_cast<DWORD_PTR>(parking));
    SetEvent(parking->m_created);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(parking->m_window);
    return 0;
}

LRESULT CALLBACK StallingParkingWindow::Hold(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR self)
{
    auto* parking = reinterpret_cast<StallingParkingWindow*>(self);
    if (message == WM_NULL) {
        SetEvent(parking->m_held);
        WaitForSingleObject(parking->m_release, 2 * kPatience);
        SetEvent(parking->m_answered);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
