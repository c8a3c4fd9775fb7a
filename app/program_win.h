#pragma once

// The whole program run: the main window over the files beside the executable, then the message
// loop until the main window has closed. The real entry point and the test build share it.

#include <windows.h>

#include <functional>

namespace corvalo {

// Returns the exit code. `onMessage`, when given, sees every message before it is dispatched
// (a test build uses it to stop answering on request).
int RunProgram(const std::function<void(const MSG&)>& onMessage = {});

}  // namespace corvalo
