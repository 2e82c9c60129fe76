// Faults and load under real input: the program or an application ending at the worst moment,
// the parking window gone, and thousands of keys with chords and mouse moves between two
// applications. Nothing may hang, and no key may be lost or doubled.
#include "VimletProcess.h"
#include "hook_library.h"
#include "Input.h"
#include "TestConstants.h"
#include "hook_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr RECT kLeft{100, 100, 700, 500};
constexpr RECT kRight{800, 100, 1400, 500};

// The applications' key messages in the order each received them: (down, virtual key).
using KeyLog = std::vector<std::pair<bool, WPARAM>>;

// A keypad digit that arrived without Ctrl and Alt both down is an ordinary key. Under Wine a
// thread that hears from X of the pointer or a window adopts X's keys held down, which are none
// (every key here is injected), and so can release them amid a chord.
bool OrdinaryDigit(const InputReport& report)
{
    return vimlet::IsJumpKey(report.wParam) && !report.ctrlAltDown;
}

KeyLog KeysOf(const ChildProcess& app)
{
    KeyLog keys;
    for (const Event& e : g_events)
        if (!e.parkingNull && e.report.processId == app.Id() && IsKeyMessage(e.report.message) &&
            !OrdinaryDigit(e.report))
            keys.emplace_back(e.report.message == WM_KEYDOWN || e.report.message == WM_SYSKEYDOWN, e.report.wParam);
    return keys;
}

class Faults : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveSettingsFiles();
        m_report = CreateReportWindow();
        g_events.clear();
    }

    void TearDown() override { DestroyWindow(m_report); }

    // Off the cursor's point, so that it is a move; the application's report of it.
    static InputReport MoveMouseInto(Target& app)
    {
        POINT to = app.Inside();
        if (CursorNow() == to) to.x += 10;
        return MoveMouseOver(app, to);
    }

    static constexpr WORD kJumpSentinel = 'Q';

    void Press(const std::vector<std::pair<bool, WORD>>& keys, KeyLog& expected)
    {
        std::string batch;
        for (const auto& [down, vk] : keys) {
            batch += (down ? " " : " -") + std::to_string(vk);
            // The application sees the left-hand modifiers as the plain ones.
            expected.emplace_back(down, vk == VK_LSHIFT ? VK_SHIFT : vk == VK_LCONTROL ? VK_CONTROL : vk);
            m_keystrokes += down;
        }
        SendKeys(batch);
    }
    void Tap(WORD vk, KeyLog& expected) { Press({{true, vk}, {false, vk}}, expected); }

    static void AwaitAll(const Target& app, const KeyLog& expected)
    {
        ASSERT_TRUE(WaitUntil([&] { return KeysOf(app).size() >= expected.size(); }))
            << KeysOf(app).size() << " of " << expected.size();
    }

    // Ctrl+Alt+digit as PressWithCtrlAlt types it: no digit may arrive.
    void PressJumpChord(Target& app, WORD digit, KeyLog& expected)
    {
        expected.insert(expected.end(), {{true, VK_CONTROL}, {true, VK_MENU}, {true, kJumpSentinel},
                                         {false, kJumpSentinel}, {false, VK_MENU}, {false, VK_CONTROL}});
        m_keystrokes += 4;
        PressWithCtrlAlt(app, digit, kJumpSentinel);
        AwaitAll(app, expected);
    }

    LibraryCopy m_copy;
    HWND m_report = nullptr;
    int m_keystrokes = 0;
};

TEST_F(Faults, ProgramEndedWhileParkedLosesNoKeyAndANewStartParksAgain)
{
    auto vimlet = std::make_unique<VimletProcess>();
    Target app(m_report, kLeft);
    ASSERT_EQ(TypingParks(app, vimlet->ParkingWindow(), {'A'}), true);
    ASSERT_TRUE(WaitUntil([] { return CursorNow() == kParkingPixel; })) << CursorNow();

    vimlet->Terminate();
    for (WORD key : {'B', 'C', 'D'}) {
        Type(key, app);
        EXPECT_EQ(CountReports(app, WM_KEYDOWN, key), 1) << char(key);
        EXPECT_EQ(CountReports(app, WM_KEYUP, key), 1) << char(key);
    }
    MoveMouseInto(app);

    vimlet = std::make_unique<VimletProcess>();
    EXPECT_EQ(TypingParks(app, vimlet->ParkingWindow(), {'E', 'F'}), true);
    const POINT inside = app.Inside();
    EXPECT_EQ(MoveMouseOver(app, {inside.x - 5, inside.y + 3}).cursor, inside);
}

TEST_F(Faults, DestroyedParkingWindowNeitherHidesNorJumpsNorHangs)
{
    const HWND parking = CreateHiddenWindow(kParkingPixel);
    m_copy.Library()->set_suppressor(VK_LCONTROL, 1);
    m_copy.Library()->set_suppressor(VK_LMENU, 1);
    m_copy.Start(parking);
    DestroyWindow(parking);
    Target app(m_report, kLeft);
    app.Activate();
    const POINT inside = MoveMouseInto(app).cursor;

    EXPECT_EQ(Type('A', app), inside);
    KeyLog expected = KeysOf(app);
    PressJumpChord(app, VK_NUMPAD1, expected);
    EXPECT_EQ(KeysOf(app), expected) << "a jump key stays swallowed";
    EXPECT_EQ(CursorNow(), inside);
    EXPECT_FALSE(m_copy.Library().State().hidden);
}

