#pragma once
// CDialog: a modal dialog from a template. DoModal creates the dialog modeless and runs its own
// modal loop, so that it can end on EndDialog, on the quit message, or when the dialog window
// is destroyed from outside (with its owner), whichever comes first; dialogs may nest.

#include "DataExchange.h"
#include "Wnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

public:
    // Without a parent the owner is the main window's last active popup (the main window itself
    // when it has none).
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // EndDialog's result; -1 when the dialog ended otherwise (quit message, destroyed, no
    // template). The owner is disabled meanwhile.
    virtual INT_PTR DoModal();
    // Ends the modal loop after the current message; DoModal destroys the window. Dialogs this
    // one owns are cancelled (IDCANCEL) first.
    void EndDialog(int nResult);
    // DoDataExchange in the direction given.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // UpdateData(FALSE); TRUE puts the focus on the first tab stop.
    virtual BOOL OnInitDialog();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // IDOK: UpdateData(TRUE), then EndDialog(IDOK).
    virtual void OnOK();
    // IDCANCEL, also Esc and the close box: EndDialog(IDCANCEL).
    virtual void OnCancel();
    void PostNcDestroy() override;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // Ours, with its modal loop running; null for any other window.
    static const CDialog* RunningDialog(HWND hWnd);
    void RunModalLoop();
    void CancelOwnedDialogs();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    INT_PTR m_nModalResult = -1;
    bool m_bContinueModal = false;
};
