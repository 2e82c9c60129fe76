#pragma once
// For the framework's tests: quit messages.

#include <windows.h>

#include <optional>

// The exit code of the quit message waiting for this thread; takes it.
std::optional<int> TakeQuitMessage();
