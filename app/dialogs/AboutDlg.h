#pragma once
// The About box: icon, name and version; OK ends it.

#include "afxwin.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override = default;

    DECLARE_MESSAGE_MAP()
};
