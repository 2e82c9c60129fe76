#pragma once
// Line-by-line talk over a pipe, both ways: the tests' side and their helper programs' side.

#include <windows.h>

#include <string>

inline void WriteLine(HANDLE to, const std::string& line)
{
    const std::string bytes = line + "\n";
    DWORD written;
    WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Reads until the writer's end closes, handing on each line without its "\n" or "\r\n".
template <class Take>
void ReadLines(HANDLE from, Take take)
{
    std::string pending;
    char buffer[4096];
    DWORD read;
    while (ReadFile(from, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            take(pending.substr(0, end > 0 && pending[end - 1] == '\r' ? end - 1 : end));
    }
}
