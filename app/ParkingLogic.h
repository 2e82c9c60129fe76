#pragma once
// What the parking window decides, written against a small system interface so that the
// decisions can be driven without a desktop. Sys supplies:
//   static HWND TopWindow();                       // GetTopWindow(null): the top of the z-order
//   static HWND NextWindow(HWND);                  // GetWindow(GW_HWNDNEXT)
//   static bool IsVisible(HWND);                   // IsWindowVisible
//   static bool IsCloaked(HWND);                   // DwmGetWindowAttribute(DWMWA_CLOAKED)
//   static SIZE PrimarySize();                     // GetSystemMetrics(SM_CXSCREEN, SM_CYSCREEN)
//   static FrontWindow Foreground();               // GetForegroundWindow, its style, rectangle, monitor
//   static QUERY_USER_NOTIFICATION_STATE NotificationState();  // SHQueryUserNotificationState
//   static void Place(HWND, const RECT&, bool raise);  // SetWindowPos, topmost or z-order kept

#include <windows.h>

#include <shellapi.h>

namespace vimlet {

// One pixel in from the bottom-right corner of the primary monitor, which starts at (0, 0).
constexpr RECT CornerOf(SIZE primary)
{
    return {primary.cx - 2, primary.cy - 2, primary.cx - 1, primary.cy - 1};
}

constexpr bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

constexpr bool Covers(const RECT& outer, const RECT& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

// The rectangle a move reported in WM_WINDOWPOSCHANGED leaves; a change of z-order alone keeps it.
constexpr RECT AfterMove(RECT rect, const WINDOWPOS& pos)
{
    if (!(pos.flags & SWP_NOMOVE)) rect = {pos.x, pos.y, pos.x + rect.right - rect.left, pos.y + rect.bottom - rect.top};
    if (!(pos.flags & SWP_NOSIZE)) rect = {rect.left, rect.top, rect.left + pos.cx, rect.top + pos.cy};
    return rect;
}

// The foreground window as the full-screen test sees it; exists is false when there is none.
struct FrontWindow {
    bool exists;
    bool topmost;
    RECT rect;
    bool onPrimary;  // its nearest monitor is the primary
};

// Raised over a full-screen game, a topmost window makes many games leave full screen: only one
// on the parking window's own monitor holds the raise back. An exclusive Direct3D application
// names no monitor: it shows on the monitor of its window, which has the foreground (with none,
// it is taken to be on ours). The user's
// presentation setting puts nothing on screen and holds nothing back.
constexpr bool FullScreenOnOwnMonitor(const FrontWindow& front, QUERY_USER_NOTIFICATION_STATE state, SIZE primary)
{
    if (front.exists && front.topmost && Covers(front.rect, RECT{0, 0, primary.cx, primary.cy})) return true;
    return state == QUNS_RUNNING_D3D_FULL_SCREEN && (!front.exists || front.onPrimary);
}

// Keeps the window in its corner and above every other window on screen, touching it only when
// it has left either place. Invisible and cloaked windows (a suspended Store app, a window on
// another virtual desktop) are not on screen and do not count.
template <class Sys>
class ParkingPlacement {
public:
    void Attach(HWND window) { m_window = window; }

    // WM_WINDOWPOSCHANGED: whoever moved the window, it is known without asking.
    void Moved(const WINDOWPOS& pos) { m_rect = AfterMove(m_rect, pos); }

    // Above every window, hidden ones too, as the hooks' WM_NULL asks: on top and in its corner,
    // as it nearly always is, it costs one call. Going past hidden windows above it (Windows keeps
    // hidden topmost tooltips and menus there) makes the next answers cost one call again.
    void RiseAboveAll()
    {
        if (!SameRect(m_rect, m_corner) || Sys::TopWindow() != m_window) Place(true);
    }

    // Back in its corner, and above every window on screen: a hidden one above it makes it not rise.
    void RiseAboveVisible() { Place(false); }

    // Top of the z-order, in the corner, whatever lies above.
    void MoveToCorner()
    {
        m_corner = CornerOf(Sys::PrimarySize());
        Sys::Place(m_window, m_corner, true);
    }

private:
    void Place(bool evenOverHidden)
    {
        const SIZE primary = Sys::PrimarySize();
        m_corner = CornerOf(primary);
        const bool inCorner = SameRect(m_rect, m_corner);
        if (inCorner && !evenOverHidden && !Covered()) return;
        const FrontWindow front = Sys::Foreground();
        if (!FullScreenOnOwnMonitor(front, Sys::NotificationState(), primary))
            Sys::Place(m_window, m_corner, true);
        else if (!inCorner)
            Sys::Place(m_window, m_corner, false);
    }

    bool Covered() const
    {
        for (HWND window = Sys::TopWindow(); window && window != m_window; window = Sys::NextWindow(window)) {
            if (Sys::IsVisible(window) && !Sys::IsCloaked(window)) return true;
        }
        return false;
    }

    HWND m_window = nullptr;
    RECT m_rect{};
    RECT m_corner{-1, -1, -1, -1};  // none until the first placement
};

} // namespace vimlet
