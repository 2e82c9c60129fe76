// The hooks' decisions, driven through a fake system: which system calls happen, in what order.
#include "Input.h"
#include "hook_logic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using vimlet::DpiContext;
using vimlet::ForegroundThread;
using vimlet::SharedHookState;

struct FakeSystem {
    static inline SharedHookState state;
    static inline std::vector<std::string> calls;
    static inline std::set<int> keysDown;
    static inline bool capture = false;
    static inline bool excluded = false;
    static inline bool parkingWindowReadable = true;
    static inline POINT cursor{};
    static inline bool cursorReadable = true;
    static inline RECT clip{};
    static inline int movesStoppingShort = 0;
    static inline ForegroundThread foreground{};
    static inline bool processOpenable = true;
    static inline std::map<DWORD, std::string> executables;
    static inline DWORD hostedProcess = 0;
    static inline std::set<std::string> excludedExecutables;
    static inline const HWND parkingWindow = reinterpret_cast<HWND>(0x1234);
    static constexpr POINT kParkingPoint{1918, 1078};
    static constexpr DWORD kCurrentThread = 222;
    static inline const DpiContext kApplicationDpi = reinterpret_cast<DpiContext>(0x11);
    static inline const HWND kFocusWindow = reinterpret_cast<HWND>(0x5678);

    static void Reset()
    {
        state = {};
        state.parkingWindow = parkingWindow;
        calls.clear();
        keysDown.clear();
        capture = excluded = false;
        parkingWindowReadable = true;
        cursor = {100, 200};
        cursorReadable = true;
        clip = {0, 0, 1920, 1080};
        movesStoppingShort = 0;
        foreground = {kCurrentThread, 333, false, kFocusWindow};
        processOpenable = true;
        executables = {{333, "C:\\app32.exe"}};
        hostedProcess = 0;
        excludedExecutables.clear();
    }

    static SharedHookState& State() { return state; }
    static bool KeyIsDown(int vk)
    {
        calls.push_back("key " + std::to_string(vk));
        return keysDown.count(vk) != 0;
    }
    static bool ThreadHasCapture()
    {
        calls.push_back("capture");
        return capture;
    }
    static bool ExclusionAllowsHiding()
    {
        calls.push_back("exclusion");
        return !excluded;
    }
    static DpiContext UsePhysicalPixels()
    {
        calls.push_back("per-monitor");
        return kApplicationDpi;
    }
    static void RestoreDpi(DpiContext previous)
    {
        EXPECT_EQ(previous, kApplicationDpi);
        calls.push_back("restore");
    }
    static bool CursorPosition(POINT* p)
    {
        calls.push_back("cursor");
        *p = cursorReadable ? cursor : POINT{-1, -1};
        return cursorReadable;
    }
    static void MoveCursor(POINT p)
    {
        calls.push_back("move " + std::to_string(p.x) + "," + std::to_string(p.y));
        cursor = movesStoppingShort-- > 0 ? POINT{p.x / 2, p.y} : p;
    }
    static bool CursorClip(RECT* r)
    {
        calls.push_back("clip");
        *r = clip;
        return true;
    }
    static bool WindowTopLeft(HWND window, POINT* p)
    {
        calls.push_back("rect");
        if (window != parkingWindow || !parkingWindowReadable) return false;
        *p = kParkingPoint;
        return true;
    }
    static void NotifyParkingWindow(HWND window)
    {
        EXPECT_EQ(window, parkingWindow);
        EXPECT_TRUE(state.hidden) << "set before the wait, in which the application may end";
        calls.push_back("notify");
    }
    static LRESULT CallNextHook(HHOOK hook, int, WPARAM, LPARAM)
    {
        calls.push_back(hook == state.keyboardHook.handle ? "next keyboard" : "next mouse");
        return 7;
    }
    static DWORD CurrentThreadId() { return kCurrentThread; }
    static ForegroundThread Foreground()
    {
        calls.push_back("foreground");
        return foreground;
    }
    static bool ProcessExecutable(DWORD processId, char (&path)[vimlet::kPathCapacity])
    {
        calls.push_back("process " + std::to_string(processId));
        strcpy(path, executables[processId].c_str());
        return processOpenable;
    }
    static DWORD HostedProcess(HWND window)
    {
        EXPECT_EQ(window, kFocusWindow);
        calls.push_back("hosted");
        return hostedProcess;
    }
    static bool ExecutableAllowsHiding(const char* path)
    {
        calls.push_back(std::string("executable ") + path);
        return !excludedExecutables.count(path);
    }
};

using Hooks = vimlet::HookLogic<FakeSystem>;

constexpr LPARAM kKeyDown = 0x001E0001;
constexpr LPARAM kKeyUp = LPARAM(0xC01E0001);

