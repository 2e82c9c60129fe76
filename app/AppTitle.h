#pragma once
// The program's own title: the parking window's, the settings dialog's and the message boxes'.
// The add-application listing leaves out every window of exactly this title.

constexpr wchar_t kAppTitle[] = L"Vimlet";
