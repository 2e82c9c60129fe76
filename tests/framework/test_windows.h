#pragma once
// Windows for the framework's tests and their quit messages, shared by the test program and the
// probe application.

#include "afxwin.h"
#include "test_resource.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The exit code of the quit message waiting for this thread; takes it.
inline std::optional<int> TakeQuitMessage()
{
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return std::nullopt;
    return static_cast<int>(msg.wParam);
}

// A frame that reports its deletion. Like the tray icon's window, WM_APP runs m_pDialog modally
// from inside its window procedure and leaves the result in *m_pResult.
class CTestFrame : public CFrameWnd {
public:
    explicit CTestFrame(bool* pDeleted = nullptr) : m_pDeleted(pDeleted) {}
    ~CTestFrame() override
    {
        if (m_pDeleted) *m_pDeleted = true;
    }

    // A hidden window of the default frame class; null on failure, when the object is gone.
    HWND CreateHidden(CWnd* pParentWnd = nullptr)
    {
        const RECT rect = {0, 0, 300, 200};
        return Create(nullptr, L"Test Frame", WS_OVERLAPPED | WS_CAPTION, rect, pParentWnd) ? m_hWnd : nullptr;
    }

    CDialog* m_pDialog = nullptr;
    INT_PTR* m_pResult = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool* m_pDeleted;
};

// Dialog IDD_PROBE, scripted by m_onTick every 20 ms while it is open.
class CProbeDlg : public CDialog {
    DECLARE_DYNAMIC(CProbeDlg)

public:
    // The result when the script has not ended the dialog within 10 s.
    static constexpr int kTimedOut = 999;

    explicit CProbeDlg(CWnd* pParentWnd = nullptr) : CDialog(IDD_PROBE, pParentWnd) {}

    std::function<void(CProbeDlg&)> m_onTick;
    std::vector<std::wstring> m_items;  // added to the list after the data exchange
    int m_nFocusId = 0;                 // non-zero: OnInitDialog focuses this control itself
    int m_nExchanges[2] = {};           // DoDataExchange calls: loading, saving
    CListBox m_list;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    // Ends the dialog with 100 + the double-clicked row.
    afx_msg void OnListDblclk();

    DECLARE_MESSAGE_MAP()

private:
    ULONGLONG m_nStarted = 0;
};

// A script for an outer dialog: once it is the active window, runs inner modally from its tick
// and keeps the result; its later ticks (they go on inside the inner loop) go to then.
inline std::function<void(CProbeDlg&)> OpenOnce(CProbeDlg& inner, INT_PTR& result,
                                                std::function<void(CProbeDlg&)> then = nullptr)
{
    return [&inner, &result, then, opened = false](CProbeDlg& outer) mutable {
        if (opened) {
            if (then) then(outer);
        } else if (::GetForegroundWindow() == outer.m_hWnd) {
            opened = true;
            result = inner.DoModal();
        }
    };
}
