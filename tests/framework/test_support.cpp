#include "test_support.h"

#include "afxwin.h"

// The test program is a framework application too: the one application object.
CWinApp theTestApp;

std::optional<int> TakeQuitMessage()
{
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return std::nullopt;
    return static_cast<int>(msg.wParam);
}
