#include "shell/icon_lookup_worker_win.h"

#include "base/trace.h"
#include "shell/sys_image_list_win.h"

#include <objbase.h>

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

// What the window's thread and the worker share; everything in it is read and written under the
// lock. The worker holds it too, so a worker that outlives its owner still finds it.
struct IconLookupWorker::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
    HWND window = nullptr;
    UINT message = 0;
    bool stop = false;
    uint64_t batch = 0;
    std::vector<std::string> names;
    size_t next = 0;        // the next name to look up
    bool inFlight = false;  // a lookup of the current batch is being made
    std::vector<Result> results;
    std::optional<int> unknownType;
    bool running = false;  // a thread serves the lookups now
};

namespace {

// A thread that has had nothing to do for this long ends: a thread's stacks cost more memory than
// anything else of an idle program, and a new batch starts a new one at once.
constexpr DWORD kIdleEndMs = 1000;

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

void IconLookupWorker::Start(std::vector<std::string> names) {
    bool startThread = false;
    {
        SlimLockGuard guard(shared_->lock);
        ++shared_->batch;
        shared_->names = std::move(names);
        shared_->next = 0;
        shared_->inFlight = false;
        shared_->results.clear();
        startThread = !shared_->running;
        shared_->running = true;
    }
    if (startThread)
        std::thread(&IconLookupWorker::Run, shared_, lookup_).detach();
    WakeAllConditionVariable(&shared_->wake);
}

void IconLookupWorker::Cancel() {
    SlimLockGuard guard(shared_->lock);
    ++shared_->batch;
    shared_->names.clear();
    shared_->next = 0;
    shared_->inFlight = false;
    shared_->results.clear();
}

std::vector<IconLookupWorker::Result> IconLookupWorker::TakeResults() {
    SlimLockGuard guard(shared_->lock);
    return std::exchange(shared_->results, {});
}

bool IconLookupWorker::Pending() const {
    SlimLockGuard guard(shared_->lock);
    return shared_->next < shared_->names.size() || shared_->inFlight || !shared_->results.empty();
}

bool IconLookupWorker::Running() const {
    SlimLockGuard guard(shared_->lock);
    return shared_->running;
}

std::optional<int> IconLookupWorker::UnknownTypeIcon() const {
    SlimLockGuard guard(shared_->lock);
    return shared_->unknownType;
}

void IconLookupWorker::Run(std::shared_ptr<Shared> shared, Lookup lookup) {
    // The shell's file information needs COM on the thread that asks.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Icons are background work: a menu the user is opening or walking comes first.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    SlimLockGuard guard(shared->lock);
    if (!shared->unknownType) {
        guard.Unlock();
        const int unknownType = UnknownFileTypeIconIndex();
        guard.Lock();
        shared->unknownType = unknownType;
        if (shared->window)
            PostMessageW(shared->window, shared->message, 0, 0);
    }
    for (;;) {
        while (!shared->stop && shared->next >= shared->names.size()) {
            if (!SleepConditionVariableSRW(&shared->wake, &shared->lock, kIdleEndMs, 0) &&
                GetLastError() == ERROR_TIMEOUT && !shared->stop &&
                shared->next >= shared->names.size()) {
                shared->running = false;  // the next batch starts a thread of its own
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
        shared->inFlight = true;
        guard.Unlock();

        int index = 0;
        try {
            index = lookup(name);
        } catch (...) {
            TraceCurrentException(L"A menu icon was not looked up");
        }

        guard.Lock();
        if (shared->stop)
            break;
        if (batch != shared->batch)
            continue;  // the menu was built again meanwhile: this one is no longer wanted
        shared->inFlight = false;
        shared->results.push_back(Result{position, index});
        // One message for every run of results the window has not collected yet.
        if (shared->results.size() == 1 && shared->window)
            PostMessageW(shared->window, shared->message, 0, 0);
    }
    guard.Unlock();
    if (com)
        CoUninitialize();
}

}  // namespace corvalo
