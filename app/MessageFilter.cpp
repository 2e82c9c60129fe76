#include "MessageFilter.h"

namespace vimlet {

bool MessageFilterSystem::RunsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                          elevation.TokenIsElevated;
    CloseHandle(token);
    return elevated;
}

void MessageFilterSystem::LetInFromBelow(HWND window, UINT message)
{
    ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
}

} // namespace vimlet
