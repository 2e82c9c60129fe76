#include "Input.h"
#include "test_resource.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A hidden main window owns the dialogs, as in the program.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pMain = new CTestFrame(&m_bMainDeleted);
        m_hMain = m_pMain->CreateHidden();
        AfxGetApp()->m_pMainWnd = m_pMain;
    }

    void TearDown() override
    {
        AfxGetApp()->m_pMainWnd = nullptr;
        if (!m_bMainDeleted) m_pMain->DestroyWindow();
        TakeQuitMessage();
    }

    CTestFrame* m_pMain = nullptr;
    HWND m_hMain = nullptr;
    bool m_bMainDeleted = false;
};

// Presses a key once the dialog has the keyboard, noting the id of the control with the focus.
struct KeyScript {
    std::vector<WORD> keys;
    std::vector<int> focusIds;

    void operator()(CProbeDlg& dlg)
    {
        if (focusIds.size() == keys.size() || ::GetForegroundWindow() != dlg.m_hWnd) return;
        const int nFocusId = ::GetDlgCtrlID(::GetFocus());
        if (!focusIds.empty() && nFocusId == focusIds.back()) return;  // the last key has not acted yet
        focusIds.push_back(nFocusId);
        SendKey(keys[focusIds.size() - 1]);
    }
};

TEST_F(DialogTest, EndDialogEndsTheLoopWithItsResult)
{
    auto* pParent = new CTestFrame;
    const HWND hParent = pParent->CreateHidden();
    for (CWnd* pParentWnd : {static_cast<CWnd*>(nullptr), static_cast<CWnd*>(pParent)}) {
        SCOPED_TRACE(pParentWnd ? "a parent" : "no parent");
        const HWND hExpectedOwner = pParentWnd ? hParent : m_hMain;  // no parent: the main window
        CProbeDlg dlg(pParentWnd);
        HWND hDlg = nullptr;
        dlg.m_onTick = [&](CProbeDlg& d) {
            hDlg = d.m_hWnd;
            EXPECT_EQ(::GetWindow(d.m_hWnd, GW_OWNER), hExpectedOwner);
            EXPECT_FALSE(::IsWindowEnabled(hExpectedOwner));
            d.EndDialog(42);
        };
        EXPECT_EQ(dlg.DoModal(), 42);  // only the tick ends it so
        EXPECT_TRUE(::IsWindowEnabled(hExpectedOwner));
        EXPECT_FALSE(::IsWindow(hDlg));
        EXPECT_EQ(dlg.m_hWnd, nullptr);
        EXPECT_EQ(TakeQuitMessage(), std::nullopt);
    }
    pParent->DestroyWindow();
}

TEST_F(DialogTest, KeysGoThroughTheDialogManager)
{
    // Tab and Esc: KeysGoToTheActiveDialogOfNestedOnes. Enter on the list: the default button,
    // IDOK, saves the data first. Space where OnInitDialog put the focus on Cancel itself and
    // returned FALSE.
    for (const int nFocusId : {0, IDCANCEL}) {
        CProbeDlg dlg;
        dlg.m_nFocusId = nFocusId;
        KeyScript keys{{static_cast<WORD>(nFocusId ? VK_SPACE : VK_RETURN)}, {}};
        dlg.m_onTick = std::ref(keys);
        EXPECT_EQ(dlg.DoModal(), nFocusId ? IDCANCEL : IDOK);
        EXPECT_EQ(keys.focusIds, std::vector<int>{nFocusId ? IDCANCEL : IDC_LIST});
        EXPECT_EQ(dlg.m_nExchanges[0], 1);
        EXPECT_EQ(dlg.m_nExchanges[1], nFocusId ? 0 : 1);
    }

    CProbeDlg closeBox;
    closeBox.m_onTick = [](CProbeDlg& d) { d.PostMessage(WM_SYSCOMMAND, SC_CLOSE); };
    EXPECT_EQ(closeBox.DoModal(), IDCANCEL);
}

