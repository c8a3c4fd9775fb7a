#pragma once

// A menu icon lookup the test holds up, as the shell holds up one of a target on a network share
// nobody answers for: it waits until the test lets it go (or a long while), then answers as the
// shell does. Shared, because the worker may still be inside it after the window under test is
// gone.

#include "base/scoped_win.h"
#include "shell/icon_lookup_worker_win.h"
#include "shell/sys_image_list_win.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

namespace corvalo::test {

struct HeldIconLookup {
    ScopedKernelHandle released{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<int> entered{0};
    std::atomic<int> answered{0};
    // Only names that hold this are held up; every name when it is empty.
    std::string only;

    void Release() { SetEvent(released.Get()); }
    bool WaitUntilEntered(DWORD milliseconds = 10000) const {
        for (DWORD waited = 0; entered == 0 && waited < milliseconds; waited += 10)
            Sleep(10);
        return entered > 0;
    }

    static IconLookupWorker::Lookup Of(const std::shared_ptr<HeldIconLookup>& held) {
        return [held](const std::string& name) {
            if (name.find(held->only) == std::string::npos)
                return GetFileIconIndex(name, false);
            ++held->entered;
            WaitForSingleObject(held->released.Get(), 20000);
            ++held->answered;
            return GetFileIconIndex(name, false);
        };
    }
};

}  // namespace corvalo::test
