#include "test_windows.h"

LRESULT CTestFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_APP || !m_pDialog) return CFrameWnd::WindowProc(message, wParam, lParam);
    // Read first: the application's end destroys this window, deleting this object, inside DoModal.
    INT_PTR* pResult = m_pResult;
    *pResult = m_pDialog->DoModal();
    return 0;
}

IMPLEMENT_DYNAMIC(CProbeDlg, CDialog)

BEGIN_MESSAGE_MAP(CProbeDlg, CDialog)
    ON_WM_TIMER()
    ON_LBN_DBLCLK(IDC_LIST, OnListDblclk)
END_MESSAGE_MAP()

BOOL CProbeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (const std::wstring& item : m_items) m_list.AddString(item.c_str());
    if (m_onTick) {
        m_nStarted = ::GetTickCount64();
        ::SetTimer(m_hWnd, 1, 20, nullptr);
    }
    if (!m_nFocusId) return TRUE;
    ::SetFocus(GetDlgItem(m_nFocusId));
    return FALSE;
}

void CProbeDlg::DoDataExchange(CDataExchange* pDX)
{
    ++m_nExchanges[pDX->m_bSaveAndValidate ? 1 : 0];
    DDX_Control(pDX, IDC_LIST, m_list);
}

void CProbeDlg::OnTimer(UINT_PTR)
{
    if (::GetTickCount64() - m_nStarted > 10000) {
        EndDialog(kTimedOut);
    } else {
        m_onTick(*this);
    }
}

void CProbeDlg::OnListDblclk()
{
    EndDialog(100 + m_list.GetCurSel());
}
