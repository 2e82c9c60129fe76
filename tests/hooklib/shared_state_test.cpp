// The exports and the shared section of the real library, loaded in this process and in probe
// processes at once.
#include "ChildProcess.h"
#include "PeFile.h"
#include "Input.h"
#include "TestConstants.h"
#include "hook_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {

using vimlet::SharedHookState;

// A process of its own with the same copy of the library loaded.
class Probe : public ChildProcess {
public:
    explicit Probe(const std::wstring& library) : ChildProcess(BesideThisProgram(L"hook_probe.exe"), {library}) {}

    // Asked to end, not killed.
    ~Probe()
    {
        EXPECT_EQ(Ask("quit"), "bye");
        EXPECT_EQ(WaitForExit(), DWORD(0));
    }
    DWORD Thread() { return std::stoul(Ask("thread")); }
};

// The two hooks' handles and installing threads, to compare whole.
std::tuple<HHOOK, DWORD, HHOOK, DWORD> Hooks(const SharedHookState& s)
{
    return {s.mouseHook.handle, s.mouseHook.threadId, s.keyboardHook.handle, s.keyboardHook.threadId};
}

// Two hooks, one of each, both installed by the thread.
testing::AssertionResult InstalledBy(const SharedHookState& s, DWORD thread)
{
    const bool installed = s.mouseHook.handle && s.keyboardHook.handle && s.mouseHook.handle != s.keyboardHook.handle;
    return testing::AssertionResult(installed && s.mouseHook.threadId == thread && s.keyboardHook.threadId == thread)
           << testing::PrintToString(Hooks(s)) << " not all of thread " << thread;
}

class SharedState : public testing::Test {
protected:
    HookLibrary& Library() { return m_copy.Library(); }
    SharedHookState& State() { return Library().State(); }
    const std::wstring& LibraryPath() { return m_copy.Path(); }

    LibraryCopy m_copy;
};

TEST_F(SharedState, StartsAllZeroAndEachFlagIsSeenByEveryProcessAsStoredAndCodesOutsideTheTableChangeNothing)
{
    std::size_t size = 0;
    const auto* section = static_cast<const BYTE*>(FindLoadedSection(Library().Module(), "_vimlet_", &size));
    ASSERT_NE(section, nullptr);
    for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(section[i], 0) << "byte " << i;

    Probe first(LibraryPath());
    Probe second(LibraryPath());
    // A value of its own for each key, and not only 1: the byte is stored as given.
    for (int i = 0; i < 7; ++i) {
        const std::string vk = std::to_string(kKeysInProgramOrder[i]);
        EXPECT_EQ(Library()->is_suppressor(kKeysInProgramOrder[i]), 0) << vk;
        EXPECT_EQ(first.Ask("is " + vk), "0") << vk;
        EXPECT_EQ(first.Ask("set " + vk + " " + std::to_string(i + 2)), "ok");
    }
    for (int i = 0; i < 7; ++i) {
        const UINT vk = kKeysInProgramOrder[i];
        EXPECT_EQ(Library()->is_suppressor(vk), i + 2) << vk;
        EXPECT_EQ(second.Ask("is " + std::to_string(vk)), std::to_string(i + 2)) << vk;
        EXPECT_EQ(State().suppressor[vimlet::SuppressorIndex(vk)], i + 2) << vk;
    }

    Library()->set_suppressor(VK_LSHIFT, 0);
    EXPECT_EQ(first.Ask("is 160"), "0");

    // Values that no byte holds yet, so that any write shows.
    const SharedHookState before = State();
    for (UINT vk : {0u, 16u, 17u, 18u, 65u, 159u, 166u}) {
        Library()->set_suppressor(vk, 9);
        EXPECT_EQ(second.Ask("set " + std::to_string(vk) + " 10"), "ok");
        EXPECT_EQ(Library()->is_suppressor(vk), 0) << vk;
        EXPECT_EQ(second.Ask("is " + std::to_string(vk)), "0") << vk;
    }
    EXPECT_EQ(std::memcmp(&before, &State(), sizeof before), 0);
}

