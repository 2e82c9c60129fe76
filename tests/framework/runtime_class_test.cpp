#include "test_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CMainProbeFrame : public CFrameWnd {
    DECLARE_DYNAMIC(CMainProbeFrame)
};

IMPLEMENT_DYNAMIC(CMainProbeFrame, CFrameWnd)

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
    const CMainProbeFrame frame;
    const CProbeDlg dialog;
    const CListBox list;  // no record of its own: it reports CWnd's
    EXPECT_EQ(BaseChain(frame), "CMainProbeFrame : CFrameWnd : CWnd : CObject");
    EXPECT_EQ(BaseChain(dialog), "CProbeDlg : CDialog : CWnd : CObject");
    EXPECT_EQ(BaseChain(list), "CWnd : CObject");

    const CObject& object = frame;
    for (const CRuntimeClass* pClass : {RUNTIME_CLASS(CMainProbeFrame), RUNTIME_CLASS(CFrameWnd), RUNTIME_CLASS(CWnd),
                                        RUNTIME_CLASS(CObject)})
        EXPECT_TRUE(object.IsKindOf(pClass)) << pClass->m_lpszClassName;
    EXPECT_FALSE(object.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_FALSE(RUNTIME_CLASS(CFrameWnd)->IsDerivedFrom(RUNTIME_CLASS(CMainProbeFrame)));
}

} // namespace
