// The wheel while the cursor is parked, under real input: it scrolls the window under the point
// the cursor left, focused or not, and the cursor stays parked.
#include "hook_library.h"
#include "Input.h"

#include <gtest/gtest.h>

namespace {

constexpr POINT kParked{1800, 600};  // away from the places the other input tests use

TEST(ParkedCursor, WheelGoesOnToTheWindowUnderTheSavedPointFocusedOrNot)
{
    ShowAsideWindow();
    // Visible, so that the system routes the wheel to it, and dropping it, as the program's does.
    const HWND parking = ShowParkingWindow(kParked), report = CreateReportWindow();
    g_events.clear();
    Target focused(report, RECT{100, 100, 700, 500}), other(report, RECT{800, 100, 1400, 500});

    const struct {
        Target& under;
        DWORD flag;
        UINT message;
        int delta;
    } turns[] = {{focused, MOUSEEVENTF_WHEEL, WM_MOUSEWHEEL, -WHEEL_DELTA},
                 {other, MOUSEEVENTF_HWHEEL, WM_MOUSEHWHEEL, 2 * WHEEL_DELTA}};
    for (const auto& turn : turns) {
        SCOPED_TRACE(turn.message);
        LibraryCopy copy;  // nothing to put back from the turn before
        copy.Start(parking);
        ASSERT_TRUE(MoveCursorAside()) << CursorNow();
        MoveMouseOver(turn.under, turn.under.Inside());
        focused.Activate();
        ASSERT_EQ(Type('A', focused), kParked);

        INPUT wheel{};
        wheel.type = INPUT_MOUSE;
        wheel.mi.dwFlags = turn.flag;  // no movement
        wheel.mi.mouseData = static_cast<DWORD>(turn.delta);
        SendInput(1, &wheel, sizeof wheel);
        const InputReport got = AwaitReport(turn.under, turn.message);
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(got.wParam), turn.delta);
        EXPECT_EQ(got.mouse, turn.under.Inside());
        EXPECT_EQ(got.cursor, kParked);
        EXPECT_TRUE(copy.Library().State().hidden);
    }
    // Hidden, it goes without waiting for a window manager.
    ShowWindow(parking, SW_HIDE);
    DestroyWindow(parking);
    DestroyWindow(report);
}

} // namespace