using Calls = std::vector<std::string>;

class HookLogic : public testing::Test {
protected:
    void SetUp() override
    {
        FakeSystem::Reset();
        FakeSystem::state.keyboardHook.handle = reinterpret_cast<HHOOK>(1);
        FakeSystem::state.mouseHook.handle = reinterpret_cast<HHOOK>(2);
        FakeSystem::state.keyboardHook.threadId = 111;  // the program's thread, not this one
    }
    static SharedHookState& State() { return FakeSystem::state; }
    static void SetFlag(UINT vk) { State().suppressor[vimlet::SuppressorIndex(vk)] = 1; }
    static LRESULT Key(WPARAM vk, LPARAM flags = kKeyDown, int code = HC_ACTION)
    {
        FakeSystem::calls.clear();
        return Hooks::OnKeyboard(code, vk, flags);
    }
    static LRESULT Mouse(POINT pt, int code = HC_ACTION)
    {
        FakeSystem::calls.clear();
        MOUSEHOOKSTRUCT info{};
        info.pt = pt;
        return Hooks::OnMouse(code, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&info));
    }
};

TEST_F(HookLogic, KeyDownWithoutFlagsParksWithoutAskingForKeyState)
{
    EXPECT_EQ(Key('A'), 7);
    EXPECT_EQ(FakeSystem::calls, (Calls{"capture", "exclusion", "per-monitor", "cursor", "rect",
                                        "clip", "move 1918,1078", "restore", "notify", "next keyboard"}))
        << "coordinates in physical pixels, the application's own context back before the "
           "message and the next hook";
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(State().savedCursor, (POINT{100, 200}));
    EXPECT_EQ(State().hidePosition, FakeSystem::kParkingPoint);
}

TEST_F(HookLogic, SuppressorKeysAreQueriedInOrderUntilTheFirstThatIsDown)
{
    for (UINT vk : {VK_SPACE, VK_RMENU, VK_RSHIFT, VK_LMENU, VK_LSHIFT}) SetFlag(vk);
    Key('A');
    EXPECT_EQ(Calls(FakeSystem::calls.begin(), FakeSystem::calls.begin() + 7),
              (Calls{"key 160", "key 164", "key 161", "key 165", "key 32", "capture", "exclusion"}))
        << "the exclusion check comes after every veto";
    EXPECT_TRUE(State().hidden);

    State().hidden = 0;
    SetFlag(VK_LCONTROL);
    SetFlag(VK_RCONTROL);
    Key('A');
    EXPECT_EQ(Calls(FakeSystem::calls.begin(), FakeSystem::calls.begin() + 8),
              (Calls{"key 160", "key 162", "key 164", "key 161", "key 163", "key 165", "key 32",
                     "capture"}));

    State().hidden = 0;
    FakeSystem::keysDown = {VK_RSHIFT, VK_SPACE};
    Key('A');
    EXPECT_EQ(FakeSystem::calls,
              (Calls{"key 160", "key 162", "key 164", "key 161", "next keyboard"}));
    EXPECT_FALSE(State().hidden);
}

TEST_F(HookLogic, HeldKeyWithClearFlagDoesNotVeto)
{
    SetFlag(VK_LSHIFT);
    FakeSystem::keysDown = {VK_RSHIFT};
    Key('A');
    EXPECT_TRUE(State().hidden);

    State().hidden = 0;
    FakeSystem::keysDown = {VK_LSHIFT};
    Key(VK_LSHIFT);  // a suppressor's own key-down, still held
    EXPECT_FALSE(State().hidden);
}

TEST_F(HookLogic, KeyUpAndParkedCursorPassTheKeyOn)
{
    Key('A', kKeyUp);
    EXPECT_EQ(FakeSystem::calls, (Calls{"next keyboard"}));

    State().hidden = 1;
    SetFlag(VK_LSHIFT);
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"next keyboard"}));
}

TEST_F(HookLogic, NegativeCodePassesStraightOn)
{
    EXPECT_EQ(Key(VK_NUMPAD5, kKeyDown, -1), 7);
    EXPECT_EQ(FakeSystem::calls, (Calls{"next keyboard"}));
}

TEST_F(HookLogic, NoRemoveCodeIsHandledLikeAction)
{
    Key('A', kKeyDown, HC_NOREMOVE);
    EXPECT_TRUE(State().hidden);
}

TEST_F(HookLogic, CaptureAndExclusionStopTheHide)
{
    FakeSystem::capture = true;
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"capture", "next keyboard"}));
    EXPECT_FALSE(State().hidden);

    FakeSystem::capture = false;
    FakeSystem::excluded = true;
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"capture", "exclusion", "next keyboard"}));
    EXPECT_FALSE(State().hidden);
}

