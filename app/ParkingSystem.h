#pragma once
// The system calls behind the parking window's decisions (ParkingLogic.h).

#include "ParkingLogic.h"

struct ParkingSystem {
    static HWND TopWindow();
    static HWND NextWindow(HWND window);
    static bool IsVisible(HWND window);
    static bool IsCloaked(HWND window);
    static SIZE PrimarySize();
    static vimlet::FrontWindow Foreground();
    static QUERY_USER_NOTIFICATION_STATE NotificationState();
    static void Place(HWND window, const RECT& rect, bool raise);
};
