#include "ChildProcess.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <string>

// The test program is a framework application too: the one application object.
CWinApp theTestApp;

namespace {

// Runs framework_probe.exe, which lies beside this program, and returns its exit code.
DWORD RunProbe(const std::wstring& scenario)
{
    ChildProcess probe(BesideThisProgram(L"framework_probe.exe"), {scenario});
    const std::optional<DWORD> code = probe.WaitForExit(60000);
    EXPECT_TRUE(code) << "the probe did not end: " << std::string(scenario.begin(), scenario.end());
    if (!code) probe.Terminate();
    return code.value_or(~0u);
}

TEST(WinApp, NameAndInstanceAreKnownBeforeTheEntryPoint)
{
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_STREQ(AfxGetApp()->m_pszAppName, L"Framework Probe");  // string AFX_IDS_APP_TITLE
    EXPECT_EQ(AfxGetInstanceHandle(), ::GetModuleHandleW(nullptr));
}

TEST(WinApp, ExitCodeIsTheQuitMessagesOrExitInstancesAfterARefusedInitInstance)
{
    EXPECT_EQ(RunProbe(L"quit"), 7u);
    EXPECT_EQ(RunProbe(L"close"), 0u);  // the main window's destruction quits with 0
    EXPECT_EQ(RunProbe(L"refuse"), 3u);
    EXPECT_EQ(RunProbe(L"exit-from-dialog"), 0u) << "the main window closed from nested dialogs";
}

std::string BaseChain(const CObject& object)
{
    std::string chain;
    for (const CRuntimeClass* pClass = object.GetRuntimeClass(); pClass; pClass = pClass->m_pBaseClass) {
        chain += chain.empty() ? "" : " : ";
        chain += pClass->m_lpszClassName;
    }
    return chain;
}

TEST(RuntimeClass, NamesAndBaseChainsAndIsKindOfFollowsTheChainUpwardOnly)
{
    const CProbeDlg dialog;
    EXPECT_EQ(BaseChain(dialog), "CProbeDlg : CDialog : CWnd : CObject");
    // No record of their own: they report their base's.
    EXPECT_EQ(BaseChain(CTestFrame()), "CFrameWnd : CWnd : CObject");
    EXPECT_EQ(BaseChain(CListBox()), "CWnd : CObject");

    const CObject& object = dialog;
    for (const CRuntimeClass* pClass : {RUNTIME_CLASS(CProbeDlg), RUNTIME_CLASS(CDialog), RUNTIME_CLASS(CWnd),
                                        RUNTIME_CLASS(CObject)})
        EXPECT_TRUE(object.IsKindOf(pClass)) << pClass->m_lpszClassName;
    EXPECT_FALSE(object.IsKindOf(RUNTIME_CLASS(CFrameWnd)));
    EXPECT_FALSE(RUNTIME_CLASS(CDialog)->IsDerivedFrom(RUNTIME_CLASS(CProbeDlg)));
}

} // namespace
