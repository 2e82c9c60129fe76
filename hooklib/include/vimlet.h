#pragma once
// The hook library's exports: configure, arm and query the global cursor-parking hooks.

#include <windows.h>

#ifdef VIMLET_BUILDING_DLL
#define VIMLET_API extern "C" __declspec(dllexport)
#else
#define VIMLET_API extern "C" __declspec(dllimport)
#endif

VIMLET_API void vimlet_setup(HWND parkingWindow, const wchar_t* settingsDirectory);
VIMLET_API void vimlet_enable();
VIMLET_API void vimlet_disable();
VIMLET_API void vimlet_show();
VIMLET_API void vimlet_hide();
VIMLET_API BYTE vimlet_is_suppressor(UINT virtualKey);
VIMLET_API void vimlet_set_suppressor(UINT virtualKey, BYTE value);
