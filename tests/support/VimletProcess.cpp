#include "VimletProcess.h"

#include "SingleInstance.h"

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
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, nullptr, title.c_str()));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) found.push_back(window);
    }
    return found;
}

DWORD RunVimletToEnd()
{
    ChildProcess process(BesideThisProgram(L"Vimlet.exe"), {});
    const std::optional<DWORD> code = process.WaitForExit();
    if (!code) process.Terminate();
    return code.value_or(STILL_ACTIVE);
}

VimletProcess::VimletProcess(const std::wstring& program) : m_process(program, {})
{
    // Up once its message loop waits for input: start-up, hooks and flags included, is over.
    // (Sent messages are answered earlier, while start-up itself waits on the shell.)
    WaitForInputIdle(m_process.Handle(), kPatience);
    const bool up = WaitUntil([this] {
        m_parkingWindow = single_instance::FindParkingWindow(ProcessId());
        return m_parkingWindow && IsWindowVisible(m_parkingWindow);
    });
    if (!up) throw std::runtime_error("Vimlet.exe showed no parking window");
}

VimletProcess::~VimletProcess()
{
    if (WaitForExit(0) == STILL_ACTIVE) PostMessageW(MainFrame(), WM_CLOSE, 0, 0);
}

void VimletProcess::Terminate() { m_process.Terminate(); }

DWORD VimletProcess::WaitForExit(DWORD timeoutMs)
{
    return m_process.WaitForExit(timeoutMs).value_or(STILL_ACTIVE);
}
