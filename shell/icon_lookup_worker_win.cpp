#include "shell/icon_lookup_worker_win.h"

#include "base/trace.h"
#include "shell/sys_image_list_win.h"

#include <objbase.h>

#include <algorithm>
#include <array>
#include <thread>
#include <utility>

namespace corvalo {

namespace {

// The system's slim lock and condition variable: they take no kernel object, so a worker that
// waits adds no handle to the process.
class SlimLockGuard {
  public:
    explicit SlimLockGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~SlimLockGuard() {
        if (held_)
            ReleaseSRWLockExclusive(&lock_);
    }
    SlimLockGuard(const SlimLockGuard&) = delete;
    SlimLockGuard& operator=(const SlimLockGuard&) = delete;
    void Unlock() {
        ReleaseSRWLockExclusive(&lock_);
        held_ = false;
    }
    void Lock() {
        AcquireSRWLockExclusive(&lock_);
        held_ = true;
    }

  private:
    SRWLOCK& lock_;
    bool held_ = true;
};

}  // namespace

// What the window's thread and the workers share; everything in it is read and written under the
// lock. The workers hold it too, so a worker that outlives its owner still finds it.
struct IconLookupWorker::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
    HWND window = nullptr;
    UINT message = 0;
    bool stop = false;
    uint64_t batch = 0;
    std::vector<std::string> names;
    size_t next = 0;      // the next name to look up
    size_t inFlight = 0;  // lookups of the current batch being made
    std::vector<Result> results;
    std::optional<int> unknownType;
    // One slot per thread that serves the lookups: whether it runs, and since when (0: not) it is
    // inside a lookup.
    struct Slot {
        bool running = false;
        ULONGLONG busySince = 0;
    };
    std::array<Slot, kMostLookupThreads> slots;
};

namespace {

// A thread that has had nothing to do for this long ends: a thread's stacks cost more memory than
// anything else of an idle program, and a new batch starts a new one at once.
constexpr DWORD kIdleEndMs = 1000;
// A thread inside one lookup for this long is held up by the shell (a share nobody answers for);
// a new batch does not wait for it.
constexpr ULONGLONG kStuckAfterMs = 250;

// Posted outside the lock: the window's thread never waits for a below-normal thread that holds
// it.
void Announce(HWND window, UINT message) {
    if (window)
        PostMessageW(window, message, 0, 0);
}

}  // namespace

IconLookupWorker::IconLookupWorker(HWND window, UINT message, Lookup lookup)
    : lookup_(lookup ? std::move(lookup) : Lookup([](const std::string& name) {
          return GetFileIconIndex(name, false);
      })),
      shared_(std::make_shared<Shared>()) {
    shared_->window = window;
    shared_->message = message;
}

IconLookupWorker::~IconLookupWorker() {
    {
        SlimLockGuard guard(shared_->lock);
        shared_->stop = true;
        shared_->window = nullptr;
    }
    WakeAllConditionVariable(&shared_->wake);
    // Not joined: a lookup the shell holds up must not keep the program from ending.
}

void IconLookupWorker::StopPosting() {
    SlimLockGuard guard(shared_->lock);
    shared_->window = nullptr;
}

void IconLookupWorker::Start(std::vector<std::string> names) {
    std::optional<size_t> newThread;
    {
        SlimLockGuard guard(shared_->lock);
        ++shared_->batch;
        shared_->names = std::move(names);
        shared_->next = 0;
        shared_->inFlight = 0;
        shared_->results.clear();
        // The batch needs a thread that is free or soon will be; threads held up by the shell
        // don't count, and only a few of them are ever left to finish on their own.
        const ULONGLONG now = GetTickCount64();
        bool served = false;
        for (size_t i = 0; i < shared_->slots.size(); ++i) {
            const Shared::Slot& slot = shared_->slots[i];
            if (!slot.running) {
                if (!newThread)
                    newThread = i;
            } else if (slot.busySince == 0 || now - slot.busySince < kStuckAfterMs) {
                served = true;
            }
        }
        if (served || !newThread) {
            newThread.reset();
        } else {
            shared_->slots[*newThread].running = true;
        }
    }
    if (newThread)
        std::thread(&IconLookupWorker::Run, shared_, lookup_, *newThread).detach();
    WakeAllConditionVariable(&shared_->wake);
}

