// A framework application for the tests that need a process of their own: the entry point,
// the message loop and the exit code. The scenario is the first argument; any surprise along
// the way makes the exit code kFailed.

#include "test_resource.h"
#include "test_windows.h"

#include <cstdlib>
#include <string>

namespace {

constexpr int kFailed = 99;
constexpr int kRefused = 3;

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        m_scenario = __argc > 1 ? __wargv[1] : L"";
        if (std::wstring(m_pszAppName) != L"Framework Probe") m_bFailed = true;
        if (m_scenario == L"refuse") return FALSE;
        if (m_scenario == L"quit") {
            ::PostQuitMessage(7);
            return TRUE;
        }
        auto* pFrame = new CTestFrame;
        m_pMainWnd = pFrame;
        if (!pFrame->LoadFrame(IDR_PROBE_FRAME)) return FALSE;
        pFrame->ShowWindow(SW_HIDE);
        if (m_scenario == L"close") {
            pFrame->PostMessage(WM_CLOSE);
        } else if (m_scenario == L"exit-from-dialog") {
            StartDialogs(pFrame);
        } else {
            m_bFailed = true;
        }
        return TRUE;
    }

    int ExitInstance() override
    {
        const int nCode = CWinApp::ExitInstance();
        // Both dialogs end with their windows, without a result.
        if (m_scenario == L"exit-from-dialog" && (m_nOuterResult != -1 || m_nInnerResult != -1)) {
            m_bFailed = true;
        }
        if (m_bFailed) return kFailed;
        return m_scenario == L"refuse" ? kRefused : nCode;
    }

private:
    // As in the program: a tray message opens a dialog, from which a second one opens, whose
    // handler closes the main window.
    void StartDialogs(CWnd* pMain)
    {
        auto* pTray = new CTestFrame;
        pTray->CreateHidden(pMain);
        pTray->m_pDialog = &m_outer;
        pTray->m_pResult = &m_nOuterResult;
        m_outer.m_onTick = OpenOnce(m_inner, m_nInnerResult);
        m_inner.m_onTick = [](CProbeDlg&) {
            if (AfxGetMainWnd()) AfxGetMainWnd()->PostMessage(WM_CLOSE);
        };
        pTray->PostMessage(WM_APP);
    }

    std::wstring m_scenario;
    bool m_bFailed = false;
    CProbeDlg m_outer, m_inner;
    INT_PTR m_nOuterResult = 0, m_nInnerResult = 0;
};

CProbeApp theApp;

} // namespace