TEST_F(SharedState, EnableInstallsEachHookOnceAndAgainAfterDisableWhichLeavesAParkedCursorParked)
{
    State().hidden = 1;  // left set by an earlier run that ended while the cursor was parked
    Library()->enable();
    const SharedHookState first = State();
    EXPECT_EQ(first.hidden, 0) << "new hooks start with the cursor visible";
    EXPECT_TRUE(InstalledBy(first, GetCurrentThreadId()));

    State().hidden = 1;
    Library()->enable();
    EXPECT_EQ(Hooks(State()), Hooks(first));
    EXPECT_EQ(State().hidden, 1) << "the cursor stays parked under the hooks that parked it";

    // Another process that enables while the hooks are alive installs nothing either.
    Probe probe(LibraryPath());
    EXPECT_EQ(probe.Ask("enable"), "ok");
    EXPECT_EQ(State().hidden, 1);
    EXPECT_EQ(Hooks(State()), Hooks(first));

    const HWND parking = CreateHiddenWindow({1500, 900});
    ASSERT_NE(parking, nullptr);
    m_copy.Start(parking);  // installs nothing: the hooks are alive
    State().hidden = 0;
    ASSERT_TRUE(MoveCursorAside()) << CursorNow();
    Library()->hide();
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(State().hidePosition, (POINT{1500, 900}));
    EXPECT_EQ(State().savedCursor, kAside);

    Library()->disable();
    EXPECT_EQ(State().mouseHook.handle, nullptr);
    EXPECT_EQ(State().keyboardHook.handle, nullptr);
    EXPECT_TRUE(State().hidden);
    EXPECT_EQ(CursorNow(), (POINT{1500, 900}));
    EXPECT_EQ(State().parkingWindow, parking);
    // Another process can still put it back.
    EXPECT_EQ(probe.Ask("show"), "ok");
    EXPECT_FALSE(State().hidden);
    EXPECT_EQ(CursorNow(), kAside);

    // Gone for the system too: neither old hook runs, or a mouse message would show the cursor
    // marked parked and a key would park it. (Not asked of UnhookWindowsHookEx: Wine frees a hook
    // unhooked amid some thread's call of its chain only once that call ends.)
    State().hidden = 1;
    ASSERT_TRUE(MoveCursorAside()) << CursorNow();
    EXPECT_EQ(State().hidden, 1) << "the mouse hook ran";
    State().hidden = 0;
    TestWindow window(L"Vimlet test keys");
    window.TypeKey('A');
    ASSERT_TRUE(WaitUntil([&] { return window.KeyDowns() == 1; }));
    EXPECT_EQ(State().hidden, 0) << "the keyboard hook ran";

    EXPECT_EQ(probe.Ask("enable"), "ok");
    EXPECT_TRUE(InstalledBy(State(), probe.Thread()));
    EXPECT_EQ(probe.Ask("disable"), "ok");
    DestroyWindow(parking);
}

TEST_F(SharedState, SetupFromAnyProcessStoresOneJoinedPathAndRefusesADirectoryTooLongOrEmpty)
{
    Probe probe(LibraryPath());
    const std::wstring expected = L"C:\\Users\\ユーザー\\Vimlet/excludeapp.txt";
    for (const char* directory : {"C:\\Users\\ユーザー\\Vimlet", "C:\\Users\\ユーザー\\Vimlet\\",
                                  "\"C:\\Users\\ユーザー\\Vimlet\""}) {
        SCOPED_TRACE(directory);
        std::memset(State().excludeListPath, 0xCC, sizeof State().excludeListPath);
        EXPECT_EQ(probe.Ask(std::string("setup 0x1234 ") + directory), "ok");
        EXPECT_EQ(std::wstring(State().excludeListPath), expected);
        EXPECT_EQ(State().parkingWindow, reinterpret_cast<HWND>(0x1234));
    }
    // A later call replaces both.
    EXPECT_EQ(probe.Ask("setup 0x5678 D:\\x"), "ok");
    EXPECT_EQ(std::wstring(State().excludeListPath), L"D:\\x/excludeapp.txt");
    EXPECT_EQ(State().parkingWindow, reinterpret_cast<HWND>(0x5678));
    // Nothing else is touched.
    EXPECT_EQ(State().hidden, 0);
    EXPECT_EQ(State().mouseHook.handle, nullptr);

    // "/excludeapp.txt" adds 15 code units; the terminator needs one of the 260. No directory (no
    // application-data folder) is no list, not "/excludeapp.txt" at a root.
    const std::wstring fits = L"C:\\" + std::wstring(259 - 15 - 3, L'd');
    for (const std::string& refused :
         {"C:\\" + std::string(259 - 15 - 3 + 1, 'd'), std::string(), "C:\\" + std::string(400, 'x')}) {
        Library()->setup(nullptr, fits.c_str());
        EXPECT_EQ(std::wstring(State().excludeListPath), fits + L"/excludeapp.txt");
        EXPECT_EQ(probe.Ask("setup 0 " + refused), "ok");
        EXPECT_EQ(std::wstring(State().excludeListPath), L"") << refused.size();
    }
}

TEST_F(SharedState, StaleHooksAreReplacedByTheNextEnableWhichLeavesThemToTheNext)
{
    // This process keeps the section alive throughout, as any hooked application may.
    DWORD installer;
    {
        Probe first(LibraryPath());
        installer = first.Thread();
        EXPECT_EQ(first.Ask("enable"), "ok");
    }
    ASSERT_TRUE(InstalledBy(State(), installer)) << "left behind";

    Probe second(LibraryPath()), third(LibraryPath());
    const DWORD owner = second.Thread();
    const HHOOK old = reinterpret_cast<HHOOK>(0x99);
    // Those of the installer that ended; of an id no thread has; of this running thread, but born
    // at another time than the one that installed them, as when an id comes round again.
    for (const vimlet::InstalledHook stale : {State().keyboardHook, vimlet::InstalledHook{old, 0x7FFFFFFC, 0},
                                              vimlet::InstalledHook{old, GetCurrentThreadId(), 1}}) {
        SCOPED_TRACE(stale.threadId);
        State().mouseHook = State().keyboardHook = stale;
        State().hidden = 1;
        EXPECT_EQ(second.Ask("enable"), "ok");
        const SharedHookState mended = State();
        EXPECT_TRUE(InstalledBy(mended, owner));
        EXPECT_NE(mended.mouseHook.handle, old);
        EXPECT_NE(mended.keyboardHook.handle, old);
        EXPECT_NE(mended.keyboardHook.threadCreationTime, stale.threadCreationTime);
        EXPECT_EQ(mended.hidden, 0);
        EXPECT_EQ(third.Ask("enable"), "ok");
        EXPECT_EQ(Hooks(State()), Hooks(mended));
        EXPECT_EQ(second.Ask("disable"), "ok");
    }
}

} // namespace
