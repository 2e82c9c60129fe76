// The hooks' decisions, driven through a fake system: which system calls happen, in what order.
#include "CallLog.h"
#include "Input.h"
#include "TestConstants.h"
#include "hook_logic.h"

#include <gtest/gtest.h>
#include <windowsx.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {

using namespace vimlet;

const HWND kParkingWindow = reinterpret_cast<HWND>(0x1234);
constexpr POINT kParkingPoint{1918, 1078};
constexpr DWORD kCurrentThread = 222;
const DpiContext kApplicationDpi = reinterpret_cast<DpiContext>(0x11);
const HWND kFocusWindow = reinterpret_cast<HWND>(0x5678);
const HWND kUnderSavedPoint = reinterpret_cast<HWND>(77);

// What the fake system holds and answers, fresh for each test. The hooks were installed by the
// program's thread, not this one.
struct FakeWorld {
    SharedHookState state{.suppressor = {}, .hidden = 0, .hidePosition = {}, .savedCursor = {},
                          .mouseHook = {reinterpret_cast<HHOOK>(2), 0, 0},
                          .keyboardHook = {reinterpret_cast<HHOOK>(1), 111, 0},
                          .parkingWindow = kParkingWindow, .excludeListPath = {}};
    CallLog calls;
    std::set<int> keysDown;
    bool capture = false;
    bool excluded = false;
    bool parkingWindowReadable = true;
    POINT cursor{100, 200};
    bool cursorReadable = true;
    RECT clip{0, 0, 1920, 1080};
    int movesStoppingShort = 0;
    ForegroundThread foreground{kCurrentThread, 333, false, kFocusWindow};
    bool processOpenable = true;
    std::map<DWORD, std::string> executables{{333, "C:\\app32.exe"}};
    DWORD hostedProcess = 0;
    std::set<std::string> excludedExecutables;
    std::set<int> threadKeysDown;
    HWND underSavedPoint = kUnderSavedPoint;
    POINT windowPixels{100, 200};
};

