#include "app/optex_win.h"

#include "base/error.h"

#include <algorithm>

namespace corvalo {
namespace {

// The spin count comes from a block other processes can write: never spin longer than this.
constexpr LONG kLongestSpin = 100000;

ScopedKernelHandle CreateOptexEvent(const std::string& name) {
    ScopedKernelHandle event(CreateEventA(nullptr, FALSE, FALSE, ("Optex_Event_" + name).c_str()));
    if (!event)
        throw Error(L"Failed to create the lock's event");
    return event;
}

LONG CurrentThread() {
    return static_cast<LONG>(GetCurrentThreadId());
}

}  // namespace

Optex::Optex(const std::string& name, uint32_t spinCount)
    : event_(CreateOptexEvent(name)),
      block_("Optex_MMF_" + name, sizeof(Shared), nullptr),
      shared_(reinterpret_cast<Shared*>(block_.Data())) {
    if (block_.Created()) {
        // Spinning only helps when the holder can run on another processor meanwhile.
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        const LONG spin = system.dwNumberOfProcessors > 1 ? static_cast<LONG>(spinCount) : 0;
        InterlockedExchange(&shared_->spinCount, spin);
    }
}

void Optex::TakeOwnership(LONG threadId) {
    InterlockedExchange(&shared_->threadId, threadId);
    shared_->recursionCount = 1;
}

bool Optex::TryEnter() {
    const LONG me = CurrentThread();
    // Only this thread ever writes its own identifier into the block, so seeing it means holding.
    if (shared_->threadId == me) {
        InterlockedIncrement(&shared_->lockCount);
        shared_->recursionCount = shared_->recursionCount + 1;
        return true;
    }
    if (InterlockedCompareExchange(&shared_->lockCount, 1, 0) == 0) {
        TakeOwnership(me);
        return true;
    }
    return false;
}

void Optex::Enter() {
    if (TryEnter())
        return;
    const LONG storedSpin = shared_->spinCount;
    for (LONG spin = std::clamp<LONG>(storedSpin, 0, kLongestSpin); spin > 0; --spin) {
        YieldProcessor();
        if (TryEnter())
            return;
    }
    // Counted in as a waiter: when the count was 0 the lock was free after all and is ours,
    // otherwise the holder's last leave sets the event for exactly one waiter.
    if (InterlockedIncrement(&shared_->lockCount) > 1)
        WaitForSingleObject(event_.Get(), INFINITE);
    TakeOwnership(CurrentThread());
}

void Optex::Leave() {
    if (shared_->threadId != CurrentThread())
        return;  // not held by this thread: leaving would hand someone else's lock away
    shared_->recursionCount = shared_->recursionCount - 1;
    if (shared_->recursionCount > 0) {
        InterlockedDecrement(&shared_->lockCount);
        return;
    }
    InterlockedExchange(&shared_->threadId, 0);
    if (InterlockedDecrement(&shared_->lockCount) > 0)
        SetEvent(event_.Get());
}

}  // namespace corvalo
