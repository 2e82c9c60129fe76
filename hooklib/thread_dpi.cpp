#include "win32_system.h"

namespace vimlet {

namespace {

// Windows 10 1607 and later have SetThreadDpiAwarenessContext; looked up on first use.
using SetThreadDpiFunction = DpiContext(WINAPI*)(DpiContext);
SetThreadDpiFunction g_setThreadDpi;
bool g_setThreadDpiLookedUp;

} // namespace

DpiContext SetThreadDpi(DpiContext context)
{
    if (!g_setThreadDpiLookedUp) {
        g_setThreadDpi = reinterpret_cast<SetThreadDpiFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
        g_setThreadDpiLookedUp = true;
    }
    return g_setThreadDpi ? g_setThreadDpi(context) : nullptr;
}

} // namespace vimlet