// As the settings dialog owns About and the add dialog: the one below is disabled meanwhile. A
// popup that never takes activation (the parking window) is not a candidate. Ending the outer
// dialog ends the inner one; a quit message ends both and reaches the caller.
TEST_F(DialogTest, WithoutAParentTheActiveDialogOwnsTheNextOneAndTheyEndTogether)
{
    const HWND hNoActivate = ::CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"STATIC", L"",
                                               WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, m_hMain, nullptr, nullptr, nullptr);
    for (const bool bQuit : {false, true}) {
        SCOPED_TRACE(bQuit ? "quit message" : "outer dialog ended");
        CProbeDlg outer, inner;
        HWND hOuter = nullptr, hInner = nullptr;
        INT_PTR nInnerResult = 0;
        outer.m_onTick = OpenOnce(inner, nInnerResult);
        inner.m_onTick = [&](CProbeDlg& d) {
            hOuter = outer.m_hWnd;
            hInner = d.m_hWnd;
            EXPECT_EQ(::GetWindow(hOuter, GW_OWNER), m_hMain);
            EXPECT_EQ(::GetWindow(hInner, GW_OWNER), hOuter);
            EXPECT_FALSE(::IsWindowEnabled(hOuter));
            bQuit ? ::PostQuitMessage(7) : outer.EndDialog(6);
        };
        EXPECT_EQ(outer.DoModal(), bQuit ? -1 : 6);  // only the inner dialog's tick ends it so
        EXPECT_EQ(nInnerResult, bQuit ? -1 : IDCANCEL);
        EXPECT_EQ(TakeQuitMessage(), bQuit ? std::optional(7) : std::nullopt);
        EXPECT_FALSE(::IsWindow(hOuter));
        EXPECT_FALSE(::IsWindow(hInner));
        EXPECT_TRUE(::IsWindowEnabled(m_hMain));
    }
    ::DestroyWindow(hNoActivate);
}

// While an inner dialog's loop runs, an outer one that the user activates gets its Tab and Esc
// (the first tab stop has the focus; Tab moves it on, Esc cancels); the inner one gets them back
// when it is active again.
TEST_F(DialogTest, KeysGoToTheActiveDialogOfNestedOnes)
{
    CProbeDlg outer, inner(m_pMain);  // owned by the main window, so the outer one stays enabled
    KeyScript outerKeys{{VK_TAB, VK_ESCAPE}, {}};
    KeyScript innerKeys{{VK_ESCAPE}, {}};
    INT_PTR nInnerResult = 0;
    outer.m_onTick = OpenOnce(inner, nInnerResult, std::ref(outerKeys));
    inner.m_onTick = [&](CProbeDlg& d) {
        if (outerKeys.focusIds.size() < outerKeys.keys.size()) {
            if (::GetForegroundWindow() == d.m_hWnd) ::SetForegroundWindow(outer.m_hWnd);
            return;
        }
        if (::GetForegroundWindow() != d.m_hWnd) ::SetForegroundWindow(d.m_hWnd);
        innerKeys(d);
    };
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(nInnerResult, IDCANCEL);
    EXPECT_EQ(outerKeys.focusIds, (std::vector<int>{IDC_LIST, IDC_OTHER}));
}