void IconLookupWorker::Cancel() {
    SlimLockGuard guard(shared_->lock);
    ++shared_->batch;
    shared_->names.clear();
    shared_->next = 0;
    shared_->inFlight = 0;
    shared_->results.clear();
}

std::vector<IconLookupWorker::Result> IconLookupWorker::TakeResults(size_t most) {
    SlimLockGuard guard(shared_->lock);
    std::vector<Result>& results = shared_->results;
    if (results.size() <= most)
        return std::exchange(results, {});
    std::vector<Result> taken(results.begin(), results.begin() + static_cast<ptrdiff_t>(most));
    results.erase(results.begin(), results.begin() + static_cast<ptrdiff_t>(most));
    const HWND window = shared_->window;
    guard.Unlock();
    Announce(window, shared_->message);
    return taken;
}

bool IconLookupWorker::Pending() const {
    SlimLockGuard guard(shared_->lock);
    return shared_->next < shared_->names.size() || shared_->inFlight > 0 ||
           !shared_->results.empty();
}

bool IconLookupWorker::Running() const {
    SlimLockGuard guard(shared_->lock);
    return std::any_of(shared_->slots.begin(), shared_->slots.end(),
                       [](const Shared::Slot& slot) { return slot.running; });
}

std::optional<int> IconLookupWorker::UnknownTypeIcon() const {
    SlimLockGuard guard(shared_->lock);
    return shared_->unknownType;
}

void IconLookupWorker::Run(std::shared_ptr<Shared> shared, Lookup lookup, size_t slotIndex) {
    // The shell's file information needs COM on the thread that asks.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Icons are background work: a menu the user is opening or walking comes first.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    Shared::Slot& slot = shared->slots[slotIndex];
    SlimLockGuard guard(shared->lock);
    if (!shared->unknownType) {
        slot.busySince = GetTickCount64();
        guard.Unlock();
        const int unknownType = UnknownFileTypeIconIndex();
        guard.Lock();
        slot.busySince = 0;
        shared->unknownType = unknownType;
        const HWND window = shared->window;
        guard.Unlock();
        Announce(window, shared->message);
        guard.Lock();
    }
    for (;;) {
        while (!shared->stop && shared->next >= shared->names.size()) {
            if (!SleepConditionVariableSRW(&shared->wake, &shared->lock, kIdleEndMs, 0) &&
                GetLastError() == ERROR_TIMEOUT && !shared->stop &&
                shared->next >= shared->names.size()) {
                slot.running = false;  // the next batch starts a thread of its own
                guard.Unlock();
                if (com)
                    CoUninitialize();
                return;
            }
        }
        if (shared->stop)
            break;
        const uint64_t batch = shared->batch;
        const size_t position = shared->next++;
        const std::string name = shared->names[position];
        ++shared->inFlight;
        slot.busySince = std::max<ULONGLONG>(GetTickCount64(), 1);
        guard.Unlock();

        int index = 0;
        try {
            index = lookup(name);
        } catch (...) {
            TraceCurrentException(L"A menu icon was not looked up");
        }

        guard.Lock();
        slot.busySince = 0;
        if (shared->stop)
            break;
        if (batch != shared->batch)
            continue;  // the menu was built again meanwhile: this one is no longer wanted
        --shared->inFlight;
        shared->results.push_back(Result{position, index});
        // One message for every run of results the window has not collected yet.
        if (shared->results.size() == 1) {
            const HWND window = shared->window;
            guard.Unlock();
            Announce(window, shared->message);
            guard.Lock();
        }
    }
    slot.running = false;
    guard.Unlock();
    if (com)
        CoUninitialize();
}

}  // namespace corvalo
