#pragma once
// Resources of the framework's test programs.

#define IDR_PROBE_FRAME 128  // string, menu and icon: what LoadFrame wants
#define IDS_NO_MENU 129      // a string alone
#define IDD_PROBE 300
#define IDC_LIST 1020
#define IDC_OTHER 1021
#define IDM_EXIT 100
