#pragma once

// The single-instance guard (the main window's JvAppInstances1): only one copy of the program runs
// per executable path. Every copy records its process in shared lists named after the path and
// keeps a hidden guard window that the other copies talk to. A second start of the same
// executable brings the running copy to the front, hands over its command-line arguments and ends
// with exit code 0, before it has read or written any file or shown any window.
//
// Messages between copies: the registered message identity + "_Msg", whose first parameter is one
// of the codes below, and WM_COPYDATA of kind 1 carrying the arguments of a second start.
// Every send to another copy waits at most a few seconds, so a copy that hangs can't hang the
// copy that asks it. The lock over the shared lists is waited for at most a few seconds too, and
// is taken over from a copy that ended while holding it. A start that can't have the lock even so
// writes nothing into the lists and counts as a later copy: it hands over to the running copies
// and ends, rather than run beside a copy it can't see and share its files.
//
// A copy that has begun its close holds a named mutex ("_Closing") until its guard is gone, after
// its final save; it answers the active query as not active meanwhile. A start that finds it waits
// for it (bounded) before it decides, so a restart right after Quit finds the copy gone and runs.

#include "app/instance_list.h"
#include "base/scoped_win.h"
#include "base/window_win.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

inline constexpr wchar_t kInstanceWindowClass[] = L"JvAppInstances_WindowClass";

// The instance message's codes (its first parameter).
inline constexpr WPARAM kInstanceCreated = 1;    // second parameter: the new copy's process
inline constexpr WPARAM kInstanceDestroyed = 2;  // second parameter: the leaving copy's process
inline constexpr WPARAM kInstanceUserNotify = 3;
inline constexpr WPARAM kInstanceActiveQuery = 4;   // second parameter: the asking guard window
inline constexpr WPARAM kInstanceActiveAnswer = 5;  // second parameter: 1 active, 0 not

// The kind (dwData) of the copy-data message that carries a second start's arguments.
inline constexpr ULONG_PTR kCommandLineDataKind = 1;

// How long a copy waits for another copy to take a message it sends.
inline constexpr DWORD kInstanceAnswerTimeoutMs = 3000;
// How long a start waits, at most, for a copy of the same executable that is closing to end: its
// final save of a large picture takes a moment.
inline constexpr DWORD kClosingCopyWaitMs = 8000;

class InstanceRegistry;

// The names of the objects that the copies of that executable (its full path in the 8-bit code
// page) share, for this process's log-on and user account.
InstanceNames InstanceNamesOf(const std::string& exePath);

struct AppInstancesOptions {
    explicit AppInstancesOptions(std::string path) : exePath(std::move(path)) {}

    // The executable's full path in the 8-bit code page: the copies' identity.
    std::string exePath;
    // The arguments a rejected start hands over: the process's own arguments 1 to n when unset.
    std::optional<std::vector<std::string>> arguments;
    bool autoActivate = true;  // a rejected start brings the first copy to the front
    bool sendCmdLine = true;   // and hands over its arguments
    DWORD answerTimeoutMs = kInstanceAnswerTimeoutMs;
    DWORD closingWaitMs = kClosingCopyWaitMs;
};

class AppInstances final : public ProgramWindow {
  public:
    // Creates the guard window and, for the first guard of this executable path in the process,
    // registers the process with the other copies. When the shared objects can't be made (the
    // platform reports "Failed to create FileMapping"), the guard stays unregistered and the
    // program runs as a single copy: a start is never refused for want of a lock or a block.
    explicit AppInstances(AppInstancesOptions options);
    // Releases the registration when this is the process's last guard of its path: the normal end.
    ~AppInstances() override;

    // Decides whether this copy may run. True: it runs. False: it was rejected, and has brought
    // the first copy to the front, handed over its arguments and released its registration.
    bool Check();
    // The check as the program makes it: a rejected copy ends at once with exit code 0.
    void EndProcessIfRejected();

    // The close has begun: from now on this copy no longer claims to be the running copy, and a
    // start meanwhile waits for it to end (at most closingWaitMs) before it runs as the running
    // copy, reading the files this one has just saved. Two copies never work on the same files.
    void BeginClose();
    // The close did not happen after all (a save that failed keeps the window open): this copy is
    // the running copy again.
    void CloseAbandoned();
    bool Closing() const { return closingAnnounced_; }

    bool Active() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    int MaxInstances() const { return maxInstances_; }
    void SetMaxInstances(int maxInstances) { maxInstances_ = maxInstances; }

    HWND Window() const { return Handle(); }
    // False when the shared objects could not be made.
    bool Registered() const { return registry_ != nullptr; }
    // The shared objects' names; empty when unregistered.
    const InstanceNames& Names() const;
    UINT Message() const { return message_; }

    // Events. The program assigns none; they tell a caller what other copies report.
    std::function<void(DWORD processId)> onInstanceCreated;
    std::function<void(DWORD processId)> onInstanceDestroyed;
    std::function<void(ULONG_PTR kind, std::string_view data)> onDataAvailable;

  private:
    LRESULT OnMessage(const WindowMessage& message) override;
    LRESULT OnCopyData(const WindowMessage& message);
    void HandleInstanceMessage(WPARAM code, LPARAM value);
    bool AskOtherCopies(std::vector<DWORD>& unresponsiveThreads);
    bool WaitForClosingCopy(ULONGLONG deadline) const;
    void BringToFront(DWORD processId, std::vector<DWORD>& unresponsiveThreads);
    void HandOverCommandLine(std::vector<DWORD>& unresponsiveThreads);

    AppInstancesOptions options_;
    std::shared_ptr<InstanceRegistry> registry_;
    // Held from the start of a close to the end of the guard (a named mutex: a copy that ends
    // without letting it go leaves it abandoned, which ends every wait on it too).
    ScopedKernelHandle closing_;
    bool closingAnnounced_ = false;
    UINT message_ = 0;
    bool active_ = true;
    int maxInstances_ = 1;
};

}  // namespace corvalo
