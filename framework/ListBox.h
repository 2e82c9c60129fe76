#pragma once
// CListBox: a list box control, attached to its window (DDX_Control) without subclassing it.

#include "Wnd.h"

class CListBox : public CWnd {
public:
    // LB_RESETCONTENT
    void ResetContent() { ::SendMessageW(m_hWnd, LB_RESETCONTENT, 0, 0); }
    // LB_ADDSTRING: the new item's index, or LB_ERR / LB_ERRSPACE
    int AddString(LPCWSTR lpszItem)
    {
        return static_cast<int>(::SendMessageW(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
    }
    // LB_INITSTORAGE: room for nItems more items and nBytes of their strings, reserved at once
    int InitStorage(int nItems, UINT nBytes)
    {
        return static_cast<int>(::SendMessageW(m_hWnd, LB_INITSTORAGE, nItems, nBytes));
    }
    // LB_GETCURSEL: LB_ERR without a selection, and always in a multiple-selection list box
    int GetCurSel() const { return static_cast<int>(::SendMessageW(m_hWnd, LB_GETCURSEL, 0, 0)); }
    // LB_GETSEL: positive when item nIndex is selected
    int GetSel(int nIndex) const { return static_cast<int>(::SendMessageW(m_hWnd, LB_GETSEL, nIndex, 0)); }
    // LB_GETCOUNT
    int GetCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0)); }
};
