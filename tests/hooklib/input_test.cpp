// The real library under real input: keys and mouse events through SendInput, the hooks running
// inside other processes' applications, the parking window in this one, as in the program.
#include "InvisibleWnd.h"
#include "hook_library.h"
#include "Input.h"
#include "win32_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using vimlet::SharedHookState;

int g_parkingClicks;

void NoteParkingNull()
{
    g_events.push_back({true, {}, (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_REPLIED)) == ISMEX_SEND});
}

// The program's own parking window, noting what the hooks send it.
class CNotingParkingWnd : public CInvisibleWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NULL) NoteParkingNull();
        if (message == WM_LBUTTONUP) ++g_parkingClicks;
        return CInvisibleWnd::WindowProc(message, wParam, lParam);
    }
};

// One for the whole run, as in the program; destroying it would wait 2 s for a window manager
// that is not there.
HWND ParkingWindow()
{
    static CNotingParkingWnd* const window = [] {
        auto* created = new CNotingParkingWnd;  // deletes itself with its window
        created->Create(nullptr);
        return created;
    }();
    return window->m_hWnd;
}

class Input : public testing::Test {
protected:
    void SetUp() override
    {
        ShowAsideWindow();
        m_parking = ParkingWindow();
        m_report = CreateReportWindow();
        ASSERT_TRUE(m_parking && m_report);
        m_copy.Start(m_parking);
        m_target = std::make_unique<Target>(m_report, RECT{100, 100, 700, 500});
        g_events.clear();
        g_parkingClicks = 0;
    }

    void TearDown() override
    {
        // The key state is the desktop's: leave nothing held for the next test.
        SendKeys("-160 -161x -162 -164");
        m_target.reset();
        Library()->disable();
        DestroyWindow(m_report);
    }

    HookLibrary& Library() { return m_copy.Library(); }
    SharedHookState& State() { return Library().State(); }

    static POINT TopLeft(HWND window)
    {
        RECT rect{};
        GetWindowRect(window, &rect);
        return {rect.left, rect.top};
    }

    POINT ParkingPoint() const { return TopLeft(m_parking); }

    static void PlaceCursorAside() { ASSERT_TRUE(MoveCursorAside()) << CursorNow(); }

    static int ParkingNulls()
    {
        return static_cast<int>(std::count_if(g_events.begin(), g_events.end(),
                                              [](const Event& e) { return e.parkingNull; }));
    }

    // A move over the application: its hooks have put the cursor back by the time it has the
    // move, and nothing else moves it.
    void ExpectRestoredBy(Target& app, POINT saved)
    {
        EXPECT_EQ(MoveMouseOver(app, app.Inside()).cursor, saved);
        EXPECT_EQ(CursorNow(), saved);
        EXPECT_FALSE(State().hidden);
    }

    void ExpectNotParked(POINT where)
    {
        EXPECT_EQ(CursorNow(), where);
        EXPECT_EQ(ParkingNulls(), 0);
        EXPECT_FALSE(State().hidden);
    }

    LibraryCopy m_copy;
    HWND m_parking = nullptr;
    HWND m_report = nullptr;
    std::unique_ptr<Target> m_target;
};

TEST_F(Input, KeyDownParksTheCursorBeforeTheApplicationSeesTheKeyAndKeyUpNeverParks)
{
    PlaceCursorAside();
    m_target->Activate();
    SendKeys("-66");
    EXPECT_EQ(AwaitReport(*m_target, WM_KEYUP, 'B').cursor, kAside);
    ExpectNotParked(kAside);

    SendKeys("65");
    const POINT park = ParkingPoint();
    EXPECT_EQ(AwaitReport(*m_target, WM_KEYDOWN, 'A').cursor, park);
    EXPECT_EQ(CursorNow(), park);
    ASSERT_EQ(ParkingNulls(), 1);
    const auto null = std::find_if(g_events.begin(), g_events.end(), [](const Event& e) { return e.parkingNull; });
    EXPECT_LT(null - g_events.begin(), FindReport(*m_target, WM_KEYDOWN, 'A'))
        << "the parking window is told before the key goes on";
    EXPECT_TRUE(null->senderWaits) << "and the hide waits for its answer";
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(State().savedCursor, kAside);
    EXPECT_EQ(State().hidePosition, park);

    SendKeys("-65");
    EXPECT_EQ(AwaitReport(*m_target, WM_KEYUP, 'A').cursor, park);
    EXPECT_EQ(ParkingNulls(), 1);
}

