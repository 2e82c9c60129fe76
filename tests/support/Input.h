#pragma once
// What the tests drive and watch: keys and mouse moves through SendInput, and applications in
// processes of their own that report each input message they receive to a window of this
// process, where it joins the events in the order this process saw them.

#include "ChildProcess.h"
#include "InputReport.h"

#include <windows.h>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Where gtest looks for them: beside POINT itself.
inline bool operator==(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }
inline std::ostream& operator<<(std::ostream& out, POINT p)
{
    return out << '(' << p.x << ", " << p.y << ')';
}

// What this process saw, in order: the parking window's WM_NULL and the applications' reports.
struct Event {
    bool parkingNull;
    InputReport report;
    bool senderWaits;  // for WM_NULL: sent, not posted, and not yet answered
};

extern std::vector<Event> g_events;

POINT CursorNow();

// Key events in one batch: each a decimal virtual-key code, with a leading '-' for a key-up
// and a trailing 'x' for an extended key (Wine tells a right-hand Shift from the left one by
// that flag).
void SendKeys(const std::string& keys);

// The mouse moved as a user would, to a point in screen pixels; a double click there.
void MoveMouse(POINT point);
void DoubleClickAt(POINT point);

// A message-only window that adds the applications' reports to g_events.
HWND CreateReportWindow();

// An application window in a process of its own, which reports what it receives.
class Target : public ChildProcess {
public:
    // Throws std::runtime_error when the application does not start.
    Target(HWND report, RECT place, const std::wstring& program = BesideThisProgram(L"target_app.exe"),
           bool dpiUnaware = false, const std::wstring& title = L"Vimlet test target", bool hidden = false);

    // Wine hands keyboard input to its foreground window, and a window shown since may have
    // taken that place.
    void Activate();

    POINT Inside() const { return {(m_place.left + m_place.right) / 2, (m_place.top + m_place.bottom) / 2}; }

private:
    RECT m_place;
};

// The application's nth report of this message (and key): where in the events (-1 if none),
// and, once it has come, the report.
std::ptrdiff_t FindReport(const ChildProcess& app, UINT message, WPARAM vk = 0, int nth = 1);
InputReport AwaitReport(const ChildProcess& app, UINT message, WPARAM vk = 0, int nth = 1);
int CountReports(const ChildProcess& app, UINT message, WPARAM vk = 0);
bool SawKey(const ChildProcess& app, WPARAM vk);  // any message of the key
// Moves the mouse to the point and waits until the application has taken that move, not an
// earlier one still on its way: its hooks have run by then. What the application reported.
InputReport MoveMouseOver(Target& app, POINT point);
// Types the keys into the application through the real hooks, with the cursor shown over it and
// the keyboard with it, and again when another window took the front meanwhile. Every key must
// arrive once and in order, with the application in front. Whether each key-down found the
// cursor on the parking window's real position: every one (true), none (false) or some (nothing).
std::optional<bool> TypingParks(Target& app, HWND parking, const std::vector<WORD>& keys = {'P', 'R', 'O', 'B', 'E'});
// Ctrl+Alt+key into the application, then a sentinel key while Ctrl and Alt are still down,
// which the application must have had before Ctrl and Alt go up: the hooks ask for the key state
// when the application takes a key, by which time the system's has run ahead to the last key
// sent. Under Wine, where Windows has a live key state, a thread takes a key it last saw up as up
// for 50 ms, from a cache that only input sent by its own process clears: the chord starts once
// that time has passed.
void PressWithCtrlAlt(Target& app, WORD vk, WORD sentinel = 'Q');
void SendKey(WORD vk);  // down and up
// Presses the key and waits until the application has had it go up; the cursor at the key-down.
POINT Type(WORD vk, Target& app);

// A visible window of this process, where a test types, counting the key-downs it receives.
class TestWindow {
public:
    explicit TestWindow(const wchar_t* title);
    ~TestWindow() { DestroyWindow(m_window); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return m_window; }
    int KeyDowns() const { return m_keyDowns; }
    // Brings the window to the front, then presses and releases the key.
    void TypeKey(WORD vk);

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    int m_keyDowns = 0;
};

bool IsAbove(HWND a, HWND b);  // in the z-order of top-level windows
std::string ZOrder();          // the top-level windows from the top, for a failure's message

// The first monitor that is not the primary; an empty rectangle when there is none.
RECT SecondMonitor();

// Where the tests start the cursor: on a window of a thread of its own, which reads its input
// only while a test puts the cursor there and then stops until the next test does. Pointer
// movement under Wine leaves work behind for the window it lands on, and that work must not
// fall into the middle of a test:
// - the mouse message of the move itself, which the hooks see whenever that window's thread
//   takes it; after a hide, it would put the cursor back;
// - X's word on the keys held down (nothing: every key here is injected), which Wine adopts
//   when that thread next reads its X events; during a test, it would release a held modifier.
constexpr POINT kAside{960, 800};
// One window for the whole run. Made before a test's applications: a window shown later may
// take the keyboard focus from the application in front.
void ShowAsideWindow();
// Moves the cursor onto that window; true once its thread has taken the mouse message (and the
// hooks have seen it).
bool MoveCursorAside();

// A one-pixel window at the point that is never shown, as a parking window: a hidden window goes
// without waiting for a window manager.
HWND CreateHiddenWindow(POINT at);
// A one-pixel topmost window at the point, shown without taking the focus, as a parking window
// that the system routes mouse input to and that drops what it gets.
HWND ShowParkingWindow(POINT at);

// Such a parking window on a thread of its own, which holds each WM_NULL it is sent until
// released, or for twice the tests' patience.
class StallingParkingWindow {
public:
    explicit StallingParkingWindow(POINT pixel);
    ~StallingParkingWindow();
    StallingParkingWindow(const StallingParkingWindow&) = delete;
    StallingParkingWindow& operator=(const StallingParkingWindow&) = delete;

    HWND Window() const { return m_window; }
    bool AwaitHeldMessage() { return WaitForSingleObject(m_held, kPatience) == WAIT_OBJECT_0; }
    bool Answered() const { return WaitForSingleObject(m_answered, 0) == WAIT_OBJECT_0; }
    void Release() { SetEvent(m_release); }

private:
    static DWORD WINAPI Run(void* self);
    static LRESULT CALLBACK Hold(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR self);

    POINT m_pixel;
    HANDLE m_held, m_release, m_answered, m_created;
    DWORD m_threadId = 0;
    HANDLE m_thread;
    HWND m_window = nullptr;
};
