#pragma once
// What the tests expect of the program, written out once: its window titles, the parking
// pixel on the test screen, the suppressor keys in the program's order.

#include <windows.h>

#include <array>

constexpr wchar_t kProgramTitle[] = L"Vimlet";  // the parking window's and the settings dialog's
constexpr wchar_t kAddTitle[] = L"Vimletを無効にするアプリケーションの選択";
constexpr POINT kParkingPixel{1918, 1078};  // on the 1920x1080 test screen
constexpr std::array<UINT, 7> kKeysInProgramOrder = {VK_LSHIFT,   VK_LCONTROL, VK_LMENU, VK_RSHIFT,
                                                     VK_RCONTROL, VK_RMENU,    VK_SPACE};
// Which of them a first start, without vimlet.ini, turns on.
constexpr std::array<bool, 7> kFirstStartKeys = {true, true, true, false, false, false, true};
