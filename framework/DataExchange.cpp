#include "DataExchange.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    // A handle left from an earlier run of the same dialog object belongs to a dead window.
    if (rControl.m_hWnd && ::IsChild(pDX->m_pDlgWnd->m_hWnd, rControl.m_hWnd)) return;
    rControl.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(nIDC);
}