TEST_F(Input, HungParkingWindowHoldsTheKeyBackOnlyForABoundedTime)
{
    StallingParkingWindow hung({1500, 900});
    m_copy.Start(hung.Window());
    PlaceCursorAside();
    m_target->Activate();

    const ULONGLONG start = GetTickCount64();
    SendKeys("65");
    ASSERT_TRUE(hung.AwaitHeldMessage());
    AwaitReport(*m_target, WM_KEYDOWN, 'A');
    EXPECT_FALSE(hung.Answered()) << "the key went on without the parking window's answer";
    // Before the bound, a key waited as long as the program did; a margin for a loaded machine.
    constexpr ULONGLONG kLoadMarginMs = 3000;
    EXPECT_LT(GetTickCount64() - start, vimlet::kParkingWindowPatienceMs + kLoadMarginMs);
    EXPECT_TRUE(State().hidden);
    hung.Release();
    SendKeys("-65");
    AwaitReport(*m_target, WM_KEYUP, 'A');
}

// Without an answer of its own, the window would take the class's cursor, which is none, and the
// cursor would stay as it was: visible in the corner on Windows.
TEST(ParkingWindow, ShowsNoCursor)
{
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(ParkingWindow(), WM_SETCURSOR, reinterpret_cast<WPARAM>(ParkingWindow()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(Input, HeldSuppressorStopsTheHideOnlyWithItsFlagSet)
{
    Library()->set_suppressor(VK_LSHIFT, 1);
    PlaceCursorAside();
    m_target->Activate();

    SendKeys("160");
    EXPECT_EQ(Type('A', *m_target), kAside);
    SendKeys("-160");
    AwaitReport(*m_target, WM_KEYUP, VK_SHIFT);
    ExpectNotParked(kAside);

    // Right Shift's flag is clear: its own key-down parks, like any key's.
    SendKeys("161x");
    EXPECT_EQ(AwaitReport(*m_target, WM_KEYDOWN, VK_SHIFT, 2).cursor, ParkingPoint());
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(State().savedCursor, kAside);
}

TEST_F(Input, CtrlAltKeypadDigitJumpsToTheParkingPointAndIsSwallowedButZeroIsAnOrdinaryKey)
{
    // A parking window never shown: a jump sends the cursor onto bare desktop, so that no window's
    // thread hears of the move and Ctrl and Alt stay held until the keypad key's release.
    StallingParkingWindow parking({1500, 900});
    parking.Release();  // never held
    m_copy.Start(parking.Window());
    // Ctrl and Alt as suppressors: their own key-downs leave the cursor alone.
    Library()->set_suppressor(VK_LCONTROL, 1);
    Library()->set_suppressor(VK_LMENU, 1);
    m_target->Activate();
    for (WORD digit : {VK_NUMPAD1, VK_NUMPAD5, VK_NUMPAD9, VK_NUMPAD0}) {
        SCOPED_TRACE(digit);
        const bool jump = digit != VK_NUMPAD0;
        PlaceCursorAside();
        PressWithCtrlAlt(*m_target, digit);
        EXPECT_EQ(CursorNow(), jump ? TopLeft(parking.Window()) : kAside);
        EXPECT_NE(SawKey(*m_target, digit), jump);
        EXPECT_TRUE(SawKey(*m_target, VK_MENU)) << "Ctrl and Alt go on to the application";
        // A jump is no hide: nothing to put back later.
        EXPECT_FALSE(State().hidden);
        EXPECT_FALSE(parking.Answered()) << "the parking window was sent WM_NULL";
    }
}

// While parked, key repeats and a click at the hide position change nothing; a move elsewhere
// puts the cursor back exactly where it was, not where the mouse went, and the next repeat
// parks it again.
TEST_F(Input, WhileParkedRepeatsAndClicksChangeNothingAndAMoveElsewhereRestores)
{
    PlaceCursorAside();
    m_target->Activate();
    SendKeys("65");
    AwaitReport(*m_target, WM_KEYDOWN, 'A');
    const POINT park = ParkingPoint();

    // Auto-repeat: more key-downs without a key-up.
    SendKeys("65 65");
    EXPECT_EQ(AwaitReport(*m_target, WM_KEYDOWN, 'A', 3).cursor, park);

    // A click where the cursor is parked lands on the parking window, in this process.
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    ASSERT_TRUE(WaitUntil([] { return g_parkingClicks == 1; }));
    EXPECT_EQ(CursorNow(), park);
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(ParkingNulls(), 1);
    EXPECT_EQ(State().savedCursor, kAside);

    ASSERT_NO_FATAL_FAILURE(ExpectRestoredBy(*m_target, kAside));

    m_target->Activate();  // Wine hands the keyboard on at the click
    SendKeys("65");
    EXPECT_EQ(AwaitReport(*m_target, WM_KEYDOWN, 'A', 4).cursor, park);
    EXPECT_EQ(ParkingNulls(), 2);
    EXPECT_EQ(State().savedCursor, kAside);
    SendKeys("-65");
    AwaitReport(*m_target, WM_KEYUP, 'A');
}

// A drag (mouse capture in the receiving thread) and a game's confinement of the cursor away
// from the parking point (Windows keeps SetCursorPos inside it too: a park would land in the
// game) each stop the hide until undone.
TEST_F(Input, CaptureOrConfinementStopsTheHideUntilUndone)
{
    for (const char* set : {"capture", "confine"}) {
        SCOPED_TRACE(set);
        MoveMouseOver(*m_target, m_target->Inside());
        const int nulls = ParkingNulls();
        ASSERT_EQ(m_target->Ask(set), "ok");
        EXPECT_EQ(TypingParks(*m_target, m_parking), false);
        EXPECT_EQ(CursorNow(), m_target->Inside());
        EXPECT_EQ(ParkingNulls(), nulls);
        EXPECT_FALSE(State().hidden);
        ASSERT_EQ(m_target->Ask("free"), "ok");
        EXPECT_EQ(TypingParks(*m_target, m_parking), true);
    }
}

TEST_F(Input, ExcludedApplicationNeverParksButRestoresACursorParkedElsewhere)
{
    // A program of its own: the list names executables, and the other target runs the original.
    TempDir programs;
    const std::wstring excludedProgram = programs.File(L"excluded app.exe");
    ASSERT_TRUE(CopyFileW(BesideThisProgram(L"target_app.exe").c_str(), excludedProgram.c_str(), TRUE));
    // Each process reads the list in its own AppData: the program's, started after this.
    const TempAppData appData;
    Library()->setup(m_parking, appData.SettingsDirectory().c_str());
    Target excluded(m_report, RECT{800, 100, 1400, 500}, excludedProgram);
    const std::wstring list = appData.ListPath();
    const std::string listed = excluded.Ask("path") + "\r\n";
    const ULONGLONG second = 13300000000 * kTicksPerSecond;
    WriteBytes(list, listed);
    ASSERT_TRUE(SetLastWriteTime(list, second + 1000000));

    EXPECT_EQ(TypingParks(excluded, m_parking), false);
    EXPECT_EQ(ParkingNulls(), 0);
    EXPECT_FALSE(State().hidden);

    PlaceCursorAside();
    m_target->Activate();
    EXPECT_EQ(Type('A', *m_target), ParkingPoint());
    EXPECT_EQ(State().savedCursor, kAside);

    // The mouse moves over the excluded application: its hook puts the cursor back.
    ExpectRestoredBy(excluded, kAside);

    // Removed by a save of the same size within the same second: the application's next key
    // parks the cursor.
    WriteBytes(list, std::string(listed.size(), 'x'));
    ASSERT_TRUE(SetLastWriteTime(list, second + 2000000));
    EXPECT_EQ(TypingParks(excluded, m_parking), true);
}

// While parked, the wheel scrolls the window under the point the cursor left, focused or not, and
// the cursor stays parked.
TEST_F(Input, WheelGoesOnToTheWindowUnderTheSavedPointFocusedOrNot)
{
    Target other(m_report, RECT{800, 100, 1400, 500});
    const struct {
        Target& under;
        DWORD flag;
        UINT message;
        int delta;
    } turns[] = {{*m_target, MOUSEEVENTF_WHEEL, WM_MOUSEWHEEL, -WHEEL_DELTA},
                 {other, MOUSEEVENTF_HWHEEL, WM_MOUSEHWHEEL, 2 * WHEEL_DELTA}};
    for (const auto& turn : turns) {
        SCOPED_TRACE(turn.message);
        PlaceCursorAside();
        MoveMouseOver(turn.under, turn.under.Inside());
        m_target->Activate();
        ASSERT_EQ(Type('A', *m_target), ParkingPoint());

        INPUT wheel{};
        wheel.type = INPUT_MOUSE;
        wheel.mi.dwFlags = turn.flag;  // no movement
        wheel.mi.mouseData = static_cast<DWORD>(turn.delta);
        SendInput(1, &wheel, sizeof wheel);
        const InputReport got = AwaitReport(turn.under, turn.message);
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(got.wParam), turn.delta);
        EXPECT_EQ(got.mouse, turn.under.Inside());
        EXPECT_EQ(got.cursor, ParkingPoint());
        EXPECT_TRUE(State().hidden);
        ExpectRestoredBy(turn.under, turn.under.Inside());
    }
}

// Windows hands an application that is not DPI-aware scaled coordinates, and the hooks run in
// its thread. Wine cannot make a process unaware, but a thread: the target's thread is unaware,
// the parking window here per-monitor aware. Run at whatever scaling the display has; Windows
// shows this unaware test program 96 DPI whatever the scaling is.
using ScaledDisplay = Input;

TEST_F(ScaledDisplay, KeyInAnUnawareApplicationParksAndRestoresInPhysicalPixels)
{
    if (GetDpiForSystem() == USER_DEFAULT_SCREEN_DPI)
        GTEST_SKIP() << "96 DPI: the display is not scaled, or this is Windows, which scales this "
                        "unaware program as it would the application (the test command runs this "
                        "under Wine at 144 DPI)";
    Target unaware(m_report, RECT{500, 100, 900, 400}, BesideThisProgram(L"target_app.exe"), true);
    PlaceCursorAside();
    unaware.Activate();

    Type('A', unaware);
    EXPECT_EQ(State().savedCursor, kAside);
    EXPECT_EQ(State().hidePosition, ParkingPoint());
    EXPECT_EQ(CursorNow(), ParkingPoint());
    EXPECT_TRUE(State().hidden);

    // A per-monitor-aware application takes the mouse: under an unaware window Wine's hit
    // testing is off by the scale.
    ExpectRestoredBy(*m_target, kAside);
}

// Where many users work: a second monitor beside the primary, which keeps the parking window.
// The test command runs these with the second monitor on the right and again on the left, where
// Windows gives it negative coordinates.
class TwoMonitors : public Input {
protected:
    void SetUp() override
    {
        m_second = SecondMonitor();
        if (IsRectEmpty(&m_second))
            GTEST_SKIP() << "one monitor (the test command runs these on a display with two)";
        const char* layout = std::getenv("VIMLET_MONITOR_LAYOUT");
        if (layout && std::string(layout) == "left") {
            ASSERT_LE(m_second.right, 0) << "the layout did not take";
        }
        if (layout && std::string(layout) == "right") {
            ASSERT_GE(m_second.left, GetSystemMetrics(SM_CXSCREEN)) << "the layout did not take";
        }
        Input::SetUp();
    }

    void TearDown() override
    {
        for (HWND window : m_windows) {
            // Hidden first: a hidden window goes without waiting for a window manager.
            ShowWindow(window, SW_HIDE);
            DestroyWindow(window);
        }
        if (!IsSkipped()) Input::TearDown();
    }

    RECT Primary() const { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

    // A game or a video: topmost, over the whole monitor, holding the foreground.
    HWND FullScreenInFront(const RECT& monitor)
    {
        const HWND game = Topmost(monitor, L"full screen");
        SetForegroundWindow(game);
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == game; }));
        return game;
    }

    // A topmost window over the place, gone at the end of the test.
    HWND Topmost(const RECT& place, const wchar_t* title)
    {
        const HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", title, WS_POPUP | WS_VISIBLE,
                                            place.left, place.top, place.right - place.left,
                                            place.bottom - place.top, nullptr, nullptr, nullptr, nullptr);
        m_windows.push_back(window);
        return window;
    }

    RECT m_second{};
    std::vector<HWND> m_windows;
};

