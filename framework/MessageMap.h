#pragma once
// Message maps: per class, a constant table of {message, code, id, thunk} rows. A thunk is a
// capture-less lambda that unpacks wParam/lParam and calls the typed handler, so there are no
// casts between member-function pointers and a debugger steps straight into the handler.
// Each table names its base class's table; a message that no table in the chain holds gets
// default processing.

#include <windows.h>

class CWnd;

// Marks message handlers in class bodies; they are ordinary members.
#define afx_msg

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;  // WM_COMMAND: the notification code (HIWORD of wParam); otherwise 0
    UINT nID;    // WM_COMMAND: the control or command id (LOWORD of wParam); otherwise 0
    LRESULT (*pfn)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);  // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for CWnd's map, the last of every chain
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The first row for this message, searching pMap and then the maps of its bases.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage, UINT nCode, UINT nID);

// In the class body; leaves the access at protected.
#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() \
    { \
        using ThisClass [[maybe_unused]] = theClass; \
        using TheBaseClass = baseClass; \
        static constexpr AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP() \
            {0, 0, 0, nullptr} \
        }; \
        static constexpr AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map; \
    }

// The handler's signature is above each entry.

// int OnCreate(LPCREATESTRUCT lpCreateStruct): 0 to go on, -1 to fail the creation
#define ON_WM_CREATE() \
    {WM_CREATE, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM lParam) -> LRESULT { \
        return static_cast<ThisClass*>(pWnd)->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam)); }},

// void OnPaint()
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT { \
        static_cast<ThisClass*>(pWnd)->OnPaint(); return 0; }},

// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM) -> LRESULT { \
        static_cast<ThisClass*>(pWnd)->OnTimer(static_cast<UINT_PTR>(wParam)); return 0; }},

// void OnClose()
#define ON_WM_CLOSE() \
    {WM_CLOSE, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT { \
        static_cast<ThisClass*>(pWnd)->OnClose(); return 0; }},

// void OnNcDestroy()
#define ON_WM_NCDESTROY() \
    {WM_NCDESTROY, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT { \
        static_cast<ThisClass*>(pWnd)->OnNcDestroy(); return 0; }},

// BOOL OnInitDialog(): its result decides the focus, as WM_INITDIALOG's does
#define ON_WM_INITDIALOG() \
    {WM_INITDIALOG, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT { \
        return static_cast<ThisClass*>(pWnd)->OnInitDialog(); }},

// LRESULT memberFxn(WPARAM wParam, LPARAM lParam): any message, typically a private one
#define ON_MESSAGE(message, memberFxn) \
    {message, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam) -> LRESULT { \
        return static_cast<ThisClass*>(pWnd)->memberFxn(wParam, lParam); }},

// void memberFxn(): WM_COMMAND with the given notification code from control or command id
#define ON_CONTROL(code, id, memberFxn) \
    {WM_COMMAND, code, id, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT { \
        static_cast<ThisClass*>(pWnd)->memberFxn(); return 0; }},

// void memberFxn(): a menu command, or a button's click (both arrive with code 0)
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)
// void memberFxn()
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
// void memberFxn(): needs a list box with LBS_NOTIFY
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
