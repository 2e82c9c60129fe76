#pragma once
// Picks applications for the exclusion list: the executables of the applications that show a
// window now, or any executable file. It stores nothing; the caller reads m_apps.

#include "afxwin.h"

#include <string>
#include <vector>

class CAddAppDlg : public CDialog {
    DECLARE_DYNAMIC(CAddAppDlg)

public:
    CAddAppDlg();
    ~CAddAppDlg() override = default;

    // While open, row i of the list is m_apps[i]. After IDOK: the selected rows in list order,
    // or the one file chosen in the file-open dialog. After IDCANCEL: not to be used.
    std::vector<std::wstring> m_apps;
    CListBox m_list;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnBnClickedOther();
    afx_msg void OnBnClickedOk();
    afx_msg void OnLbnDblclkList();

    DECLARE_MESSAGE_MAP()

private:
    void ListRunningApps();
};
