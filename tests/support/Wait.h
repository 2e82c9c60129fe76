#pragma once
// Bounded waits for effects in other processes. While waiting, the calling thread keeps
// dispatching its own messages, so that its windows stay responsive to senders elsewhere
// (a hook in another process may be sending to them).

#include <windows.h>

constexpr DWORD kPatience = 10000;  // ms: generous, since nothing here should ever hit it

// Dispatches what is waiting for this thread now, and waits at most timeoutMs for more.
void PumpMessages(DWORD timeoutMs);

// Polls until done() holds; false when timeoutMs passed first.
template <class Condition>
bool WaitUntil(Condition done, DWORD timeoutMs = kPatience)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return done();
        // Effects in other processes post nothing to this thread: look again soon.
        PumpMessages(static_cast<DWORD>(deadline - now < 10 ? deadline - now : 10));
    }
    return true;
}