std::string Text(POINT p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
std::string Text(HWND window) { return std::to_string(reinterpret_cast<UINT_PTR>(window)); }

struct FakeSystem {
    static inline FakeWorld world;

    template <class Answer>
    static Answer Log(const std::string& call, Answer answer) { return world.calls.Record(call, answer); }

    static SharedHookState& State() { return world.state; }
    static bool KeyIsDown(int vk) { return Log("key " + std::to_string(vk), world.keysDown.count(vk) != 0); }
    static bool ThreadHasCapture() { return Log("capture", world.capture); }
    static bool ExclusionAllowsHiding() { return Log("exclusion", !world.excluded); }
    static DpiContext UsePhysicalPixels() { return Log("per-monitor", kApplicationDpi); }
    static void RestoreDpi(DpiContext previous)
    {
        EXPECT_EQ(previous, kApplicationDpi);
        world.calls.Record("restore");
    }
    static bool CursorPosition(POINT* p)
    {
        *p = world.cursorReadable ? world.cursor : POINT{-1, -1};
        return Log("cursor", world.cursorReadable);
    }
    static void MoveCursor(POINT p)
    {
        world.calls.Record("move " + Text(p));
        world.cursor = world.movesStoppingShort-- > 0 ? POINT{p.x / 2, p.y} : p;
    }
    static bool CursorClip(RECT* r)
    {
        *r = world.clip;
        return Log("clip", true);
    }
    static bool WindowTopLeft(HWND window, POINT* p)
    {
        world.calls.Record("rect");
        if (window != kParkingWindow || !world.parkingWindowReadable) return false;
        *p = kParkingPoint;
        return true;
    }
    static void NotifyParkingWindow(HWND window)
    {
        EXPECT_EQ(window, kParkingWindow);
        EXPECT_TRUE(world.state.hidden) << "set before the wait, in which the application may end";
        world.calls.Record("notify");
    }
    static LRESULT CallNextHook(HHOOK hook, int, WPARAM, LPARAM)
    {
        return Log(hook == world.state.keyboardHook.handle ? "next keyboard" : "next mouse", LRESULT(7));
    }
    static DWORD CurrentThreadId() { return kCurrentThread; }
    static ForegroundThread Foreground() { return Log("foreground", world.foreground); }
    static bool ProcessExecutable(DWORD processId, char (&path)[vimlet::kPathCapacity])
    {
        strcpy(path, world.executables[processId].c_str());
        return Log("process " + std::to_string(processId), world.processOpenable);
    }
    static DWORD HostedProcess(HWND window)
    {
        EXPECT_EQ(window, kFocusWindow);
        return Log("hosted", world.hostedProcess);
    }
    static bool ExecutableAllowsHiding(const char* path)
    {
        return Log(std::string("executable ") + path, !world.excludedExecutables.count(path));
    }
    static bool ThreadKeyIsDown(int vk) { return world.threadKeysDown.count(vk) != 0; }
    static HWND WindowAt(POINT p) { return Log("window at " + Text(p), world.underSavedPoint); }
    static POINT InWindowPixels(HWND window, POINT p)
    {
        return Log("pixels in " + Text(window) + " of " + Text(p), world.windowPixels);
    }
    static void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        world.calls.Record(std::string(message == WM_MOUSEWHEEL ? "wheel" : "hwheel") + " to " + Text(window) +
                           ": keys " + std::to_string(GET_KEYSTATE_WPARAM(wParam)) + " delta " +
                           std::to_string(GET_WHEEL_DELTA_WPARAM(wParam)) + " at " +
                           Text({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
    }
};

using Hooks = vimlet::HookLogic<FakeSystem>;

constexpr LPARAM kKeyDown = 0x001E0001;
constexpr LPARAM kKeyUp = LPARAM(0xC01E0001);

FakeWorld& fake = FakeSystem::world;

void SetFlag(UINT vk) { fake.state.suppressor[vimlet::SuppressorIndex(vk)] = 1; }

template <WPARAM vk, LPARAM flags = kKeyDown, int code = HC_ACTION>
LRESULT Key()
{
    fake.calls.Take();
    return Hooks::OnKeyboard(code, vk, flags);
}

// A mouse message for the window the system routed it to; a wheel's delta with it.
LRESULT Mouse(POINT pt, int code = HC_ACTION, WPARAM message = WM_MOUSEMOVE, short delta = 0,
              HWND to = kParkingWindow)
{
    fake.calls.Take();
    MOUSEHOOKSTRUCTEX info{{pt, to, 0, 0}, static_cast<DWORD>(static_cast<WORD>(delta)) << 16};
    return Hooks::OnMouse(code, message, reinterpret_cast<LPARAM>(&info));
}

LRESULT WheelDown() { return Mouse(kParkingPoint, HC_ACTION, WM_MOUSEWHEEL, -WHEEL_DELTA); }

Calls Concat(Calls first, const Calls& then)
{
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// Coordinates in physical pixels, the application's own context back before the message and the
// next hook.
const Calls kPark = {"per-monitor", "cursor", "rect", "clip", "move 1918,1078", "restore", "notify", "next keyboard"};
const Calls kHide = Concat({"capture", "exclusion"}, kPark);
const Calls kRestore = {"per-monitor", "move 100,200", "cursor", "restore", "next mouse"};
const Calls kJump = {"key 17", "key 18", "per-monitor", "rect", "move 1918,1078", "restore"};
// The wheel goes on, posted, in the pixels of the window under the saved point, and stops there.
Calls PassedOn(const std::string& post)
{
    return {"per-monitor", "window at 100,200", "pixels in 77 of 100,200", post, "restore"};
}
const Calls kNowhereToPass = {"per-monitor", "window at 100,200", "restore", "next mouse"};
const std::string kFrameHost = "C:\\Windows\\System32\\ApplicationFrameHost.exe";
const std::string kStoreApp = "C:\\Program Files\\WindowsApps\\Calculator.exe";

void Nothing() {}
void Parked() { Key<'A'>(); }
void CtrlAltHeld() { fake.keysDown = {VK_CONTROL, VK_MENU}; }
void FlagsOfSomeSuppressors() { for (UINT vk : {VK_SPACE, VK_RMENU, VK_RSHIFT, VK_LMENU, VK_LSHIFT}) SetFlag(vk); }
void FlagsOfAllSuppressors() { for (UINT vk : kKeysInProgramOrder) SetFlag(vk); }

// Keys of 32-bit applications reach the 64-bit hook as calls back into the installing thread.
void CalledBack()
{
    fake.state.keyboardHook.threadId = kCurrentThread;
    fake.foreground = {444, 333, false, kFocusWindow};
    fake.excluded = true;  // the program's own executable and capture: beside the point here
    fake.capture = true;
}

// Store apps' keys come back like those of 32-bit applications, from a frame that one process
// draws for all of them.
void StoreAppCalledBack()
{
    CalledBack();
    fake.foreground.processId = 555;
    fake.executables = {{555, kFrameHost}, {666, kStoreApp}};
    fake.hostedProcess = 666;
    fake.excludedExecutables = {kStoreApp};
}

// One event after an arrangement: it goes on to the next hook, with these system calls in this
// order, and leaves the cursor parked or not. Nothing is parked that could not be put back, nor
// where the cursor cannot go.
struct EventCase {
    const char* name;
    void (*arrange)();
    LRESULT (*event)();
    Calls calls;
    bool parked;
    LRESULT result = 7;
};

const EventCase kEventCases[] = {
    {"key down without flags parks without asking for key state", Nothing, Key<'A'>, kHide, true},
    {"HC_NOREMOVE is handled like HC_ACTION", Nothing, Key<'A', kKeyDown, HC_NOREMOVE>, kHide, true},
    {"key up", Nothing, Key<'A', kKeyUp>, {"next keyboard"}, false},
    {"negative code", Nothing, Key<VK_NUMPAD5, kKeyDown, -1>, {"next keyboard"}, false},
    // The suppressors flagged are queried in their order until the first that is down; the
    // exclusion check comes after every veto.
    {"some suppressors flagged", FlagsOfSomeSuppressors, Key<'A'>,
     Concat({"key 160", "key 164", "key 161", "key 165", "key 32"}, kHide), true},
    {"all suppressors flagged", FlagsOfAllSuppressors, Key<'A'>,
     Concat({"key 160", "key 162", "key 164", "key 161", "key 163", "key 165", "key 32"}, kHide), true},
    {"a flagged suppressor held", [] { FlagsOfAllSuppressors(); fake.keysDown = {VK_RSHIFT, VK_SPACE}; }, Key<'A'>,
     {"key 160", "key 162", "key 164", "key 161", "next keyboard"}, false},
    {"key while parked", [] { Parked(); SetFlag(VK_LSHIFT); }, Key<'A'>, {"next keyboard"}, true},
    {"held key with a clear flag", [] { SetFlag(VK_LSHIFT); fake.keysDown = {VK_RSHIFT}; }, Key<'A'>,
     Concat({"key 160"}, kHide), true},
    {"a suppressor's own key-down, still held", [] { SetFlag(VK_LSHIFT); fake.keysDown = {VK_LSHIFT}; },
     Key<VK_LSHIFT>, {"key 160", "next keyboard"}, false},
    {"capture", [] { fake.capture = true; }, Key<'A'>, {"capture", "next keyboard"}, false},
    {"exclusion", [] { fake.excluded = true; }, Key<'A'>, {"capture", "exclusion", "next keyboard"}, false},
    {"unreadable parking window moves nothing", [] { fake.parkingWindowReadable = false; }, Key<'A'>,
     {"capture", "exclusion", "per-monitor", "cursor", "rect", "restore", "next keyboard"}, false},
    {"no cursor position: the input is on another desktop", [] { fake.cursorReadable = false; }, Key<'A'>,
     {"capture", "exclusion", "per-monitor", "cursor", "restore", "next keyboard"}, false},
    {"confined away from the parking point", [] { fake.clip = {100, 100, 1918, 1078}; }, Key<'A'>,
     {"capture", "exclusion", "per-monitor", "cursor", "rect", "clip", "restore", "next keyboard"}, false},
    {"confined to a rectangle that holds the point", [] { fake.clip = {1918, 1078, 1919, 1079}; }, Key<'A'>, kHide,
     true},
    // Not jump keys: they go the way of any other key.
    {"Ctrl+Alt+keypad 0", CtrlAltHeld, Key<VK_NUMPAD0>, kHide, true},
    {"Ctrl+Alt+End", CtrlAltHeld, Key<VK_END>, kHide, true},
    {"Ctrl+Alt+Clear", CtrlAltHeld, Key<VK_CLEAR>, kHide, true},
    {"Ctrl+Alt+5", CtrlAltHeld, Key<'5'>, kHide, true},
    {"Ctrl+keypad 5", [] { fake.keysDown = {VK_CONTROL}; }, Key<VK_NUMPAD5>,
     Concat({"key 17", "key 18"}, kHide), true},
    // Jump keys move the cursor onto the parking point, which is no hide, and go no further.
    {"jump: keypad 1 down", CtrlAltHeld, Key<VK_NUMPAD1>, kJump, false, 1},
    {"jump: keypad 1 up", CtrlAltHeld, Key<VK_NUMPAD1, kKeyUp>, kJump, false, 1},
    {"jump: keypad 5 down", CtrlAltHeld, Key<VK_NUMPAD5>, kJump, false, 1},
    {"jump: keypad 5 up", CtrlAltHeld, Key<VK_NUMPAD5, kKeyUp>, kJump, false, 1},
    {"jump: keypad 9 down", CtrlAltHeld, Key<VK_NUMPAD9>, kJump, false, 1},
    {"jump: keypad 9 up", CtrlAltHeld, Key<VK_NUMPAD9, kKeyUp>, kJump, false, 1},
    {"jump: unreadable parking window, still swallowed", [] { CtrlAltHeld(); fake.parkingWindowReadable = false; },
     Key<VK_NUMPAD5>, {"key 17", "key 18", "per-monitor", "rect", "restore"}, false, 1},
    {"mouse at the hide position keeps it parked", Parked, [] { return Mouse({1918, 1078}); }, {"next mouse"}, true},
    {"mouse a pixel above restores", Parked, [] { return Mouse({1918, 1077}); }, kRestore, false},
    {"mouse a pixel left restores", Parked, [] { return Mouse({1917, 1078}); }, kRestore, false},
    {"a visible cursor is left alone", Nothing, [] { return Mouse({5, 5}); }, {"next mouse"}, false},
    {"mouse with a negative code", Parked, [] { return Mouse({1, 1}, -1); }, {"next mouse"}, true},
    {"a jump while parked keeps the saved position", [] { Parked(); CtrlAltHeld(); Key<VK_NUMPAD5>(); },
     [] { return Mouse({1, 1}); }, kRestore, false},
    {"a restore that stops short is repeated only once", [] { Parked(); fake.movesStoppingShort = 2; },
     [] { return Mouse({1, 1}); }, {"per-monitor", "move 100,200", "cursor", "move 100,200", "restore", "next mouse"},
     false},
    {"wheel while parked", Parked, WheelDown, PassedOn("wheel to 77: keys 0 delta -120 at 100,200"), true, 1},
    {"horizontal wheel with keys and buttons held",
     [] { Parked(); fake.threadKeysDown = {VK_SHIFT, VK_LBUTTON, VK_XBUTTON2}; },
     [] { return Mouse(kParkingPoint, HC_ACTION, WM_MOUSEHWHEEL, 2 * WHEEL_DELTA); },
     PassedOn("hwheel to 77: keys 69 delta 240 at 100,200"), true, 1},
    // Its pixels are logical where it is not DPI-aware, negative left of and above the primary.
    {"wheel in the window's own pixels", [] { Parked(); fake.windowPixels = {-500, -20}; }, WheelDown,
     PassedOn("wheel to 77: keys 0 delta -120 at -500,-20"), true, 1},
    // Capture or focus routing would have sent it there with the cursor at the saved point too.
    {"wheel the system sent elsewhere", Parked,
     [] { return Mouse(kParkingPoint, HC_ACTION, WM_MOUSEWHEEL, -WHEEL_DELTA, kFocusWindow); }, {"next mouse"}, true},
    {"wheel with the saved point on the parking window", [] { Parked(); fake.underSavedPoint = kParkingWindow; },
     WheelDown, kNowhereToPass, true},
    {"wheel with no window under the saved point", [] { Parked(); fake.underSavedPoint = nullptr; }, WheelDown,
     kNowhereToPass, true},
    {"a wheel peeked at goes on when taken", Parked,
     [] { return Mouse(kParkingPoint, HC_NOREMOVE, WM_MOUSEWHEEL, -WHEEL_DELTA); }, {"next mouse"}, true},
    {"a click on the parking window stays there", Parked,
     [] { return Mouse(kParkingPoint, HC_ACTION, WM_LBUTTONDOWN); }, {"next mouse"}, true},
    {"wheel at the last hide position with the cursor back", [] { Parked(); Mouse({1, 1}); }, WheelDown,
     {"next mouse"}, false},
    {"called back: judged by the foreground application", CalledBack, Key<'A'>,
     Concat({"foreground", "process 333", "executable C:\\app32.exe"}, kPark), true},
    {"called back: excluded", [] { CalledBack(); fake.excludedExecutables = {"C:\\app32.exe"}; }, Key<'A'>,
     {"foreground", "process 333", "executable C:\\app32.exe", "next keyboard"}, false},
    {"called back: a process not to be opened is not excluded",
     [] { CalledBack(); fake.excludedExecutables = {"C:\\app32.exe"}; fake.processOpenable = false; }, Key<'A'>,
     Concat({"foreground", "process 333"}, kPark), true},
    {"called back: a drag in progress", [] { CalledBack(); fake.foreground.hasCapture = true; }, Key<'A'>,
     {"foreground", "next keyboard"}, false},
    // The program's own window in front, or none: its own capture and exclusion decide.
    {"called back: the program's window in front", [] { CalledBack(); fake.foreground.threadId = kCurrentThread; },
     Key<'A'>, {"foreground", "capture", "next keyboard"}, false},
    {"called back: nothing in front", [] { CalledBack(); fake.foreground.threadId = 0; }, Key<'A'>,
     {"foreground", "capture", "next keyboard"}, false},
    {"Store app: judged by the app inside its frame", StoreAppCalledBack, Key<'A'>,
     {"foreground", "process 555", "hosted", "process 666", "executable " + kStoreApp, "next keyboard"}, false},
    {"Store app: the frame host on the list excludes no app",
     [] { StoreAppCalledBack(); fake.excludedExecutables = {kFrameHost}; }, Key<'A'>,
     Concat({"foreground", "process 555", "hosted", "process 666", "executable " + kStoreApp}, kPark), true},
    {"Store app: a frame with nothing of another process inside is its own",
     [] { StoreAppCalledBack(); fake.excludedExecutables = {kFrameHost}; fake.hostedProcess = 0; }, Key<'A'>,
     {"foreground", "process 555", "hosted", "executable " + kFrameHost, "next keyboard"}, false},
};

TEST(HookLogic, EachEventMakesTheSystemCallsOfItsCase)
{
    for (const EventCase& c : kEventCases) {
        SCOPED_TRACE(c.name);
        fake = {};
        c.arrange();
        const SharedHookState before = fake.state;
        EXPECT_EQ(c.event(), c.result);
        EXPECT_EQ(fake.calls.Recorded(), c.calls);
        EXPECT_EQ(fake.state.hidden != 0, c.parked);
        EXPECT_EQ(fake.state.hidePosition, c.parked ? kParkingPoint : before.hidePosition) << "set by a hide only";
        EXPECT_EQ(fake.state.savedCursor, c.parked ? (POINT{100, 200}) : before.savedCursor) << "set by a hide only";
    }
    static_assert(vimlet::IsAppFrameHost(L"c:/windows/system32/applicationframehost.EXE"));
    static_assert(!vimlet::IsAppFrameHost("C:\\MyApplicationFrameHost.exe"));
}

// Called directly, as the library's export does, not behind the keyboard hook's own check.
TEST(HookLogic, HideLeavesAParkedCursorAlone)
{
    fake = {};
    Parked();
    fake.calls.Take();
    Hooks::Hide();
    EXPECT_TRUE(fake.calls.Recorded().empty());
}

} // namespace