TEST_F(HookLogic, JumpKeysMoveToTheParkingPointAndAreSwallowed)
{
    FakeSystem::keysDown = {VK_CONTROL, VK_MENU};
    for (WPARAM vk : {VK_NUMPAD1, VK_NUMPAD5, VK_NUMPAD9}) {
        for (LPARAM flags : {kKeyDown, kKeyUp}) {
            FakeSystem::cursor = {5, 5};
            EXPECT_EQ(Key(vk, flags), 1);
            EXPECT_EQ(FakeSystem::calls, (Calls{"key 17", "key 18", "per-monitor", "rect",
                                                "move 1918,1078", "restore"}));
        }
    }
    EXPECT_FALSE(State().hidden) << "a jump is not a hide";
    EXPECT_EQ(State().hidePosition.x, 0);
}

TEST_F(HookLogic, JumpWhileParkedKeepsTheSavedPosition)
{
    Key('A');
    FakeSystem::keysDown = {VK_CONTROL, VK_MENU};
    Key(VK_NUMPAD5);
    EXPECT_TRUE(State().hidden);
    Mouse({1, 1});
    EXPECT_EQ(FakeSystem::calls, (Calls{"per-monitor", "move 100,200", "cursor", "restore", "next mouse"}));
}

TEST_F(HookLogic, NotJumpKeys)
{
    FakeSystem::keysDown = {VK_CONTROL, VK_MENU};
    for (WPARAM vk : {WPARAM(VK_NUMPAD0), WPARAM(VK_END), WPARAM(VK_CLEAR), WPARAM('5')}) {
        State().hidden = 0;
        Key(vk);
        EXPECT_NE(FakeSystem::calls.back(), "move 1918,1078");
        EXPECT_EQ(FakeSystem::calls.back(), "next keyboard") << vk;
        EXPECT_TRUE(State().hidden) << vk << " goes through the hide path";
    }
    FakeSystem::keysDown = {VK_CONTROL};
    State().hidden = 0;
    Key(VK_NUMPAD5);
    EXPECT_EQ(Calls(FakeSystem::calls.begin(), FakeSystem::calls.begin() + 2), (Calls{"key 17", "key 18"}));
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(FakeSystem::calls.back(), "next keyboard");
}

TEST_F(HookLogic, UnreadableParkingWindowMovesNothing)
{
    FakeSystem::parkingWindowReadable = false;
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"capture", "exclusion", "per-monitor", "cursor", "rect",
                                        "restore", "next keyboard"}));
    EXPECT_FALSE(State().hidden);

    FakeSystem::keysDown = {VK_CONTROL, VK_MENU};
    EXPECT_EQ(Key(VK_NUMPAD5), 1) << "still swallowed";
    EXPECT_EQ(FakeSystem::calls, (Calls{"key 17", "key 18", "per-monitor", "rect", "restore"}));
}

TEST_F(HookLogic, MouseAtTheHidePositionKeepsTheCursorParked)
{
    Key('A');
    EXPECT_EQ(Mouse({1918, 1078}), 7);
    EXPECT_EQ(FakeSystem::calls, (Calls{"next mouse"}));
    EXPECT_TRUE(State().hidden);

    for (POINT elsewhere : {POINT{1918, 1077}, POINT{1917, 1078}}) {
        State().hidden = 1;
        Mouse(elsewhere);
        EXPECT_EQ(FakeSystem::calls, (Calls{"per-monitor", "move 100,200", "cursor", "restore", "next mouse"}))
            << elsewhere.x << "," << elsewhere.y;
        EXPECT_FALSE(State().hidden);
    }

    Mouse({5, 5});
    EXPECT_EQ(FakeSystem::calls, (Calls{"next mouse"})) << "a visible cursor is left alone";
}

TEST_F(HookLogic, MouseWithNegativeCodeChangesNothing)
{
    Key('A');
    Mouse({1, 1}, -1);
    EXPECT_EQ(FakeSystem::calls, (Calls{"next mouse"}));
    EXPECT_TRUE(State().hidden);
}

TEST_F(HookLogic, ShowAndHideDirectly)
{
    Hooks::Show();
    EXPECT_TRUE(FakeSystem::calls.empty());
    Hooks::Hide();
    EXPECT_TRUE(State().hidden);
    FakeSystem::calls.clear();
    Hooks::Hide();
    EXPECT_TRUE(FakeSystem::calls.empty()) << "already parked";
    Hooks::Show();
    EXPECT_EQ(FakeSystem::calls, (Calls{"per-monitor", "move 100,200", "cursor", "restore"}));
    EXPECT_FALSE(State().hidden);
}

