#pragma once
// The real Vimlet.exe, started beside the test program and watched from outside.

#include "ChildProcess.h"

#include <windows.h>

#include <string>
#include <vector>

// The program's settings directory in this Wine prefix, and its two files removed.
std::wstring SettingsDirectory();
void RemoveSettingsFiles();

// Visible or not, the top-level windows of one process with the given title.
std::vector<HWND> TopLevelWindows(DWORD processId, const std::wstring& title);

// Starts another Vimlet.exe and waits for it to end by itself: its exit code, or STILL_ACTIVE
// when it ran on (it is then terminated).
DWORD RunVimletToEnd();

class VimletProcess {
public:
    // Starts Vimlet.exe (the one beside this test, or program) and waits until its parking
    // window is up.
    explicit VimletProcess(const std::wstring& program = BesideThisProgram(L"Vimlet.exe"));
    // Closes the program if it still runs: WM_CLOSE to its main frame, else terminate.
    ~VimletProcess();
    VimletProcess(const VimletProcess&) = delete;
    VimletProcess& operator=(const VimletProcess&) = delete;

    DWORD ProcessId() const { return m_process.Id(); }
    HWND ParkingWindow() const { return m_parkingWindow; }
    // The parking window's owner: the hidden main frame.
    HWND MainFrame() const { return GetWindow(m_parkingWindow, GW_OWNER); }
    // The exit code once the process ended within timeoutMs; STILL_ACTIVE otherwise.
    DWORD WaitForExit(DWORD timeoutMs = 10000);
    // Ends the program at once, as a crash or the task manager would, and waits for the end.
    void Terminate();

private:
    ChildProcess m_process;
    HWND m_parkingWindow = nullptr;
};