TEST_F(Faults, ApplicationEndingInsideTheHideWaitLeavesTheOthersWorking)
{
    StallingParkingWindow parking(kParkingPixel);
    m_copy.Start(parking.Window());
    Target doomed(m_report, kLeft);
    Target other(m_report, kRight);
    doomed.Activate();
    const POINT before = MoveMouseInto(doomed).cursor;

    SendKeys("65 -65");
    ASSERT_TRUE(parking.AwaitHeldMessage());
    EXPECT_EQ(CursorNow(), kParkingPixel);
    doomed.Terminate();
    parking.Release();

    other.Activate();
    Type('B', other);
    EXPECT_EQ(CountReports(other, WM_KEYDOWN, 'B'), 1);
    // Still parked, and the first move puts the cursor back where it was before the hide.
    EXPECT_EQ(MoveMouseInto(other).cursor, before);
    EXPECT_FALSE(m_copy.Library().State().hidden);
}

// Keys typed into two applications with the hooks running, in batches that end where the test
// must wait: a jump chord, a mouse move or a change of application. The parking window is never
// shown, lies away from every window and answers on a thread of its own, as few threads as may
// hear of a jump.
using Load = Faults;

TEST_F(Load, EveryKeyArrivesOnceAndInOrderAndNoJumpKeyArrives)
{
    constexpr int kKeystrokes = 5000;
    static constexpr POINT kPark{1500, 900};
    StallingParkingWindow parking(kPark);
    parking.Release();  // never held
    for (std::size_t i = 0; i < kKeysInProgramOrder.size(); ++i)
        m_copy.Library()->set_suppressor(kKeysInProgramOrder[i], kFirstStartKeys[i]);
    m_copy.Start(parking.Window());
    std::array<Target, 2> apps{Target(m_report, kLeft), Target(m_report, kRight)};
    std::array<KeyLog, 2> expected;
    std::mt19937 random(8);
    const std::vector<WORD> plain{'A', 'B', 'C', 'K', 'M', 'Z', '0', '5', '9', VK_OEM_COMMA, VK_F5};
    const std::vector<WORD> suppressors{VK_LSHIFT, VK_LCONTROL, VK_SPACE};
    const auto any = [&](const std::vector<WORD>& keys) { return keys[random() % keys.size()]; };
    int active = 0, chords = 0, jumps = 0, moves = 0, switches = 0;
    apps[active].Activate();
    MoveMouseInto(apps[active]);

    while (m_keystrokes < kKeystrokes) {
        Target& app = apps[active];
        KeyLog& log = expected[active];
        const unsigned roll = random() % 100;
        if (roll < 3) {
            // Parked first, so that the jump leaves the cursor where it is. A mouse message
            // left by the cursor's last return may show it again after a hide: then a key more.
            do {
                Tap(any(plain), log);
                AwaitAll(app, log);
            } while (!WaitUntil([] { return CursorNow() == kPark; }, 1000));
            PressJumpChord(app, static_cast<WORD>(VK_NUMPAD1 + random() % 9), log);
            ++jumps;
        } else if (roll < 8) {
            AwaitAll(app, log);
            MoveMouseInto(app);
            ++moves;
        } else if (roll < 10) {
            // Whenever the cursor shows, it lies in the application in front, which takes the
            // mouse message of its return before the next key; one behind could take it after
            // a later hide, and undo that.
            AwaitAll(app, log);
            MoveMouseInto(app);
            active = 1 - active;
            apps[active].Activate();
            MoveMouseInto(apps[active]);
            ++switches;
        } else if (roll < 25) {
            const WORD held = any(suppressors), key = any(plain);
            Press({{true, held}, {true, key}, {false, key}, {false, held}}, log);
            ++chords;
        } else {
            Tap(any(plain), log);
        }
    }
    AwaitAll(apps[active], expected[active]);

    // The last key parks the cursor, a move shows it, and the hooks leave the next move where it
    // was sent. (Where a move brings it back is the input tests' business.)
    EXPECT_EQ(Type('L', apps[active]), kPark);
    expected[active].insert(expected[active].end(), {{true, 'L'}, {false, 'L'}});
    EXPECT_NE(MoveMouseInto(apps[active]).cursor, kPark);
    const InputReport last = MoveMouseInto(apps[active]);
    EXPECT_EQ(last.cursor, last.mouse);

    for (int i = 0; i < 2; ++i) EXPECT_EQ(KeysOf(apps[i]), expected[i]) << "application " << i;
    const auto ordinaryDigits =
        std::ranges::count_if(g_events, [](const Event& e) { return !e.parkingNull && OrdinaryDigit(e.report); });
    std::printf("load: %d keystrokes (%d suppressor chords, %d jump chords, %d digit messages with Ctrl "
                "or Alt released by Wine), %d mouse moves, %d application switches; key messages "
                "received %zu + %zu, expected %zu + %zu\n",
                m_keystrokes, chords, jumps, static_cast<int>(ordinaryDigits), moves, switches, KeysOf(apps[0]).size(),
                KeysOf(apps[1]).size(), expected[0].size(), expected[1].size());
}

} // namespace