// Keys of 32-bit applications reach the 64-bit hook as calls back into the installing thread.
TEST_F(HookLogic, KeyCalledBackIntoTheInstallingThreadIsJudgedByTheForegroundApplication)
{
    State().keyboardHook.threadId = FakeSystem::kCurrentThread;
    FakeSystem::foreground = {444, 333, false, FakeSystem::kFocusWindow};
    FakeSystem::excluded = true;  // the program's own executable: beside the point here
    FakeSystem::capture = true;
    Key('A');
    EXPECT_EQ(FakeSystem::calls,
              (Calls{"foreground", "process 333", "executable C:\\app32.exe", "per-monitor",
                     "cursor", "rect", "clip", "move 1918,1078", "restore", "notify", "next keyboard"}));
    EXPECT_TRUE(State().hidden);

    State().hidden = 0;
    FakeSystem::excludedExecutables = {"C:\\app32.exe"};
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"foreground", "process 333", "executable C:\\app32.exe",
                                        "next keyboard"}));
    EXPECT_FALSE(State().hidden);

    FakeSystem::processOpenable = false;
    Key('A');
    EXPECT_EQ(FakeSystem::calls[2], "per-monitor") << "a process not to be opened is not excluded";
    EXPECT_TRUE(State().hidden);

    State().hidden = 0;
    FakeSystem::foreground.hasCapture = true;
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"foreground", "next keyboard"})) << "a drag in progress";
    EXPECT_FALSE(State().hidden);

    // The program's own window in front, or none: its own capture and exclusion decide.
    for (DWORD front : {FakeSystem::kCurrentThread, DWORD(0)}) {
        FakeSystem::foreground.threadId = front;
        Key('A');
        EXPECT_EQ(FakeSystem::calls, (Calls{"foreground", "capture", "next keyboard"})) << front;
    }
}

// Store apps' keys come back like those of 32-bit applications, from a frame that one process
// draws for all of them.
TEST_F(HookLogic, StoreAppIsJudgedByTheApplicationInsideItsFrame)
{
    State().keyboardHook.threadId = FakeSystem::kCurrentThread;
    FakeSystem::foreground = {444, 555, false, FakeSystem::kFocusWindow};
    const std::string frameHost = "C:\\Windows\\System32\\ApplicationFrameHost.exe";
    const std::string app = "C:\\Program Files\\WindowsApps\\Calculator.exe";
    FakeSystem::executables = {{555, frameHost}, {666, app}};
    FakeSystem::hostedProcess = 666;
    FakeSystem::excludedExecutables = {app};
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"foreground", "process 555", "hosted", "process 666",
                                        "executable " + app, "next keyboard"}));
    EXPECT_FALSE(State().hidden);

    FakeSystem::excludedExecutables = {frameHost};
    Key('A');
    EXPECT_TRUE(State().hidden) << "the frame host on the list excludes no app";

    State().hidden = 0;
    FakeSystem::hostedProcess = 0;
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"foreground", "process 555", "hosted",
                                        "executable " + frameHost, "next keyboard"}))
        << "a frame with nothing of another process inside is its own";

    static_assert(vimlet::IsAppFrameHost(L"c:/windows/system32/applicationframehost.EXE"));
    static_assert(!vimlet::IsAppFrameHost("C:\\MyApplicationFrameHost.exe"));
}

// Nothing is parked that could not be put back, nor where the cursor cannot go.
TEST_F(HookLogic, HideDoesNothingWithoutACursorPositionOrWhenConfinedAwayFromTheParkingPoint)
{
    FakeSystem::cursorReadable = false;  // the input is on another desktop
    Key('A');
    EXPECT_EQ(FakeSystem::calls,
              (Calls{"capture", "exclusion", "per-monitor", "cursor", "restore", "next keyboard"}));
    EXPECT_FALSE(State().hidden);

    FakeSystem::cursorReadable = true;
    FakeSystem::clip = {100, 100, 1918, 1078};  // right and bottom are outside
    Key('A');
    EXPECT_EQ(FakeSystem::calls, (Calls{"capture", "exclusion", "per-monitor", "cursor", "rect",
                                        "clip", "restore", "next keyboard"}));
    EXPECT_FALSE(State().hidden);
    FakeSystem::clip = {1918, 1078, 1919, 1079};
    Key('A');
    EXPECT_TRUE(State().hidden) << "a confinement that holds the point";
}

TEST_F(HookLogic, RestoreThatStopsShortIsRepeatedOnlyOnce)
{
    Key('A');
    FakeSystem::movesStoppingShort = 2;
    Mouse({1, 1});
    EXPECT_EQ(FakeSystem::calls, (Calls{"per-monitor", "move 100,200", "cursor", "move 100,200",
                                        "restore", "next mouse"}));
    EXPECT_FALSE(State().hidden);
}

} // namespace
