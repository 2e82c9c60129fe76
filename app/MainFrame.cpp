#include "MainFrame.h"

#include "AppMessages.h"
#include "InvisibleWnd.h"
#include "Settings.h"
#include "dialogs/VimletDlg.h"
#include "vimlet.h"

namespace {

// The window the user can work in among those that window owns, one owning the next: the
// innermost of the nested modal windows (a dialog, a message box, a file dialog).
HWND InnermostOwned(HWND window)
{
    struct Search {
        HWND owner;
        HWND owned;
    };
    for (Search search{window, nullptr};; search = {search.owned, nullptr}) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND candidate, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                if (GetWindow(candidate, GW_OWNER) != s->owner || !IsWindowVisible(candidate)) return TRUE;
                s->owned = candidate;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.owned) return search.owner;
    }
}

} // namespace

IMPLEMENT_DYNAMIC(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_CLOSE()
    ON_MESSAGE(kOpenSettingsMessage, OnOpenSettings)
END_MESSAGE_MAP()

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    // Assigned, not combined: no system menu, sizing border or boxes, and never visible.
    cs.style = WS_OVERLAPPED | WS_CAPTION | FWS_ADDTOTITLE;
    cs.lpszClass = AfxRegisterWndClass(0);
    return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;

    m_pInvisibleWnd = new CInvisibleWnd;
    // Without the parking window there is nowhere to park the cursor: end quietly. A window
    // that failed has deleted its object.
    if (!m_pInvisibleWnd->Create(this)) {
        m_pInvisibleWnd = nullptr;
        return -1;
    }

    const SettingsStore settings = SettingsStore::OfUser();
    const KeySettings keys = settings.ReadKeys();
    // Without a settings directory the library is given none, and so no list to read.
    vimlet_setup(m_pInvisibleWnd->GetSafeHwnd(), settings.Directory().c_str());
    vimlet_enable();
    for (int i = 0; i < vimlet::kSuppressorCount; ++i)
        vimlet_set_suppressor(vimlet::kSuppressorKeys[i].virtualKey, keys[i]);
    return 0;
}

LRESULT CMainFrame::OnOpenSettings(WPARAM, LPARAM)
{
    if (m_pSettingsDialog) {
        ::SetForegroundWindow(InnermostOwned(m_pSettingsDialog->m_hWnd));
        return 0;
    }
    CVimletDlg dialog;
    m_pSettingsDialog = &dialog;
    dialog.DoModal();
    m_pSettingsDialog = nullptr;
    if (m_bCloseAfterSettings) PostMessage(WM_CLOSE, 0, 0);
    return 0;
}

// Exit closes this window from inside the dialog's loop: the loop ends and returns first, and
// the window closes after it, so that nothing runs on in a destroyed object.
void CMainFrame::OnClose()
{
    if (!m_pSettingsDialog) {
        CFrameWnd::OnClose();
        return;
    }
    m_bCloseAfterSettings = true;
    m_pSettingsDialog->EndDialog(IDCANCEL);
}
