#include "WinApp.h"

namespace {

CWinApp* g_pApp = nullptr;

} // namespace

CWinApp::CWinApp(LPCWSTR lpszAppName)
    : m_hInstance(::GetModuleHandleW(nullptr))
{
    g_pApp = this;
    m_strAppName = lpszAppName ? lpszAppName : AfxLoadString(AFX_IDS_APP_TITLE);
    m_pszAppName = m_strAppName.c_str();
}

CWinApp::~CWinApp()
{
    g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    // GetMessage fails (-1) only on bad arguments: end rather than spin.
    while (::GetMessageW(&m_msgCur, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return static_cast<int>(m_msgCur.wParam);
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

std::wstring AfxLoadString(UINT nID)
{
    LPCWSTR pText = nullptr;
    // With no buffer, LoadStringW points into the resource itself: no length limit.
    const int nLength = ::LoadStringW(AfxGetInstanceHandle(), nID, reinterpret_cast<LPWSTR>(&pText), 0);
    return nLength > 0 ? std::wstring(pText, nLength) : std::wstring();
}

// The process's entry point (-municode): the application object already exists.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp) return -1;
    if (!pApp->InitInstance()) return pApp->ExitInstance();
    return pApp->Run();
}
