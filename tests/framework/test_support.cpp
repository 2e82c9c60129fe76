#include "test_support.h"

#include "afxwin.h"

#include <utility>

// The test program is a framework application too: the one application object.
CWinApp theTestApp;

namespace {

std::optional<int> g_quitCode;

} // namespace

bool PumpUntil(const std::function<bool()>& done)
{
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (!done()) {
        if (::GetTickCount64() > deadline) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                g_quitCode = static_cast<int>(msg.wParam);
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

std::optional<int> TakeQuitMessage()
{
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        g_quitCode = static_cast<int>(msg.wParam);
    }
    return std::exchange(g_quitCode, std::nullopt);
}
