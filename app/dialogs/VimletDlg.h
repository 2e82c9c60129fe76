#pragma once
// The settings dialog: suppressor keys, the exclusion list, the Startup folder, About, Exit.
// The exclusion list is saved at each change; the check boxes only when the dialog closes.
// Settings that cannot be read or written are never lost silently: a list that could not be
// read is never written back, every failed save is reported once, in a message box, and after a
// failed save the list shows what the file holds again.

#include "afxwin.h"

#include <string>
#include <vector>

class CVimletDlg : public CDialog {
    DECLARE_DYNAMIC(CVimletDlg)

public:
    CVimletDlg();
    ~CVimletDlg() override;

    // Row i of the list box is always m_excludeApps[i].
    std::vector<std::wstring> m_excludeApps;
    CListBox m_list;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Close, Esc and the close box: the check boxes are applied, never discarded.
    void OnCancel() override;

    afx_msg void OnAppAbout();
    afx_msg void OnBnClickedExit();
    afx_msg void OnBnClickedAdd();
    afx_msg void OnBnClickedRemove();
    afx_msg void OnBnClickedStartup();
    afx_msg LRESULT OnReportUnreadableList(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    // Sets the hook library's flags from the check boxes and writes them to vimlet.ini.
    void SaveKeySettings();
    void FillExcludeListBox();
    void SaveAndShowExcludeList();
    // False, after telling the user, while the list on screen is not what the file holds.
    bool CanChangeExcludeList();
    // A message box owned by the dialog with string nTextId.
    void Warn(UINT nTextId);

    // False when excludeapp.txt is there but could not be read.
    bool m_bListReadable = true;
    HICON m_hSmallIcon = nullptr;
};
