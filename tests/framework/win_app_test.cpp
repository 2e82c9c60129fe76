#include "Host.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs framework_probe.exe, which lies beside this program, and returns its exit code.
DWORD RunProbe(const std::wstring& scenario)
{
    std::wstring commandLine = L"\"" + BesideThisProgram(L"framework_probe.exe") + L"\" " + scenario;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        ADD_FAILURE() << "cannot start " << std::string(commandLine.begin(), commandLine.end());
        return ~0u;
    }
    DWORD exitCode = ~0u;
    if (::WaitForSingleObject(pi.hProcess, 60000) == WAIT_TIMEOUT) {
        ADD_FAILURE() << "the probe did not end: " << std::string(scenario.begin(), scenario.end());
        ::TerminateProcess(pi.hProcess, exitCode);
    }
    ::GetExitCodeProcess(pi.hProcess, &exitCode);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return exitCode;
}

TEST(WinApp, NameAndInstanceAreKnownBeforeTheEntryPoint)
{
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_STREQ(AfxGetApp()->m_pszAppName, L"Framework Probe");  // string AFX_IDS_APP_TITLE
    EXPECT_EQ(AfxGetInstanceHandle(), ::GetModuleHandleW(nullptr));
}

TEST(WinApp, ExitCodeIsTheQuitMessages)
{
    EXPECT_EQ(RunProbe(L"quit"), 7u);
    EXPECT_EQ(RunProbe(L"close"), 0u);  // the main window's destruction quits with 0
}

TEST(WinApp, RefusedInitInstanceEndsThroughExitInstance)
{
    EXPECT_EQ(RunProbe(L"refuse"), 3u);
}

TEST(WinApp, ClosingTheMainWindowFromNestedDialogsEndsTheProcess)
{
    EXPECT_EQ(RunProbe(L"exit-from-dialog"), 0u);
}

} // namespace
