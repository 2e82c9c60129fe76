#pragma once
// Where a test program runs: in the build folder or an unpacked test kit, under Wine or Windows.

#include <windows.h>

#include <string>

// A file beside the running test program: the build and the kit keep every program in one folder.
std::wstring BesideThisProgram(const std::wstring& fileName);

// Wine's version, or null on Windows. Tests that rely on a fact of Wine's ask this and say which.
const char* WineVersion();

// Where the tray icon uID 1 of a window is, once it is there. Wine, without a desktop's tray,
// shows the icons as the children of a window of its own and answers no location query:
// there it is the first visible one.
bool TrayIconPlace(HWND owner, RECT& place);
