#pragma once
// Resource ids the framework reads. Plain macros: resource scripts include this file too.

// The application's name, read at start-up when CWinApp is given none.
#define AFX_IDS_APP_TITLE 0xE000
