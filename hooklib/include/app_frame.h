#pragma once
// Store apps show their windows inside a frame that ApplicationFrameHost.exe draws for all of
// them: the application is the process of the frame's child window, not the frame's process.

#include <windows.h>

namespace vimlet {

// Whether the path names the frame host, in any letter case.
template <class Char>
constexpr bool IsAppFrameHost(const Char* path)
{
    const char kName[] = "applicationframehost.exe";
    const Char* name = path;
    for (const Char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    int i = 0;
    for (; name[i] && kName[i]; ++i) {
        const Char lower = name[i] >= 'A' && name[i] <= 'Z' ? Char(name[i] + ('a' - 'A')) : name[i];
        if (lower != Char(kName[i])) return false;
    }
    return !name[i] && !kName[i];
}

// The process of a window inside window's top-level frame that belongs to another process
// than the frame; 0 when there is none.
inline DWORD HostedProcess(HWND window)
{
    struct Search {
        DWORD frameProcess;
        DWORD found;
    } search{0, 0};
    const HWND frame = GetAncestor(window, GA_ROOT);
    if (!frame) return 0;  // EnumChildWindows would go through every top-level window
    GetWindowThreadProcessId(frame, &search.frameProcess);
    EnumChildWindows(
        frame,
        [](HWND child, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD process = 0;
            GetWindowThreadProcessId(child, &process);
            if (process == s->frameProcess) return TRUE;
            s->found = process;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace vimlet
