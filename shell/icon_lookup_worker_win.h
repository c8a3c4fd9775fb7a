#pragma once

// The menu's system icon lookups, made on a thread of their own so that the window never waits
// for the shell: each lookup costs milliseconds, and one of a target on a network share nobody
// answers for costs seconds. The window hands over a batch of names in menu order and is told by
// a posted message when results are there; it collects them on its own thread. Before its first
// batch the worker also finds the shell's icon for a file of unknown type, which entries show
// until their own arrives (and loads the shell meanwhile, which the window need not wait for).
//
// A new batch drops what is left of the one before, whose results never arrive. A thread the shell
// holds up in one lookup does not hold back later batches: the next batch gets a thread of its
// own, up to a few threads in all. The worker's end never waits for a lookup the shell holds up:
// such a thread is left to finish on its own (or to end with the process), and whatever it finds
// then goes nowhere.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvalo {

class IconLookupWorker {
  public:
    // The system icon index of an 8-bit file name; GetFileIconIndex unless a test gives its own.
    using Lookup = std::function<int(const std::string& ansiName)>;
    struct Result {
        size_t position;  // in the batch given to Start
        int iconIndex;
    };

    // Results are announced by posting `message` to `window`. A thread starts with a batch and
    // ends once it has had nothing to do for a second.
    IconLookupWorker(HWND window, UINT message, Lookup lookup = {});
    ~IconLookupWorker();
    IconLookupWorker(const IconLookupWorker&) = delete;
    IconLookupWorker& operator=(const IconLookupWorker&) = delete;

    // Looks the names up in their order, after dropping what is left of the earlier batch.
    void Start(std::vector<std::string> names);
    // Drops every lookup not made yet and every result not taken.
    void Cancel();
    // The window is going: nothing is posted to it any more.
    void StopPosting();
    // The results of the current batch that have arrived since the last call, at most `most` of
    // them: when more are waiting, the window is told again, so that each of its messages does a
    // short piece of the work.
    std::vector<Result> TakeResults(size_t most = SIZE_MAX);
    // True while a lookup of the current batch is still to come.
    bool Pending() const;
    // True while a thread serves the lookups (or ends after its idle second).
    bool Running() const;
    // The system icon index of a file of unknown type, once the worker has found it.
    std::optional<int> UnknownTypeIcon() const;

  private:
    // The threads that serve lookups at once, at most: one, and a few the shell holds up.
    static constexpr size_t kMostLookupThreads = 3;
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared, Lookup lookup, size_t slotIndex);

    Lookup lookup_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace corvalo
