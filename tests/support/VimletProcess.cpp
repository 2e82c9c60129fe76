#include "VimletProcess.h"

#include <shlobj.h>

#include <stdexcept>

std::wstring SettingsDirectory()
{
    wchar_t folder[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, TRUE);
    return std::wstring(folder) + L"/Vimlet";
}

void RemoveSettingsFiles()
{
    DeleteFileW((SettingsDirectory() + L"/vimlet.ini").c_str());
    DeleteFileW((SettingsDirectory() + L"/excludeapp.txt").c_str());
}

std::vector<HWND> TopLevelWindows(DWORD processId, const std::wstring& title)
{
    struct Search {
        DWORD processId;
        const std::wstring* title;
        std::vector<HWND> found;
    } search{processId, &title, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t text[256] = L"";
            GetWindowTextW(window, text, 256);
            if (owner == s->processId && *s->title == text) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

PROCESS_INFORMATION StartVimlet()
{
    std::wstring commandLine = L"\"" + BesideThisProgram(L"Vimlet.exe") + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        throw std::runtime_error("Vimlet.exe did not start");
    return process;
}

} // namespace

DWORD RunVimletToEnd()
{
    const PROCESS_INFORMATION process = StartVimlet();
    DWORD code = STILL_ACTIVE;
    if (WaitUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }))
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

VimletProcess::VimletProcess() : m_process(StartVimlet())
{
    // Up once its message loop waits for input: start-up, hooks and flags included, is over.
    // (Sent messages are answered earlier, while start-up itself waits on the shell.)
    WaitForInputIdle(m_process.hProcess, 10000);
    const bool up = WaitUntil([this] {
        for (HWND window : TopLevelWindows(ProcessId(), L"Vimlet"))
            if (GetWindowLongW(window, GWL_STYLE) & WS_POPUP) m_parkingWindow = window;
        return m_parkingWindow && IsWindowVisible(m_parkingWindow);
    });
    if (!up) throw std::runtime_error("Vimlet.exe showed no parking window");
}

VimletProcess::~VimletProcess()
{
    if (WaitForExit(0) == STILL_ACTIVE) {
        PostMessageW(MainFrame(), WM_CLOSE, 0, 0);
        if (WaitForExit() == STILL_ACTIVE) TerminateProcess(m_process.hProcess, 1);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

void VimletProcess::Terminate()
{
    TerminateProcess(m_process.hProcess, 1);
    WaitForExit();
}

DWORD VimletProcess::WaitForExit(DWORD timeoutMs)
{
    WaitForSingleObject(m_process.hProcess, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}
