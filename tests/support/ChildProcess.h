#pragma once
// A helper program started by a test and spoken to line by line over its standard input and
// output. Every wait is bounded and keeps this thread's windows responsive (see Wait.h).

#include "Host.h"
#include "Wait.h"

#include <windows.h>

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ChildProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments);
    // Closes the helper's input (its cue to end), waits for it, and kills it if it lingers.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of output without its line end; nothing when none came within the bound or
    // the helper's output ended.
    std::optional<std::string> ReadLine();
    // The command as a line, then ReadLine; an empty answer when none came.
    std::string Ask(const std::string& command);

    // The exit code, once the process has ended within the bound.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = kPatience);
    // Ends the process at once, as a crash or the task manager would, and waits for the end.
    void Terminate();
    DWORD Id() const { return m_processId; }
    HANDLE Handle() const { return m_process; }

private:
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
    HANDLE m_input = nullptr;
    HANDLE m_output = nullptr;
    std::mutex m_mutex;
    std::deque<std::string> m_lines;
    bool m_outputEnded = false;
    std::thread m_reader;
};

