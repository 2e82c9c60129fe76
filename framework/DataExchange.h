#pragma once
// Dialog data exchange: DoDataExchange's DDX_ calls move data between a dialog's controls and
// its members, in the direction m_bSaveAndValidate says.

#include "Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    BOOL m_bSaveAndValidate;  // TRUE: controls to members
    CWnd* m_pDlgWnd;
};

// Attaches control nIDC to rControl, in either direction, once per dialog window.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
