#include "ChildProcess.h"

#include "Lines.h"

#include <stdexcept>

namespace {

// A pipe whose child end alone is inherited.
void MakePipe(HANDLE* read, HANDLE* write, bool childReads)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(read, write, &inherit, 0)) throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(childReads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
}

// Quotes one command-line argument the way CommandLineToArgvW splits it again.
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        // Backslashes double only in front of a quote.
        if (c == L'"') quoted.append(backslashes + 1, L'\\');
        backslashes = c == L'\\' ? backslashes + 1 : 0;
        quoted.push_back(c);
    }
    return quoted.append(backslashes, L'\\') + L'"';
}

} // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    HANDLE childInput, childOutput;
    MakePipe(&childInput, &m_input, true);
    MakePipe(&m_output, &childOutput, false);

    std::wstring commandLine = QuoteArgument(program);
    for (const std::wstring& argument : arguments) commandLine += L" " + QuoteArgument(argument);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &info);
    const DWORD error = GetLastError();
    // Only the child holds its ends now, so its exit ends our reads.
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!started) {
        CloseHandle(m_input);
        CloseHandle(m_output);
        throw std::runtime_error("CreateProcess failed with error " + std::to_string(error) + ": " +
                                 std::string(program.begin(), program.end()));
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_processId = info.dwProcessId;
    m_reader = std::thread([this] {
        ReadLines(m_output, [this](std::string line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(std::move(line));
        });
        std::lock_guard<std::mutex> lock(m_mutex);
        m_outputEnded = true;
    });
}

ChildProcess::~ChildProcess()
{
    CloseHandle(m_input);
    if (!WaitForExit()) Terminate();
    m_reader.join();
    CloseHandle(m_output);
    CloseHandle(m_process);
}

void ChildProcess::Terminate()
{
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, kPatience);
}

std::optional<std::string> ChildProcess::ReadLine()
{
    std::optional<std::string> line;
    WaitUntil([&] {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_lines.empty()) return m_outputEnded;
        line = m_lines.front();
        m_lines.pop_front();
        return true;
    });
    return line;
}

std::string ChildProcess::Ask(const std::string& command)
{
    WriteLine(m_input, command);
    return ReadLine().value_or("");
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs)
{
    if (!WaitUntil([&] { return WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }, timeoutMs))
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return code;
}
