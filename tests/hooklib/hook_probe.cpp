// A second (third, fourth) process with the hook library loaded. It loads the library named by
// its argument and runs the commands it reads, one per line, answering each with one line:
//   is VK            the flag's value
//   set VK VALUE     ok
//   enable | disable | show
//                    ok
//   setup HWND DIR   ok (HWND in any C base, DIR the rest of the line, UTF-8)
//   state            the shared state as this process sees it
//   thread           this thread's id
//   hold NAME        held, or taken when another process holds the named mutex; kept until the process ends
//   quit             bye, then the process ends with 0
// End of input ends it too. A library that does not load ends it with 2.
#include "hook_library.h"

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::wstring FromUtf8(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

std::string Describe(const vimlet::SharedHookState& s)
{
    char path[4 * vimlet::kPathCapacity];
    WideCharToMultiByte(CP_UTF8, 0, s.excludeListPath, -1, path, sizeof path, nullptr, nullptr);
    std::ostringstream out;
    out << "hidden " << int(s.hidden) << " hide " << s.hidePosition.x << ' ' << s.hidePosition.y
        << " saved " << s.savedCursor.x << ' ' << s.savedCursor.y << " mouse "
        << reinterpret_cast<UINT_PTR>(s.mouseHook.handle) << ' ' << s.mouseHook.threadId
        << " keyboard " << reinterpret_cast<UINT_PTR>(s.keyboardHook.handle) << ' '
        << s.keyboardHook.threadId << " parking " << reinterpret_cast<UINT_PTR>(s.parkingWindow)
        << " path " << path;
    return out.str();
}

std::string Run(const HookLibrary& library, const std::string& line)
{
    std::istringstream in(line);
    std::string command;
    in >> command;
    UINT vk = 0, value = 0;
    if (command == "is" || command == "set") in >> vk >> value;
    if (command == "is") return std::to_string(int(library->is_suppressor(vk)));
    if (command == "set") {
        library->set_suppressor(vk, static_cast<BYTE>(value));
    } else if (command == "enable") {
        library->enable();
    } else if (command == "disable") {
        library->disable();
    } else if (command == "show") {
        library->show();
    } else if (command == "setup") {
        std::string window, directory;
        std::getline(in >> window >> std::ws, directory);
        library->setup(reinterpret_cast<HWND>(std::strtoull(window.c_str(), nullptr, 0)),
                       FromUtf8(directory).c_str());
    } else if (command == "state") {
        return Describe(library.State());
    } else if (command == "hold") {
        std::string name;
        std::getline(in >> std::ws, name);
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, FromUtf8(name).c_str());
        return mutex && GetLastError() != ERROR_ALREADY_EXISTS ? "held" : "taken";
    } else if (command == "thread") {
        return std::to_string(GetCurrentThreadId());
    } else if (command == "quit") {
        return "bye";
    } else {
        return "unknown " + command;
    }
    return "ok";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    try {
        HookLibrary library(argv[1]);
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::string answer = Run(library, line);
            std::cout << answer << std::endl;
            if (answer == "bye") break;
        }
    } catch (const std::exception& e) {
        std::cerr << "hook_probe: " << e.what() << std::endl;
        return 2;
    }
    return 0;
}
