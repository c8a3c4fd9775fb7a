#pragma once

// A named lock that threads of several processes share, re-entrant for the thread that holds it.
// It is made of a small shared block (spin count, lock count, owning thread, recursion count) and
// an auto-reset event, named "Optex_MMF_" and "Optex_Event_" followed by the lock's name. An
// uncontended enter or leave is a single interlocked operation on the block; only a thread that
// has to wait goes to the kernel, after spinning a while for the holder to leave.

#include "app/shared_block_win.h"
#include "base/scoped_win.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace corvalo {

inline constexpr uint32_t kOptexSpinCount = 4000;

class Optex {
  public:
    // Opens the lock of that name or creates it; the creator sets the spin count. Throws Error
    // when the event or the shared block can't be made.
    explicit Optex(const std::string& name, uint32_t spinCount = kOptexSpinCount);
    Optex(const Optex&) = delete;
    Optex& operator=(const Optex&) = delete;

    // Waits until this thread holds the lock; a thread that already holds it enters again at once.
    void Enter();
    // Enters only when that needs no waiting.
    bool TryEnter();
    // Leaves once for every enter; the last leave wakes one waiting thread.
    void Leave();

  private:
    // The shared block's layout, the same in every process that uses the lock.
    struct Shared {
        volatile LONG spinCount;
        volatile LONG lockCount;  // enters of the holder plus the threads waiting
        volatile LONG threadId;   // the holding thread, 0 when free
        volatile LONG recursionCount;
    };
    static_assert(sizeof(Shared) == 16);

    void TakeOwnership(LONG threadId);

    ScopedKernelHandle event_;
    SharedBlock block_;
    Shared* shared_;
};

// Holds an Optex for one scope.
class OptexHold {
  public:
    explicit OptexHold(Optex& lock) : lock_(lock) { lock_.Enter(); }
    ~OptexHold() { lock_.Leave(); }
    OptexHold(const OptexHold&) = delete;
    OptexHold& operator=(const OptexHold&) = delete;

  private:
    Optex& lock_;
};

}  // namespace corvalo
