#pragma once
// CWinApp: the one application object, a global constructed before the entry point. The
// framework's wWinMain runs InitInstance and then the message loop.

#include "Object.h"
#include "afxres.h"

#include <string>

class CWnd;

class CWinApp : public CObject {
public:
    // No name: string AFX_IDS_APP_TITLE is the name.
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;

    LPCWSTR m_pszAppName;
    HINSTANCE m_hInstance;
    // Its destruction ends the application (PostQuitMessage(0)) and clears this pointer.
    CWnd* m_pMainWnd = nullptr;

    // FALSE ends the application before the message loop.
    virtual BOOL InitInstance();
    // The message loop; returns ExitInstance's result, the process's exit code.
    virtual int Run();
    // The quit message's exit code.
    virtual int ExitInstance();

private:
    std::wstring m_strAppName;
    MSG m_msgCur = {};
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// The string resource of the application's module; empty when there is none.
std::wstring AfxLoadString(UINT nID);
