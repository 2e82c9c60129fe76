#include "MainFrame.h"
#include "test_resource.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The program's hidden main frame, without the parking window and hooks its OnCreate makes.
class CStyledFrame : public CMainFrame {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) return CFrameWnd::OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
        return CMainFrame::WindowProc(message, wParam, lParam);
    }
};

class CFailingFrame : public CTestFrame {
public:
    using CTestFrame::CTestFrame;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = CTestFrame::WindowProc(message, wParam, lParam);
        return message == WM_CREATE ? -1 : result;
    }
};

TEST(FrameWnd, DeletesItselfWhenItsWindowIsDestroyedAndClosingTheMainWindowEndsTheApplication)
{
    // A close request destroys a frame that is not the main window; the frames it owns go with it.
    bool ownerDeleted = false, ownedDeleted = false;
    auto* pOwner = new CTestFrame(&ownerDeleted);
    const HWND hOwner = pOwner->CreateHidden();
    ASSERT_NE(hOwner, nullptr);
    auto* pOwned = new CTestFrame(&ownedDeleted);
    const HWND hOwned = pOwned->CreateHidden(pOwner);
    EXPECT_EQ(::GetWindow(hOwned, GW_OWNER), hOwner);
    EXPECT_EQ(::GetAncestor(hOwned, GA_PARENT), ::GetDesktopWindow());
    pOwner->SendMessage(WM_CLOSE);
    EXPECT_TRUE(ownerDeleted);
    EXPECT_TRUE(ownedDeleted);
    EXPECT_EQ(TakeQuitMessage(), std::nullopt);

    // A failed creation leaves nothing behind either.
    bool failedDeleted = false;
    EXPECT_EQ((new CFailingFrame(&failedDeleted))->CreateHidden(), nullptr);
    EXPECT_TRUE(failedDeleted);

    bool mainDeleted = false;
    auto* pMain = new CTestFrame(&mainDeleted);
    ASSERT_TRUE(pMain->CreateHidden());
    AfxGetApp()->m_pMainWnd = pMain;
    pMain->SendMessage(WM_CLOSE);
    EXPECT_TRUE(mainDeleted);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    EXPECT_EQ(TakeQuitMessage(), 0);
}

TEST(FrameWnd, PreCreateWindowDecidesStyleAndClassWhichAfxRegisterWndClassRegistersOncePerCombination)
{
    auto* pPlain = new CTestFrame;
    const HWND hPlain = pPlain->CreateHidden();
    EXPECT_TRUE(::GetWindowLongW(hPlain, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(::GetClassLongW(hPlain, GCL_STYLE), static_cast<DWORD>(CS_DBLCLKS));
    pPlain->DestroyWindow();

    auto* pStyled = new CStyledFrame;
    ASSERT_TRUE(pStyled->LoadFrame(IDR_PROBE_FRAME));
    const HWND hStyled = pStyled->m_hWnd;
    const DWORD dwStyle = ::GetWindowLongW(hStyled, GWL_STYLE);
    const DWORD dwChecked = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE | FWS_ADDTOTITLE;
    EXPECT_EQ(dwStyle & dwChecked, WS_CAPTION | FWS_ADDTOTITLE);
    EXPECT_FALSE(::GetWindowLongW(hStyled, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    wchar_t name[256] = L"";
    ::GetClassNameW(hStyled, name, 256);
    EXPECT_STREQ(name, AfxRegisterWndClass(0));

    EXPECT_TRUE(pStyled->ModifyStyleEx(0, WS_EX_TOOLWINDOW));
    EXPECT_FALSE(pStyled->ModifyStyleEx(0, WS_EX_TOOLWINDOW));  // no change
    EXPECT_TRUE(pStyled->ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED));
    EXPECT_EQ(::GetWindowLongW(hStyled, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_TRUE(::GetWindowLongW(hStyled, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    pStyled->DestroyWindow();

    const HCURSOR hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
    const LPCWSTR pszPlain = AfxRegisterWndClass(0);
    EXPECT_EQ(AfxRegisterWndClass(0), pszPlain);
    const LPCWSTR pszCross = AfxRegisterWndClass(CS_HREDRAW, hCursor);
    EXPECT_NE(std::wstring(pszCross), pszPlain);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(::GetClassInfoExW(AfxGetInstanceHandle(), pszCross, &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_HREDRAW));
    EXPECT_EQ(wc.hCursor, hCursor);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.lpfnWndProc, AfxWndProc);
}

TEST(FrameWnd, LoadFrameTakesTitleMenuAndIconOfOneIdAndFailsWithoutTheMenu)
{
    auto* pFrame = new CTestFrame;
    ASSERT_TRUE(pFrame->LoadFrame(IDR_PROBE_FRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
    const HWND hWnd = pFrame->m_hWnd;
    wchar_t title[256] = L"";
    ::GetWindowTextW(hWnd, title, 256);
    EXPECT_STREQ(title, L"Probe Frame");  // the string's first field
    EXPECT_NE(::GetMenu(hWnd), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(::GetClassLongPtrW(hWnd, GCLP_HICON)),
              ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_PROBE_FRAME)));
    pFrame->DestroyWindow();

    bool deleted = false;
    EXPECT_FALSE((new CTestFrame(&deleted))->LoadFrame(IDS_NO_MENU));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(::FindWindowW(nullptr, L"Frame Without Menu"), nullptr);
}

} // namespace