TEST_F(TwoMonitors, KeyParksTheCursorFromTheSecondMonitorAndTheMouseRestoresItThereExactly)
{
    Target there(m_report, RECT{m_second.left + 100, m_second.top + 100, m_second.left + 700, m_second.top + 500});
    const POINT start{m_second.left + 123, m_second.top + 345};
    MoveMouseOver(there, start);
    ASSERT_EQ(CursorNow(), start);
    there.Activate();

    EXPECT_EQ(Type('A', there), ParkingPoint());
    EXPECT_EQ(CursorNow(), ParkingPoint());
    EXPECT_EQ(State().savedCursor, start);

    ExpectRestoredBy(there, start);
}

// Raised over a full-screen application, a topmost window makes many games leave full screen:
// only one on the parking window's own monitor may keep it below.
TEST_F(TwoMonitors, FullScreenApplicationOnTheOtherMonitorDoesNotKeepTheParkingWindowBelow)
{
    // A topmost window on the primary, as the taskbar is, shown before the game takes the
    // foreground, then raised without taking it, as a click on the taskbar raises it.
    const HWND taskbar = Topmost({0, Primary().bottom - 40, Primary().right, Primary().bottom}, L"taskbar");
    const HWND game = FullScreenInFront(m_second);
    SetWindowPos(taskbar, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(IsAbove(taskbar, m_parking)) << ZOrder();
    ASSERT_EQ(GetForegroundWindow(), game);
    EXPECT_TRUE(WaitUntil([&] { return IsAbove(m_parking, taskbar); })) << "at the next tick" << ZOrder();
}

TEST_F(TwoMonitors, FullScreenApplicationOnTheParkingWindowsOwnMonitorKeepsItBelow)
{
    const HWND game = FullScreenInFront(Primary());
    ASSERT_TRUE(IsAbove(game, m_parking));
    // The timer's ticks, then a hide.
    for (int tick = 0; tick < 3; ++tick) SendMessageW(m_parking, WM_TIMER, 0, 0);
    SendMessageW(m_parking, WM_NULL, 0, 0);
    EXPECT_TRUE(IsAbove(game, m_parking)) << ZOrder();
}

} // namespace
