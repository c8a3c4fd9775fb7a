#pragma once

// The whole program run: the main window over the files beside the executable, then the message
// loop until the main window has closed. The real entry point and the test build share it.

#include "shell/icon_lookup_worker_win.h"

#include <windows.h>

#include <functional>

namespace corvalo {

// What a test or benchmark build of the program changes; the real program changes nothing.
struct ProgramHooks {
    // Sees every message before it is dispatched (a test build stops answering on request).
    std::function<void(const MSG&)> onMessage;
    // Looks up the menu's system icons in place of the shell (a benchmark build plays a network
    // share nobody answers for).
    IconLookupWorker::Lookup iconLookup;
};

// Returns the exit code.
int RunProgram(const ProgramHooks& hooks = {});

}  // namespace corvalo
