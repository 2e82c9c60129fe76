#include "MainFrame.h"

#include "InvisibleWnd.h"
#include "Settings.h"
#include "vimlet.h"

IMPLEMENT_DYNAMIC(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_CREATE()
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
    for (std::size_t i = 0; i < kSuppressorSettingCount; ++i)
        vimlet_set_suppressor(kSuppressorSettings[i].virtualKey, keys[i]);
    return 0;
}
