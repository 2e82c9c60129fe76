// Runs Vimlet.exe for the X11 harness and ends it as its user would, so that its hooks are gone
// before the next setup starts: prints "ready" once the parking window is up; when standard
// input closes, sends WM_CLOSE to the main frame and exits with 0 once Vimlet.exe has ended
// with 0, with 1 otherwise.
#include "VimletProcess.h"

#include <cstdio>

int main()
{
    VimletProcess vimlet;
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read) {}
    PostMessageW(vimlet.MainFrame(), WM_CLOSE, 0, 0);
    return vimlet.WaitForExit() == 0 ? 0 : 1;
}
