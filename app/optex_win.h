#pragma once

// A named lock that threads of several processes share, re-entrant for the thread that holds it.
// It is made of a small shared block (spin count, lock count, owning thread, recursion count) and
// an auto-reset event, named "Optex_MMF_" and "Optex_Event_" followed by the lock's name. In the
// block an uncontended enter or leave is a single interlocked operation; a thread that has to wait
// for it spins a while for the holder to leave before it goes to the kernel.
//
// A holder can end without leaving (a copy killed from the task manager), and nothing in the
// block would ever free it. So this program's copies first take a named mutex ("Optex_Mutex_"),
// which the system hands on when its holder ends, and only then the block; and a thread waiting
// for the block looks from time to time whether the thread recorded as its holder still lives,
// and takes the lock over from one that has ended. Copies that know only the block and the event
// still keep out and are kept out through them, as before. Every wait is bounded.

#include "app/shared_block_win.h"
#include "base/scoped_win.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace corvalo {

inline constexpr uint32_t kOptexSpinCount = 4000;
// How long a thread waits for a lock whose holder lives. The guard holds its lock for a few
// interlocked steps and window posts; a holder that keeps it this long is stuck.
inline constexpr DWORD kOptexWaitBoundMs = 5000;

// The names of the objects that make up one lock.
struct OptexNames {
    std::string event;
    std::string block;
    std::string mutex;
};
// The objects' names for a lock's name: each prefix followed by the lock's name.
OptexNames OptexNamesOf(const std::string& lockName);

class Optex {
  public:
    // Opens the lock of that name or creates it; the creator sets the spin count. Throws Error
    // when the event, the shared block or the mutex can't be made.
    explicit Optex(const std::string& name, uint32_t spinCount = kOptexSpinCount);
    explicit Optex(const OptexNames& names, uint32_t spinCount = kOptexSpinCount);
    Optex(const Optex&) = delete;
    Optex& operator=(const Optex&) = delete;

    // Waits until this thread holds the lock; a thread that already holds it enters again at once.
    // A holder that has ended is taken over. False when the lock is still held after `boundMs`:
    // then this thread holds nothing and must not touch what the lock guards.
    bool Enter(DWORD boundMs = kOptexWaitBoundMs);
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

    bool TryEnterBlock();
    bool EnterBlock(ULONGLONG deadline);
    bool TakeOverFromEndedHolder();
    void TakeOwnership(LONG threadId);

    ScopedKernelHandle event_;
    SharedBlock block_;
    Shared* shared_;
    ScopedKernelHandle mutex_;
};

// Holds an Optex for one scope, if it could be had within the bound.
class OptexHold {
  public:
    explicit OptexHold(Optex& lock, DWORD boundMs = kOptexWaitBoundMs)
        : lock_(lock), held_(lock_.Enter(boundMs)) {}
    ~OptexHold() {
        if (held_)
            lock_.Leave();
    }
    OptexHold(const OptexHold&) = delete;
    OptexHold& operator=(const OptexHold&) = delete;

    bool Held() const { return held_; }

  private:
    Optex& lock_;
    bool held_;
};

}  // namespace corvalo
