#pragma once
// For the framework's tests: message pumping with a bound, quit messages.

#include <windows.h>

#include <functional>
#include <optional>

// Dispatches this thread's messages until done() holds or 10 s have passed; returns done().
// A quit message met on the way is kept for TakeQuitMessage.
bool PumpUntil(const std::function<bool()>& done);
// The exit code of the quit message waiting for this thread (or met by PumpUntil); takes it.
std::optional<int> TakeQuitMessage();
