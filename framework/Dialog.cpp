#include "Dialog.h"

#include "WinApp.h"

namespace {

// GetMessage handles messages sent from other threads without returning: a dialog ended or
// destroyed in one of those must wake its loop.
void WakeModalLoop()
{
    ::PostMessageW(nullptr, WM_NULL, 0, 0);
}

// Without a parent: the window the user last worked in among the main window and the popups
// it owns, e.g. the dialog this one is opened from, which is then disabled meanwhile. A popup
// that never takes activation is not one (Wine reports one that was shown at its creation).
HWND FindOwner(const CWnd* pParentWnd)
{
    if (pParentWnd) return pParentWnd->m_hWnd;
    const CWnd* pMain = AfxGetMainWnd();
    if (!pMain || !pMain->m_hWnd) return nullptr;
    const HWND hPopup = ::GetLastActivePopup(pMain->m_hWnd);
    return (::GetWindowLongW(hPopup, GWL_EXSTYLE) & WS_EX_NOACTIVATE) ? pMain->m_hWnd : hPopup;
}

} // namespace

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_WM_INITDIALOG()
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

INT_PTR CDialog::DoModal()
{
    const HWND hWndOwner = FindOwner(m_pParentWnd);
    // An owner that is disabled already belongs to an outer modal loop, which enables it.
    const bool bEnableOwner = hWndOwner && ::IsWindowEnabled(hWndOwner);
    if (bEnableOwner) ::EnableWindow(hWndOwner, FALSE);

    m_nModalResult = -1;
    m_bContinueModal = true;
    if (::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hWndOwner, DialogProc,
                             reinterpret_cast<LPARAM>(this))) {
        RunModalLoop();
    }
    // Before the dialog goes, so that the activation passes back to the owner.
    if (bEnableOwner) ::EnableWindow(hWndOwner, TRUE);
    if (m_hWnd) DestroyWindow();
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    if (m_bContinueModal && m_hWnd) ShowWindow(SW_SHOWNORMAL);
    MSG msg;
    while (m_bContinueModal && m_hWnd) {
        const BOOL bResult = ::GetMessageW(&msg, nullptr, 0, 0);
        if (bResult == -1) break;  // bad arguments only: end rather than spin
        if (bResult == 0) {
            // The quit message is for the loops further out, down to the application's.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        // Tab, Esc and Enter work in whichever of our dialogs has the message, an outer one too.
        const HWND hRoot = ::GetAncestor(msg.hwnd, GA_ROOT);
        if (RunningDialog(hRoot) && ::IsDialogMessageW(hRoot, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = false;
    CancelOwnedDialogs();
    WakeModalLoop();
}

// Their loops run inside this one's: ended first, they leave nothing on screen behind it.
void CDialog::CancelOwnedDialogs()
{
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            if (RunningDialog(hWnd) && ::GetWindow(hWnd, GW_OWNER) == reinterpret_cast<HWND>(lParam))
                ::SendMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(m_hWnd));
}

const CDialog* CDialog::RunningDialog(HWND hWnd)
{
    const CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd || !pWnd->IsKindOf(RUNTIME_CLASS(CDialog))) return nullptr;
    const CDialog* pDialog = static_cast<const CDialog*>(pWnd);
    return pDialog->m_bContinueModal ? pDialog : nullptr;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::PostNcDestroy()
{
    if (m_bContinueModal) WakeModalLoop();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    // WM_INITDIALOG subclasses the dialog: from then on its messages come to AfxWndProc, and
    // here only as default processing, which is the dialog manager's own.
    if (message != WM_INITDIALOG || FromHandlePermanent(hWnd)) return FALSE;
    reinterpret_cast<CDialog*>(lParam)->SubclassWindow(hWnd);
    return AfxWndProc(hWnd, message, wParam, lParam);
}
