// The instance lock: a named lock shared by threads of any process, re-entrant for its holder.
// Each thread opens the lock by name on its own, as separate processes do.
#include "app/optex_win.h"
#include "base/error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace corvalo {
namespace {

std::string UniqueLockName() {
    static int counter = 0;
    return "CorvaloTestLock_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++counter);
}

// Runs `work` on another thread and waits for it.
template <typename Work>
auto OnOtherThread(Work work) {
    decltype(work()) result{};
    std::thread thread([&] { result = work(); });
    thread.join();
    return result;
}

TEST(InstanceLock, IsReentrantForTheThreadThatHoldsIt) {
    const std::string name = UniqueLockName();
    Optex lock(name);
    const auto otherThreadGetsIn = [&] {
        return OnOtherThread([&] {
            Optex other(name);
            const bool entered = other.TryEnter();
            if (entered)
                other.Leave();
            return entered;
        });
    };

    lock.Enter();
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());
    EXPECT_FALSE(otherThreadGetsIn());
    lock.Leave();
    lock.Leave();
    EXPECT_FALSE(otherThreadGetsIn()) << "free before the last leave";
    lock.Leave();
    EXPECT_TRUE(otherThreadGetsIn());
    // And this thread can take it again afterwards.
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
}

TEST(InstanceLock, KeepsThreadsOutWhileOneHoldsIt) {
    const std::string name = UniqueLockName();
    constexpr int kThreads = 4;
    constexpr int kRounds = 1000;
    int counter = 0;  // changed only under the lock, in two steps so overlaps would lose counts
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Optex lock(name);
            for (int round = 0; round < kRounds; ++round) {
                OptexHold hold(lock);
                if (inside.fetch_add(1) != 0)
                    overlaps.fetch_add(1);
                const int seen = counter;
                if ((round + t) % 7 == 0) {
                    OptexHold again(lock);  // re-entering in the middle changes nothing
                    SwitchToThread();
                }
                counter = seen + 1;
                inside.fetch_sub(1);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(counter, kThreads * kRounds);
}

TEST(InstanceLock, AWaitingThreadGetsInWhenTheHolderLeaves) {
    const std::string name = UniqueLockName();
    Optex lock(name);
    lock.Enter();
    std::atomic<bool> waiterIn{false};
    std::atomic<bool> holderLeft{false};
    std::atomic<bool> enteredAfterLeave{false};
    std::thread waiter([&] {
        Optex mine(name);
        mine.Enter();  // waits for the holder's leave
        enteredAfterLeave = holderLeft.load();
        waiterIn = true;
        mine.Leave();
    });
    Sleep(200);
    EXPECT_FALSE(waiterIn.load());
    holderLeft = true;
    lock.Leave();
    waiter.join();
    EXPECT_TRUE(waiterIn.load());
    EXPECT_TRUE(enteredAfterLeave.load());
    EXPECT_TRUE(lock.TryEnter()) << "the waiter's leave freed the lock";
    lock.Leave();
}

TEST(InstanceLock, ALeaveByAThreadThatDoesNotHoldItChangesNothing) {
    const std::string name = UniqueLockName();
    Optex lock(name);
    lock.Enter();
    EXPECT_FALSE(OnOtherThread([&] {
        Optex other(name);
        other.Leave();
        return other.TryEnter();
    }));
    lock.Leave();
}

TEST(InstanceLock, TheCreatorSetsTheSpinCountInTheSharedBlock) {
    const std::string name = UniqueLockName();
    Optex lock(name);
    ScopedKernelHandle mapping(
        OpenFileMappingA(FILE_MAP_READ, FALSE, ("Optex_MMF_" + name).c_str()));
    ASSERT_TRUE(mapping);
    ScopedMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 16));
    ASSERT_TRUE(view);
    const auto* fields = static_cast<const LONG*>(view.Get());
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    EXPECT_EQ(fields[0], system.dwNumberOfProcessors > 1 ? 4000 : 0);

    lock.Enter();
    lock.Enter();
    EXPECT_EQ(fields[1], 2);  // lock count
    EXPECT_EQ(fields[2], static_cast<LONG>(GetCurrentThreadId()));
    EXPECT_EQ(fields[3], 2);  // recursion count
    lock.Leave();
    lock.Leave();
    EXPECT_EQ(fields[1], 0);
    EXPECT_EQ(fields[2], 0);

    // A later opener keeps the creator's spin count.
    Optex later(name, 10);
    EXPECT_EQ(fields[0], system.dwNumberOfProcessors > 1 ? 4000 : 0);
}

TEST(InstanceLock, FailsWhenItsNamesAreTakenByOtherObjects) {
    const std::string eventTaken = UniqueLockName();
    ScopedKernelHandle mutex(CreateMutexA(nullptr, FALSE, ("Optex_Event_" + eventTaken).c_str()));
    ASSERT_TRUE(mutex);
    EXPECT_THROW(Optex{eventTaken}, Error);

    const std::string blockTaken = UniqueLockName();
    ScopedKernelHandle event(
        CreateEventA(nullptr, TRUE, FALSE, ("Optex_MMF_" + blockTaken).c_str()));
    ASSERT_TRUE(event);
    try {
        Optex lock(blockTaken);
        ADD_FAILURE() << "made a lock without its shared block";
    } catch (const Error& error) {
        EXPECT_EQ(error.Message(), L"Failed to create FileMapping");
    }
}

}  // namespace
}  // namespace corvalo
