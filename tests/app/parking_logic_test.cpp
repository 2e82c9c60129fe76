// The parking window's decisions, driven through a fake system: which calls happen, and where
// the window ends up.
#include "ParkingLogic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vimlet::FrontWindow;

const HWND kParking = reinterpret_cast<HWND>(0x100);
constexpr SIZE kPrimary{1920, 1080};
constexpr RECT kCorner{1918, 1078, 1919, 1079};
constexpr RECT kSecondMonitor{1920, 0, 3200, 1200};

struct Window {
    HWND handle;
    bool visible;
    bool cloaked;
};

struct FakeWorld {
    std::vector<Window> zOrder;  // from the top; the parking window is one of them
    SIZE primary = kPrimary;
    FrontWindow front{};
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    bool elevated = false;
    std::vector<std::string> calls;
};

struct FakeSystem {
    static inline FakeWorld world;

    static const Window* Find(HWND handle)
    {
        for (const Window& w : world.zOrder)
            if (w.handle == handle) return &w;
        return nullptr;
    }
    static HWND TopWindow()
    {
        world.calls.push_back("top");
        return world.zOrder.empty() ? nullptr : world.zOrder.front().handle;
    }
    static HWND NextWindow(HWND window)
    {
        world.calls.push_back("next");
        const Window* w = Find(window);
        return w && w + 1 != world.zOrder.data() + world.zOrder.size() ? w[1].handle : nullptr;
    }
    static bool IsVisible(HWND window) { return world.calls.push_back("visible"), Find(window)->visible; }
    static bool IsCloaked(HWND window) { return world.calls.push_back("cloaked"), Find(window)->cloaked; }
    static SIZE PrimarySize() { return world.calls.push_back("metrics"), world.primary; }
    static FrontWindow Foreground() { return world.calls.push_back("foreground"), world.front; }
    static QUERY_USER_NOTIFICATION_STATE NotificationState() { return world.calls.push_back("state"), world.state; }
    // The system's answer, as WM_WINDOWPOSCHANGED reports it.
    static void Place(HWND, const RECT& rect, bool raise);
    static bool RunsElevated() { return world.elevated; }
    static void LetInFromBelow(HWND window, UINT message)
    {
        EXPECT_EQ(window, kParking);
        world.calls.push_back("let in " + std::to_string(message));
    }
};

using Placement = vimlet::ParkingPlacement<FakeSystem>;
Placement* g_placement;

void FakeSystem::Place(HWND window, const RECT& rect, bool raise)
{
    EXPECT_EQ(window, kParking);
    world.calls.push_back(raise ? "raise" : "move");
    if (raise) {
        std::erase_if(world.zOrder, [](const Window& w) { return w.handle == kParking; });
        world.zOrder.insert(world.zOrder.begin(), {kParking, true, false});
    }
    g_placement->Moved({window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                        UINT(raise ? 0 : SWP_NOZORDER)});
}

const HWND kOther = reinterpret_cast<HWND>(0x200);
constexpr RECT kWholePrimary{0, 0, 1920, 1080};

class ParkingPlacement : public testing::Test {
protected:
    void SetUp() override
    {
        FakeSystem::world = {};
        FakeSystem::world.zOrder = {{kParking, true, false}};
        g_placement = &m_placement;
        m_placement.Attach(kParking);
        m_placement.Raise();  // as the window's creation does
        Calls().clear();
    }
    static std::vector<std::string>& Calls() { return FakeSystem::world.calls; }
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
    m_placement.Answer();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"top"}));

    // Something above: the whole check, and on top again before the answer returns.
    Calls().clear();
    RaiseOther(true);
    m_placement.Answer();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"top", "metrics", "top", "visible", "cloaked", "foreground",
                                                 "state", "raise"}));
    Calls().clear();
    m_placement.Answer();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"top"}));

    // Moved away by someone else: told by WM_WINDOWPOSCHANGED, put back without being asked where.
    m_placement.Moved({kParking, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER});
    Calls().clear();
    m_placement.Answer();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"metrics", "foreground", "state", "raise"}));
    // A change of z-order alone leaves the rectangle known.
    m_placement.Moved({kParking, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE});
    Calls().clear();
    m_placement.Answer();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"top"}));
}

// A window comes above the parking window (as a click on the taskbar raises one), perhaps while
// an application in front is full screen; does the tick raise the parking window?
TEST_F(ParkingPlacement, OnlyAWindowOnScreenCoversItAndOnlyAFullScreenApplicationOnItsMonitorHoldsItBack)
{
    struct Case {
        const char* name;
        bool visible;
        bool cloaked;
        FrontWindow front;
        QUERY_USER_NOTIFICATION_STATE state;
        bool heldBack;
    } const cases[] = {
        {"visible", true, false, {}, QUNS_ACCEPTS_NOTIFICATIONS, false},
        {"invisible", false, false, {}, QUNS_ACCEPTS_NOTIFICATIONS, false},
        {"cloaked: a suspended Store app, another virtual desktop", true, true, {}, QUNS_ACCEPTS_NOTIFICATIONS, false},
        {"topmost over the primary", true, false, {true, true, kWholePrimary, true}, QUNS_BUSY, true},
        {"topmost over both monitors", true, false, {true, true, {0, 0, 3200, 1200}, true}, QUNS_BUSY, true},
        {"topmost over the other monitor", true, false, {true, true, kSecondMonitor, false}, QUNS_BUSY, false},
        {"over the primary, not topmost", true, false, {true, false, kWholePrimary, true}, QUNS_BUSY, false},
        {"topmost, not all of the primary", true, false, {true, true, {0, 0, 1920, 1000}, true}, QUNS_BUSY, false},
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
        m_placement.Check();
        EXPECT_EQ(ParkingOnTop(), c.visible && !c.cloaked && !c.heldBack) << c.name;

        // Out of its corner, held back or not, it goes back there.
        m_placement.Moved({kParking, nullptr, 100, 100, 0, 0, SWP_NOSIZE});
        Calls().clear();
        m_placement.Check();
        EXPECT_EQ(Calls().back(), c.heldBack ? "move" : "raise") << c.name;
    }
}

TEST_F(ParkingPlacement, AChangeOfDisplayFindsTheNewCorner)
{
    FakeSystem::world.primary = {1280, 720};
    m_placement.Check();
    EXPECT_EQ(Calls().back(), "raise");
    Calls().clear();
    m_placement.Answer();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"top"})) << "the new corner is known";
    static_assert(vimlet::SameRect(vimlet::CornerOf(kPrimary), kCorner));
}

// Wine runs every process as one user with no integrity levels, and its message filter lets
// everything in: the decision is tested here, through the seam.
TEST(MessageFilter, LetsInTheShellAndASecondStartOnlyWhenElevated)
{
    for (bool elevated : {false, true}) {
        FakeSystem::world = {};
        FakeSystem::world.elevated = elevated;
        vimlet::OpenMessageFilter<FakeSystem>(kParking, 0xC001, 0xC002);
        std::vector<std::string> expected{"let in 0"};
        if (elevated) expected.insert(expected.end(), {"let in 49153", "let in 49154"});
        EXPECT_EQ(FakeSystem::world.calls, expected) << elevated;
    }
}

} // namespace