TEST_F(DialogTest, DataExchangeAttachesTheListBox)
{
    CProbeDlg dlg;
    dlg.m_items = {L"alpha", L"beta", L"gamma"};
    bool bClicked = false;
    dlg.m_onTick = [&](CProbeDlg& d) {
        if (bClicked || ::GetForegroundWindow() != d.m_hWnd) return;
        bClicked = true;
        const HWND hList = d.GetDlgItem(IDC_LIST);
        EXPECT_NE(hList, nullptr);
        EXPECT_EQ(d.m_list.m_hWnd, hList);
        EXPECT_EQ(d.m_list.GetCount(), 3);
        EXPECT_EQ(d.m_list.GetCurSel(), LB_ERR);
        RECT item;
        ::SendMessageW(hList, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
        POINT point = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ::ClientToScreen(hList, &point);
        DoubleClickAt(point);
    };
    EXPECT_EQ(dlg.DoModal(), 101);  // the double-clicked row, through ON_LBN_DBLCLK

    // The same object again: its list box is attached to the new window.
    dlg.m_onTick = [](CProbeDlg& d) {
        EXPECT_EQ(d.m_list.m_hWnd, d.GetDlgItem(IDC_LIST));
        d.m_list.SendMessage(LB_SETCURSEL, 2);
        EXPECT_GT(d.m_list.GetSel(2), 0);
        EXPECT_EQ(d.m_list.GetSel(0), 0);
        d.m_list.ResetContent();
        EXPECT_EQ(d.m_list.GetCount(), 0);
        d.EndDialog(7);
    };
    EXPECT_EQ(dlg.DoModal(), 7);  // only the tick ends it so
}

// Messages sent from other threads are handled inside GetMessage; the loop must still notice.
TEST_F(DialogTest, EndedOrOwnerDestroyedFromThisOrAnotherThread)
{
    const DWORD guiThread = ::GetCurrentThreadId();
    auto runWhileOtherThreadSends = [&](CProbeDlg& dlg, HWND hTarget, UINT message, WPARAM wParam) {
        const HANDLE hReturned = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread sender([&] {
            auto dialog = [] { return ::FindWindowW(nullptr, L"Probe Dialog"); };
            WaitUntil([&] { return ::IsWindowVisible(dialog()) != FALSE; });
            ::SendMessageW(hTarget ? hTarget : dialog(), message, wParam, 0);
            // A loop that missed it would wait forever: end it with a code the test rejects.
            if (::WaitForSingleObject(hReturned, 10000) == WAIT_TIMEOUT) {
                ::PostThreadMessageW(guiThread, WM_QUIT, 99, 0);
            }
        });
        const INT_PTR nResult = dlg.DoModal();
        ::SetEvent(hReturned);
        sender.join();
        ::CloseHandle(hReturned);
        return nResult;
    };

    CProbeDlg cancelled;
    EXPECT_EQ(runWhileOtherThreadSends(cancelled, nullptr, WM_COMMAND, IDCANCEL), IDCANCEL);
    EXPECT_EQ(TakeQuitMessage(), std::nullopt);

    for (const bool bOtherThread : {false, true}) {
        bool bOwnerDeleted = false;
        auto* pOwner = new CTestFrame(&bOwnerDeleted);
        const HWND hOwner = pOwner->CreateHidden();
        CProbeDlg orphaned(pOwner);
        orphaned.m_onTick = [&](CProbeDlg&) {
            if (!bOtherThread && !bOwnerDeleted) pOwner->DestroyWindow();
        };
        EXPECT_EQ(bOtherThread ? runWhileOtherThreadSends(orphaned, hOwner, WM_CLOSE, 0) : orphaned.DoModal(), -1);
        EXPECT_TRUE(bOwnerDeleted) << bOtherThread;
        EXPECT_EQ(TakeQuitMessage(), std::nullopt);  // not the main window
    }
}

TEST_F(DialogTest, NestedDialogsEachEndTheirOwnLoop)
{
    // Opened from the outer dialog's handler.
    CProbeDlg outer, inner;
    bool bOpened = false;  // the outer dialog's ticks go on inside the inner loop
    outer.m_onTick = [&](CProbeDlg& d) {
        if (bOpened) return;
        bOpened = true;
        EXPECT_EQ(inner.DoModal(), 5);
        d.EndDialog(6);
    };
    inner.m_onTick = [](CProbeDlg& d) { d.EndDialog(5); };
    EXPECT_EQ(outer.DoModal(), 6);  // only the tick ends it so

    // Opened by a message to the main window, as from the tray icon, that the outer loop
    // dispatches; the inner one ends the outer dialog first.
    CProbeDlg first, second;
    INT_PTR nSecondResult = 0;
    m_pMain->m_pDialog = &second;
    m_pMain->m_pResult = &nSecondResult;
    bool bPosted = false;
    first.m_onTick = [&](CProbeDlg&) {
        if (!bPosted) bPosted = m_pMain->PostMessage(WM_APP);
    };
    second.m_onTick = [&](CProbeDlg& d) {
        first.EndDialog(11);
        d.EndDialog(12);
    };
    EXPECT_EQ(first.DoModal(), 11);
    EXPECT_EQ(nSecondResult, 12);
    EXPECT_TRUE(::IsWindowEnabled(m_hMain));
    EXPECT_EQ(TakeQuitMessage(), std::nullopt);
}

} // namespace
