#pragma once
// The program's own title: the frame's and the parking window's, the settings dialog's, the
// message boxes', the tray icon's tooltip, the settings folder's and the INI section's. The
// add-application listing leaves out every window of exactly this title. The resource script
// takes the same text.

#define VIMLET_TITLE "Vimlet"

#ifndef RC_INVOKED
constexpr wchar_t kAppTitle[] = L"" VIMLET_TITLE;
#endif
