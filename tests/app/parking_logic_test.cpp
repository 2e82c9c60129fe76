// The parking window's decisions, driven through a fake system: which calls happen, and where
// the window ends up.
#include "ParkingLogic.h"

#include "CallLog.h"

#include <gtest/gtest.h>

namespace {

using vimlet::FrontWindow;

const HWND kParking = reinterpret_cast<HWND>(0x100), kOther = reinterpret_cast<HWND>(0x200);
constexpr RECT kWholePrimary{0, 0, 1920, 1080}, kSecondMonitor{1920, 0, 3200, 1200};

struct Window {
    HWND handle;
    bool visible, cloaked;
};

struct FakeWorld {
    std::vector<Window> zOrder{{kParking, true, false}};  // from the top
    SIZE primary{1920, 1080};
    FrontWindow front{};
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    RECT placed{};  // where the window was put last
    CallLog log;
};

using Placement = vimlet::ParkingPlacement<struct FakeSystem>;
Placement* g_placement;

struct FakeSystem {
    static inline FakeWorld world;

    static size_t Index(HWND handle)
    {
        size_t i = 0;
        while (world.zOrder[i].handle != handle) ++i;
        return i;
    }
    static HWND TopWindow() { return world.log.Record("top", world.zOrder.front().handle); }
    static HWND NextWindow(HWND window)
    {
        const size_t next = Index(window) + 1;
        return world.log.Record("next", next < world.zOrder.size() ? world.zOrder[next].handle : nullptr);
    }
    static bool IsVisible(HWND window) { return world.log.Record("visible", world.zOrder[Index(window)].visible); }
    static bool IsCloaked(HWND window) { return world.log.Record("cloaked", world.zOrder[Index(window)].cloaked); }
    static SIZE PrimarySize() { return world.log.Record("metrics", world.primary); }
    static FrontWindow Foreground() { return world.log.Record("foreground", world.front); }
    static QUERY_USER_NOTIFICATION_STATE NotificationState() { return world.log.Record("state", world.state); }
    // Moves the window as the system would, and reports it as WM_WINDOWPOSCHANGED does.
    static void Place(HWND window, const RECT& rect, bool raise)
    {
        world.log.Record(raise ? "raise" : "move");
        world.placed = rect;
        if (raise) {
            world.zOrder.erase(world.zOrder.begin() + Index(window));
            world.zOrder.insert(world.zOrder.begin(), {window, true, false});
        }
        g_placement->Moved({window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                            UINT(raise ? 0 : SWP_NOZORDER)});
    }
};

class ParkingPlacement : public testing::Test {
protected:
    void SetUp() override
    {
        FakeSystem::world = {};
        g_placement = &m_placement;
        m_placement.Attach(kParking);
        m_placement.MoveToCorner();  // as the window's creation does
        Take();
    }
    static Calls Take() { return FakeSystem::world.log.Take(); }
    // The calls of the hook's answer, and of the timer's tick.
    Calls Answer() { return m_placement.RiseAboveAll(), Take(); }
    Calls Tick() { return m_placement.RiseAboveVisible(), Take(); }
    // Another window comes on top, as a click on the taskbar raises it.
    static void RaiseOther(bool visible, bool cloaked = false)
    {
        FakeSystem::world.zOrder.insert(FakeSystem::world.zOrder.begin(), {kOther, visible, cloaked});
    }
    static bool ParkingOnTop() { return FakeSystem::world.zOrder.front().handle == kParking; }

    Placement m_placement;
};

TEST_F(ParkingPlacement, TheHooksAnswerCostsOneCallWhenTheWindowIsOnTopInItsCorner)
{
    EXPECT_TRUE(vimlet::SameRect(FakeSystem::world.placed, RECT{1918, 1078, 1919, 1079}));
    EXPECT_EQ(Answer(), Calls{"top"});

    // Something above: the whole check, and on top again before the answer returns.
    RaiseOther(true);
    EXPECT_EQ(Answer(), (Calls{"top", "metrics", "foreground", "state", "raise"}));
    EXPECT_EQ(Answer(), Calls{"top"});
    // A hidden window above is passed too, by the answer alone: the tick leaves it.
    RaiseOther(false);
    Tick();
    EXPECT_FALSE(ParkingOnTop());
    Answer();
    EXPECT_TRUE(ParkingOnTop());
    EXPECT_EQ(Answer(), Calls{"top"});

    // Moved away by someone else: told by WM_WINDOWPOSCHANGED, put back without asking where it is.
    m_placement.Moved({kParking, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER});
    EXPECT_EQ(Answer(), (Calls{"metrics", "foreground", "state", "raise"}));
    // A change of z-order alone leaves the rectangle known.
    m_placement.Moved({kParking, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE});
    EXPECT_EQ(Answer(), Calls{"top"});

    // A change of display (WM_DISPLAYCHANGE, the tick) finds the new corner, which the answer then knows.
    FakeSystem::world.primary = {1280, 720};
    EXPECT_EQ(Tick().back(), "raise");
    EXPECT_TRUE(vimlet::SameRect(FakeSystem::world.placed, RECT{1278, 718, 1279, 719}));
    EXPECT_EQ(Answer(), Calls{"top"});
}

// A window comes above the parking window (as a click on the taskbar raises one), perhaps while
// an application in front is full screen; does the tick raise the parking window?
TEST_F(ParkingPlacement, OnlyAWindowOnScreenCoversItAndOnlyAFullScreenApplicationOnItsMonitorHoldsItBack)
{
    struct Case {
        const char* name;
        bool visible, cloaked;
        FrontWindow front;
        QUERY_USER_NOTIFICATION_STATE state;
        bool heldBack;
    } const cases[] = {
        {"visible", true, false, {}, QUNS_ACCEPTS_NOTIFICATIONS, false},
        {"invisible", false, false, {}, QUNS_ACCEPTS_NOTIFICATIONS, false},
        {"cloaked: a suspended Store app, another virtual desktop", true, true, {}, QUNS_ACCEPTS_NOTIFICATIONS, false},
        {"topmost over the primary", true, false, {true, true, kWholePrimary, true}, QUNS_BUSY, true},
        {"topmost over the other monitor", true, false, {true, true, kSecondMonitor, false}, QUNS_BUSY, false},
        {"over the primary, not topmost", true, false, {true, false, kWholePrimary, true}, QUNS_BUSY, false},
        {"exclusive Direct3D on the primary", true, false, {true, false, kWholePrimary, true},
         QUNS_RUNNING_D3D_FULL_SCREEN, true},
        {"exclusive Direct3D on the other monitor", true, false, {true, false, kSecondMonitor, false},
         QUNS_RUNNING_D3D_FULL_SCREEN, false},
        {"exclusive Direct3D, no foreground window", true, false, {}, QUNS_RUNNING_D3D_FULL_SCREEN, true},
        {"presentation setting", true, false, {true, false, kWholePrimary, true}, QUNS_PRESENTATION_MODE, false},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeSystem::world.front = c.front;
        FakeSystem::world.state = c.state;
        RaiseOther(c.visible, c.cloaked);
        Tick();
        EXPECT_EQ(ParkingOnTop(), c.visible && !c.cloaked && !c.heldBack) << c.name;

        // Out of its corner, held back or not, it goes back there.
        m_placement.Moved({kParking, nullptr, 100, 100, 0, 0, SWP_NOSIZE});
        EXPECT_EQ(Tick().back(), c.heldBack ? "move" : "raise") << c.name;
    }
}

} // namespace
