#include "app/optex_win.h"

#include "base/error.h"

#include <algorithm>

namespace corvalo {
namespace {

// The spin count comes from a block other processes can write: never spin longer than this.
constexpr LONG kLongestSpin = 100000;
// How often a waiting thread looks whether the holder still lives.
constexpr DWORD kHolderCheckMs = 50;

ScopedKernelHandle CreateOptexEvent(const std::string& name) {
    ScopedKernelHandle event(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
    if (!event)
        throw Error(L"Failed to create the lock's event");
    return event;
}

ScopedKernelHandle CreateOptexMutex(const std::string& name) {
    ScopedKernelHandle mutex(CreateMutexA(nullptr, FALSE, name.c_str()));
    if (!mutex)
        throw Error(L"Failed to create the lock's mutex");
    return mutex;
}

LONG CurrentThread() {
    return static_cast<LONG>(GetCurrentThreadId());
}

// False once the thread has ended. A thread that exists but can't be opened from here counts as
// living: taking a lock from a live holder would let two threads in.
bool ThreadLives(LONG threadId) {
    ScopedKernelHandle thread(OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(threadId)));
    if (!thread)
        return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(thread.Get(), 0) == WAIT_TIMEOUT;
}

DWORD MillisecondsUntil(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0
                           : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
}

}  // namespace

OptexNames OptexNamesOf(const std::string& lockName) {
    return {"Optex_Event_" + lockName, "Optex_MMF_" + lockName, "Optex_Mutex_" + lockName};
}

Optex::Optex(const std::string& name, uint32_t spinCount) : Optex(OptexNamesOf(name), spinCount) {}

Optex::Optex(const OptexNames& names, uint32_t spinCount)
    : event_(CreateOptexEvent(names.event)),
      block_(names.block, sizeof(Shared), nullptr),
      shared_(reinterpret_cast<Shared*>(block_.Data())),
      mutex_(CreateOptexMutex(names.mutex)) {
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

bool Optex::TryEnterBlock() {
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

bool Optex::TryEnter() {
    // An abandoned mutex is held all the same: its holder has ended.
    const DWORD got = WaitForSingleObject(mutex_.Get(), 0);
    if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED)
        return false;
    if (TryEnterBlock())
        return true;
    ReleaseMutex(mutex_.Get());
    return false;
}

bool Optex::Enter(DWORD boundMs) {
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    // The mutex keeps this program's copies from meeting in the block; when its holder has
    // ended, the system hands it on and the block's state is repaired below.
    const DWORD got = WaitForSingleObject(mutex_.Get(), boundMs);
    if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED)
        return false;
    if (EnterBlock(deadline))
        return true;
    ReleaseMutex(mutex_.Get());
    return false;
}

bool Optex::EnterBlock(ULONGLONG deadline) {
    if (TryEnterBlock())
        return true;
    const LONG storedSpin = shared_->spinCount;
    for (LONG spin = std::clamp<LONG>(storedSpin, 0, kLongestSpin); spin > 0; --spin) {
        YieldProcessor();
        if (TryEnterBlock())
            return true;
    }
    // Counted in as a waiter: when the count was 0 the lock was free after all and is ours,
    // otherwise the holder's last leave sets the event for exactly one waiter.
    if (InterlockedIncrement(&shared_->lockCount) == 1) {
        TakeOwnership(CurrentThread());
        return true;
    }
    for (;;) {
        if (TakeOverFromEndedHolder())
            return true;
        const DWORD left = MillisecondsUntil(deadline);
        if (left == 0) {
            // Out of the count again. A leave just before may have set the event for this thread
            // already; whoever wakes on that finds a holder recorded and waits on (below).
            InterlockedDecrement(&shared_->lockCount);
            return false;
        }
        if (WaitForSingleObject(event_.Get(), std::min(left, kHolderCheckMs)) == WAIT_OBJECT_0 &&
            shared_->threadId == 0) {
            // A leave clears the holder before it sets the event, and nothing can enter while
            // this thread is counted in: the lock was handed to this thread.
            TakeOwnership(CurrentThread());
            return true;
        }
    }
}

// Called while counted in as a waiter. When the recorded holder has ended, its enters will never
// be left: this thread takes its place, and the count keeps only this thread's enter and the
// other waiters, whom this thread's last leave then wakes as usual.
bool Optex::TakeOverFromEndedHolder() {
    const LONG me = CurrentThread();
    const LONG holder = shared_->threadId;
    if (holder == 0 || holder == me || ThreadLives(holder))
        return false;
    // Stable once its holder has ended: only the holder writes it. It is at least 1 while a
    // holder is recorded, unless the holder ended inside its first enter.
    const LONG holderEnters = std::max<LONG>(LONG{shared_->recursionCount}, 1);
    // One taker only, if several waiters see the holder gone at once.
    if (InterlockedCompareExchange(&shared_->threadId, me, holder) != holder)
        return false;
    LONG count = shared_->lockCount;
    for (;;) {
        const LONG repaired = std::max<LONG>(count - holderEnters, 1);
        const LONG seen = InterlockedCompareExchange(&shared_->lockCount, repaired, count);
        if (seen == count)
            break;
        count = seen;  // another waiter counted in meanwhile
    }
    shared_->recursionCount = 1;
    return true;
}

void Optex::Leave() {
    if (shared_->threadId != CurrentThread())
        return;  // not held by this thread: leaving would hand someone else's lock away
    shared_->recursionCount = shared_->recursionCount - 1;
    if (shared_->recursionCount > 0) {
        InterlockedDecrement(&shared_->lockCount);
    } else {
        InterlockedExchange(&shared_->threadId, 0);
        if (InterlockedDecrement(&shared_->lockCount) > 0)
            SetEvent(event_.Get());
    }
    ReleaseMutex(mutex_.Get());
}

}  // namespace corvalo
