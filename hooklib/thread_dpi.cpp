#include "win32_system.h"

namespace vimlet {

namespace {

using SetThreadDpiFunction = DpiContext(WINAPI*)(DpiContext);

// Where the system cannot switch a thread's awareness (before Windows 10 1607).
DpiContext WINAPI KeepThreadDpi(DpiContext) { return nullptr; }

// Null until the first switch looks the function up. Threads of one process may race to do so;
// each stores the same answer, with single pointer-sized stores.
SetThreadDpiFunction g_setThreadDpi;

SetThreadDpiFunction LookUpSetThreadDpi()
{
    const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext");
    return found ? reinterpret_cast<SetThreadDpiFunction>(reinterpret_cast<void*>(found)) : KeepThreadDpi;
}

} // namespace

DpiContext SetThreadDpi(DpiContext context)
{
    SetThreadDpiFunction function = __atomic_load_n(&g_setThreadDpi, __ATOMIC_RELAXED);
    if (!function) {
        function = LookUpSetThreadDpi();
        __atomic_store_n(&g_setThreadDpi, function, __ATOMIC_RELAXED);
    }
    return function(context);
}

} // namespace vimlet
