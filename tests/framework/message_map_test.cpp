#include "Wait.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Paints itself white, and notes the other messages it handles.
class CBaseProbe : public CWnd {
public:
    std::vector<std::string> m_calls;
    int m_nPaints = 0;
    BOOL m_bBlitted = FALSE;

protected:
    afx_msg void OnTimer(UINT_PTR nIDEvent) { m_calls.push_back("base timer " + std::to_string(nIDEvent)); }
    afx_msg void OnApply() { m_calls.push_back("base apply"); }
    afx_msg void OnPick() { m_calls.push_back("base pick"); }
    afx_msg void OnPaint()
    {
        CPaintDC dc(this);
        RECT rect;
        GetClientRect(&rect);
        m_bBlitted = dc.PatBlt(0, 0, rect.right, rect.bottom, WHITENESS);
        ++m_nPaints;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseProbe, CWnd)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_BN_CLICKED(101, OnApply)
    ON_COMMAND(102, OnPick)
END_MESSAGE_MAP()

class CDerivedProbe : public CBaseProbe {
public:
    int m_nCreateResult = 0;
    LPVOID m_pCreateParams = nullptr;

    BOOL Create(LPVOID lpParam = nullptr)
    {
        return CreateEx(0, AfxRegisterWndClass(0), L"probe", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                        lpParam);
    }

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct)
    {
        m_pCreateParams = lpCreateStruct->lpCreateParams;
        m_calls.push_back("derived create, default " + std::to_string(Default()));
        return m_nCreateResult;
    }
    afx_msg void OnApply() { m_calls.push_back("derived apply"); }
    afx_msg void OnListDblclk() { m_calls.push_back("derived dblclk"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedProbe, CBaseProbe)
    ON_WM_CREATE()
    ON_BN_CLICKED(101, OnApply)
    ON_LBN_DBLCLK(103, OnListDblclk)
END_MESSAGE_MAP()

TEST(MessageMap, DerivedRowsFirstThenTheBaseMapNoRowMeansDefaultProcessingAndOnCreateCanRefuse)
{
    CDerivedProbe wnd;
    int param = 0;
    ASSERT_TRUE(wnd.Create(&param));
    EXPECT_EQ(wnd.m_pCreateParams, &param);

    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(101, BN_CLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(102, 0));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(103, LBN_DBLCLK));
    ::SetTimer(wnd.m_hWnd, 7, 10, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return wnd.m_calls.size() == 5; }));
    ::KillTimer(wnd.m_hWnd, 7);
    const std::vector<std::string> expected = {"derived create, default 0", "derived apply", "base pick",
                                               "derived dblclk", "base timer 7"};
    EXPECT_EQ(wnd.m_calls, expected);

    wnd.m_calls.clear();
    // The same ids with other notification codes, and an id nobody maps.
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(101, BN_DOUBLECLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(103, LBN_SELCHANGE));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(104, 0));
    EXPECT_TRUE(wnd.m_calls.empty());

    ::SetWindowTextW(wnd.m_hWnd, L"changed by default processing");
    wchar_t text[64] = L"";
    ::GetWindowTextW(wnd.m_hWnd, text, 64);
    EXPECT_STREQ(text, L"changed by default processing");
    const HWND hWnd = wnd.m_hWnd;
    // WM_CLOSE's default processing destroys the window; the object is detached.
    wnd.SendMessage(WM_CLOSE);
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);

    CDerivedProbe refused;
    refused.m_nCreateResult = -1;
    EXPECT_FALSE(refused.Create());
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.m_calls.size(), 1u);
}

TEST(PaintDC, PaintsBetweenBeginAndEndPaint)
{
    CDerivedProbe wnd;
    ASSERT_TRUE(wnd.CreateEx(WS_EX_TOPMOST, AfxRegisterWndClass(0), L"painted", WS_POPUP | WS_VISIBLE, 0, 0,
                             8, 8, nullptr, nullptr));
    ::InvalidateRect(wnd.m_hWnd, nullptr, FALSE);
    wnd.UpdateWindow();
    EXPECT_GE(wnd.m_nPaints, 1);
    EXPECT_TRUE(wnd.m_bBlitted);
    EXPECT_FALSE(::GetUpdateRect(wnd.m_hWnd, nullptr, FALSE));  // EndPaint validated it
    const HDC hdc = ::GetDC(wnd.m_hWnd);
    EXPECT_EQ(::GetPixel(hdc, 3, 3), RGB(255, 255, 255));
    ::ReleaseDC(wnd.m_hWnd, hdc);
    wnd.DestroyWindow();
    EXPECT_EQ(wnd.m_hWnd, nullptr);  // detached
}

} // namespace
