// Resource ids, shared by Vimlet.rc and the program: the resource compiler needs plain #defines.
#pragma once

// Frame title string, frame menu and the 32x32 application icon.
#define IDR_MAINFRAME 128
// 16x16 icon: the tray icon and the settings dialog's small icon.
#define IDI_TRAY 204

#define IDD_VIMLET_DIALOG 201
#define IDD_ADDAPP 206
#define IDD_ABOUTBOX 207

// Settings dialog: one check box per suppressor key.
#define IDC_LEFT_SHIFT 1009
#define IDC_LEFT_CTRL 1010
#define IDC_LEFT_ALT 1011
#define IDC_RIGHT_SHIFT 1012
#define IDC_RIGHT_CTRL 1013
#define IDC_RIGHT_ALT 1014
#define IDC_SPACE 1015
#define IDC_EXIT 1016

// The exclusion list in the settings dialog, the running applications in the add dialog.
#define IDC_APP_LIST 1020
#define IDC_REMOVE 1021
// The add dialog's button for choosing an executable file; shares its id with Remove.
#define IDC_OTHER_APP 1021
#define IDC_ADD 1022
#define IDC_ABOUT 1023
#define IDC_OPEN_STARTUP 1024

// What the settings dialog tells the user when a settings file cannot be read or written.
#define IDS_LIST_UNREADABLE 301
#define IDS_LIST_LOCKED 302
#define IDS_LIST_NOT_SAVED 303
#define IDS_KEYS_NOT_SAVED 304
#define IDS_RUNNING_IN_ANOTHER_SESSION 305
#define IDS_CANNOT_TELL_OTHER_COPIES 306
#define IDS_SETTINGS_NOT_KEPT 307
// Why a second start does not run, and why the add dialog leaves an entry out.
#define IDS_RUNNING_FOR_ANOTHER_USER 310
#define IDS_RUNNING_BELOW 311
#define IDS_RUNNING_AS_ADMINISTRATOR 312
#define IDS_RUNNING_COPY_NO_ANSWER 313
#define IDS_ENTRY_HAS_CONTROL_CHARACTERS 314
#define IDS_LIST_TOO_LARGE 320

// The application name the framework looks up (its AFX_IDS_APP_TITLE).
#define IDS_APP_TITLE 57344

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
