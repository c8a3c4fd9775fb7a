#include "app/app_instances_win.h"

#include "app/application_window_win.h"
#include "app/optex_win.h"
#include "app/shared_block_win.h"
#include "base/error.h"
#include "base/text.h"
#include "base/trace.h"

#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <map>

namespace corvalo {
namespace {

// ---- Who and where this process is -------------------------------------------------------------

struct Account {
    std::string user;
    std::string domain;
    std::wstring sid;  // in the platform's text form, for the per-user block's security
};

Account CurrentAccount() {
    Account account;
    HANDLE rawToken = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
        ScopedKernelHandle token(rawToken);
        DWORD size = 0;
        GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
        std::vector<BYTE> buffer(std::max<DWORD>(size, sizeof(TOKEN_USER)));
        if (GetTokenInformation(token.Get(), TokenUser, buffer.data(),
                                static_cast<DWORD>(buffer.size()), &size)) {
            PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
            DWORD nameLength = 0;
            DWORD domainLength = 0;
            SID_NAME_USE use{};
            LookupAccountSidA(nullptr, sid, nullptr, &nameLength, nullptr, &domainLength, &use);
            std::string name(std::max<DWORD>(nameLength, 1), '\0');
            std::string domain(std::max<DWORD>(domainLength, 1), '\0');
            nameLength = static_cast<DWORD>(name.size());
            domainLength = static_cast<DWORD>(domain.size());
            if (LookupAccountSidA(nullptr, sid, name.data(), &nameLength, domain.data(),
                                  &domainLength, &use)) {
                account.user = name.c_str();
                account.domain = domain.c_str();
            }
            LPWSTR sidText = nullptr;
            if (ConvertSidToStringSidW(sid, &sidText)) {
                ScopedLocalMemory owner(sidText);
                account.sid = sidText;
            }
        }
    }
    if (account.user.empty()) {
        char name[257] = {};
        DWORD length = sizeof(name);
        if (GetUserNameA(name, &length))
            account.user = name;
    }
    return account;
}

DWORD SessionOfThisProcess() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

std::string UpperCaseAnsi(std::string text) {
    if (!text.empty())
        CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

InstanceNames NamesFor(const std::string& exePath, const Account& account) {
    return MakeInstanceNames(UpperCaseAnsi("Jcl" + exePath), SessionOfThisProcess(), account.user,
                             account.domain);
}

// Arguments 1 to n of this process, split by the platform's rules, in 8-bit text.
std::vector<std::string> ProcessArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list)
        return arguments;
    ScopedLocalMemory owner(reinterpret_cast<HLOCAL>(list));
    for (int i = 1; i < count; ++i)
        arguments.push_back(WideToAnsi(list[i]));
    return arguments;
}

// ---- Finding the other copies' windows ---------------------------------------------------------

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    return GetClassNameW(window, name, 64) > 0 && lstrcmpiW(name, className) == 0;
}

// A copy's application window: its hidden top-level window that carries its taskbar button.
HWND FindApplicationWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* search = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search->processId && HasClass(window, kApplicationWindowClass)) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ThreadWindows(DWORD threadId) {
    std::vector<HWND> windows;
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM context) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> GuardWindowsOf(const std::vector<uint32_t>& processIds) {
    struct Search {
        const std::vector<uint32_t>* processIds;
        std::vector<HWND> found;
    } search{&processIds, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* search = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (std::find(search->processIds->begin(), search->processIds->end(), owner) !=
                    search->processIds->end() &&
                HasClass(window, kInstanceWindowClass)) {
                search->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ThreadAlive(DWORD threadId) {
    ScopedKernelHandle thread(OpenThread(SYNCHRONIZE, FALSE, threadId));
    return thread && WaitForSingleObject(thread.Get(), 0) == WAIT_TIMEOUT;
}

bool Contains(const std::vector<DWORD>& list, DWORD value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Sends and waits for the answer at most `timeoutMs`. A thread that lets the time run out is
// noted and not sent anything more: a hung copy costs the asking copy one timeout, not one per
// window and step. Messages sent to this thread meanwhile (the other copy's answer) are handled.
bool SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs,
                std::vector<DWORD>& unresponsiveThreads) {
    const DWORD threadId = GetWindowThreadProcessId(window, nullptr);
    if (threadId == 0 || Contains(unresponsiveThreads, threadId))
        return false;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result))
        return true;
    if (IsWindow(window))
        unresponsiveThreads.push_back(threadId);
    return false;
}

// Posts to a thread, retrying every millisecond while its queue is full or not made yet, but only
// while the thread exists and never longer than `timeoutMs`.
void PostToThread(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!PostThreadMessageW(threadId, message, wParam, lParam)) {
        if (!ThreadAlive(threadId) || GetTickCount64() >= deadline)
            return;
        Sleep(1);
    }
}

}  // namespace

InstanceNames InstanceNamesOf(const std::string& exePath) {
    return NamesFor(exePath, CurrentAccount());
}

// ---- The registration of this process, shared by the guards of one executable path -------------

class InstanceRegistry {
  public:
    InstanceRegistry(InstanceNames names, const std::wstring& accountSid, DWORD timeoutMs)
        : names_(std::move(names)),
          timeoutMs_(timeoutMs),
          processId_(GetCurrentProcessId()),
          message_(RegisterWindowMessageA(names_.message.c_str())),
          lock_(OptexNames{names_.lockEvent, names_.lockBlock, names_.lockMutex}),
          everyone_(L"D:(A;;GA;;;WD)"),
          account_(accountSid.empty() ? L"" : L"D:(A;;GA;;;" + accountSid + L")"),
          all_(names_.allCopies, kInstanceListBytes, everyone_.Get()),
          session_(names_.sessionCopies, kInstanceListBytes, everyone_.Get()),
          user_(names_.userCopies, kInstanceListBytes, account_.Get()) {
        if (message_ == 0)
            throw Error(L"Failed to register the instance message");
    }
    ~InstanceRegistry() { Release(); }
    InstanceRegistry(const InstanceRegistry&) = delete;
    InstanceRegistry& operator=(const InstanceRegistry&) = delete;

    // The process's registration for this path: made by its first guard, shared by later ones,
    // released with the last. Null when the shared objects can't be made.
    static std::shared_ptr<InstanceRegistry> Acquire(const std::string& exePath, DWORD timeoutMs) {
        // Used from the user-interface thread only, like the guards themselves.
        static std::map<std::string, std::weak_ptr<InstanceRegistry>> registries;
        const Account account = CurrentAccount();
        InstanceNames names = NamesFor(exePath, account);
        std::weak_ptr<InstanceRegistry>& slot = registries[names.identity];
        if (std::shared_ptr<InstanceRegistry> existing = slot.lock())
            return existing;
        std::shared_ptr<InstanceRegistry> registry;
        try {
            registry = std::make_shared<InstanceRegistry>(std::move(names), account.sid, timeoutMs);
        } catch (const Error&) {
            return nullptr;
        }
        registry->Register();
        slot = registry;
        return registry;
    }

    const InstanceNames& Names() const { return names_; }
    UINT Message() const { return message_; }

    // None when this process is not in the all-copies list, or the lock could not be had: either
    // way it counts as a later copy, which runs only when the running copies let it.
    std::optional<size_t> PositionOfThisProcess() {
        LockStep step(*this);
        if (!step.Held())
            return std::nullopt;
        return List(all_).PositionOf(processId_);
    }

    // Read even when the lock can't be had: the list is only read then, never beyond its block,
    // and a copy that can't have the lock only uses it to hand over to the running copies.
    std::vector<uint32_t> AllCopies() {
        LockStep step(*this);
        return List(all_).Entries();
    }

    // Takes this process out of every list and tells the copies; once only. When the lock can't
    // be had, the lists are left as they are rather than written beside a holder that may be
    // writing them: an entry left behind can only refuse later starts, a lost one would let two
    // copies run over the same files.
    void Release() {
        if (!registered_)
            return;
        registered_ = false;
        LockStep step(*this);
        if (!step.Held())
            return;
        List(all_).Remove(processId_);
        List(session_).Remove(processId_);
        List(user_).Remove(processId_);
        NotifyCopies(kInstanceDestroyed);
    }

  private:
    static InstanceList List(const SharedBlock& block) {
        return InstanceList(
            std::span<uint8_t, kInstanceListBytes>(block.Data(), kInstanceListBytes));
    }

    // Holds the instance lock for one step of the guard. Once the lock could not be had within
    // the bound, later steps only try it until it can be had again: a stuck lock costs a start
    // one wait, not one for every step.
    class LockStep {
      public:
        explicit LockStep(InstanceRegistry& registry)
            : hold_(registry.lock_, registry.lockBoundMs_) {
            registry.lockBoundMs_ = hold_.Held() ? kOptexWaitBoundMs : 0;
        }
        bool Held() const { return hold_.Held(); }

      private:
        OptexHold hold_;
    };

    // A copy that can't have the lock writes no entry: like a copy that finds the list full, it
    // is not in the list and its check treats it as a later copy.
    void Register() {
        LockStep step(*this);
        if (!step.Held())
            return;
        InstanceList all = List(all_);
        all.SetMaxCountIfUnset(kAllCopiesMaxCount);
        // A full list gets no entry: such a copy is not in the all-copies list, and its check
        // treats it as a later copy (one that the running copies are asked about).
        const bool hadRoom = all.Append(processId_);
        List(session_).Append(processId_);
        List(user_).Append(processId_);
        registered_ = true;
        if (hadRoom)
            NotifyCopies(kInstanceCreated);
    }

    // Tells every copy in the all-copies list; the caller holds the lock. Nothing here waits for
    // another copy: the post is retried only for a short while, the sends don't wait.
    void NotifyCopies(WPARAM code) {
        for (uint32_t processId : List(all_).Entries()) {
            HWND application = FindApplicationWindow(processId);
            if (!application)
                continue;
            const DWORD threadId = GetWindowThreadProcessId(application, nullptr);
            PostToThread(threadId, message_, code, processId_, timeoutMs_);
            for (HWND window : ThreadWindows(threadId))
                SendNotifyMessageW(window, message_, code, processId_);
        }
    }

    InstanceNames names_;
    DWORD timeoutMs_;
    DWORD processId_;
    UINT message_;
    Optex lock_;
    DWORD lockBoundMs_ = kOptexWaitBoundMs;
    SecurityAttributes everyone_;
    SecurityAttributes account_;
    SharedBlock all_;
    SharedBlock session_;
    SharedBlock user_;
    bool registered_ = false;
};

// ---- The guard component ---------------------------------------------------------------------

AppInstances::AppInstances(AppInstancesOptions options) : options_(std::move(options)) {
    Create({kInstanceWindowClass, L"the instance window"}, WS_EX_TOOLWINDOW, L"", WS_POPUP, {});

    registry_ = InstanceRegistry::Acquire(options_.exePath, options_.answerTimeoutMs);
    if (registry_)
        message_ = registry_->Message();
}

AppInstances::~AppInstances() {
    registry_.reset();
    // Only once the registration has gone: a start that waited for this copy's close then finds
    // itself first in the list.
    CloseAbandoned();
}

void AppInstances::BeginClose() {
    if (closing_ || !registry_)
        return;
    ScopedKernelHandle closing(CreateMutexA(nullptr, FALSE, registry_->Names().closing.c_str()));
    // Owned by this thread until the guard goes; one that can't be had (a start holding it for a
    // moment, a name taken by another kind of object) leaves only the answer to tell.
    if (closing && WaitForSingleObject(closing.Get(), 0) == WAIT_OBJECT_0) {
        closing_ = std::move(closing);
    } else {
        Trace(L"The close of this copy is not announced to later starts");
    }
    closingAnnounced_ = true;
}

void AppInstances::CloseAbandoned() {
    closingAnnounced_ = false;
    if (!closing_)
        return;
    ReleaseMutex(closing_.Get());
    closing_.Reset();
}

// True when a copy was closing and has ended, or has given up its close, within the wait.
bool AppInstances::WaitForClosingCopy(ULONGLONG deadline) const {
    ScopedKernelHandle closing(
        OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, registry_->Names().closing.c_str()));
    if (!closing)
        return false;
    const ULONGLONG now = GetTickCount64();
    const DWORD waitMs = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD result = WaitForSingleObject(closing.Get(), waitMs);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED)
        return false;
    ReleaseMutex(closing.Get());
    return true;
}

const InstanceNames& AppInstances::Names() const {
    static const InstanceNames none;
    return registry_ ? registry_->Names() : none;
}

bool AppInstances::Check() {
    if (!active_ || maxInstances_ <= 0 || !registry_)
        return true;
    // A copy that is closing is waited for, before the check and once more after it (its close
    // may have begun while this copy asked, so it answered late or not at all); the rounds are
    // few, and every wait ends at one deadline.
    const ULONGLONG deadline = GetTickCount64() + options_.closingWaitMs;
    std::vector<DWORD> unresponsiveThreads;
    for (int round = 0;; ++round) {
        WaitForClosingCopy(deadline);
        const std::optional<size_t> position = registry_->PositionOfThisProcess();
        if (position && *position < static_cast<size_t>(maxInstances_))
            return true;
        unresponsiveThreads.clear();
        if (!AskOtherCopies(unresponsiveThreads))
            return true;
        if (round == 2 || !WaitForClosingCopy(deadline))
            break;
    }

    // Rejected.
    if (options_.autoActivate) {
        const std::vector<uint32_t> copies = registry_->AllCopies();
        if (!copies.empty())
            BringToFront(copies.front(), unresponsiveThreads);
    }
    if (options_.sendCmdLine)
        HandOverCommandLine(unresponsiveThreads);
    registry_->Release();
    return false;
}

void AppInstances::EndProcessIfRejected() {
    if (!Check())
        ExitProcess(0);
}

// Asks every other copy's user-interface thread whether its guard is active; a guard that isn't
// answers 0 and lets this copy run. True when this copy is still active afterwards.
bool AppInstances::AskOtherCopies(std::vector<DWORD>& unresponsiveThreads) {
    const DWORD self = GetCurrentProcessId();
    for (uint32_t processId : registry_->AllCopies()) {
        if (processId == self)
            continue;
        HWND application = FindApplicationWindow(processId);
        if (!application)
            continue;
        for (HWND window : ThreadWindows(GetWindowThreadProcessId(application, nullptr))) {
            if (!active_)
                break;
            SendWithin(window, message_, kInstanceActiveQuery, reinterpret_cast<LPARAM>(Handle()),
                       options_.answerTimeoutMs, unresponsiveThreads);
        }
        if (!active_)
            break;
    }
    return active_;
}

void AppInstances::BringToFront(DWORD processId, std::vector<DWORD>& unresponsiveThreads) {
    HWND target = FindApplicationWindow(processId);
    if (!target)
        return;
    if (IsIconic(target)) {
        SendWithin(target, WM_SYSCOMMAND, SC_RESTORE, 0, options_.answerTimeoutMs,
                   unresponsiveThreads);
    }
    HWND foreground = GetForegroundWindow();
    if (foreground == target)
        return;
    const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const DWORD targetThread = GetWindowThreadProcessId(target, nullptr);
    if (foregroundThread == 0 || foregroundThread == targetThread) {
        SetForegroundWindow(target);
        return;
    }
    // The system lets only the foreground's own input queue hand the foreground on: share it for
    // the call.
    if (!AttachThreadInput(foregroundThread, targetThread, TRUE))
        return;
    SetForegroundWindow(target);
    AttachThreadInput(foregroundThread, targetThread, FALSE);
    SetForegroundWindow(target);
}

void AppInstances::HandOverCommandLine(std::vector<DWORD>& unresponsiveThreads) {
    const std::string text =
        CommandLineHandOver(options_.arguments ? *options_.arguments : ProcessArguments());
    COPYDATASTRUCT data{};
    data.dwData = kCommandLineDataKind;
    data.cbData = static_cast<DWORD>(text.size());
    data.lpData = text.empty() ? nullptr : const_cast<char*>(text.data());
    for (HWND window : GuardWindowsOf(registry_->AllCopies())) {
        SendWithin(window, WM_COPYDATA, reinterpret_cast<WPARAM>(Handle()),
                   reinterpret_cast<LPARAM>(&data), options_.answerTimeoutMs, unresponsiveThreads);
    }
}

LRESULT AppInstances::OnMessage(const WindowMessage& message) {
    // The other copies' message is registered at run time, so it is looked at before the map.
    if (message_ != 0 && message.id == message_) {
        HandleInstanceMessage(message.wParam, message.lParam);
        return 0;
    }
    static constexpr MessageHandler<AppInstances> kHandlers[] = {
        {WM_COPYDATA, &AppInstances::OnCopyData},
    };
    return Dispatch(*this, kHandlers, message);
}

LRESULT AppInstances::OnCopyData(const WindowMessage& message) {
    // Data from another guard is taken and otherwise left alone; what this guard sent to itself
    // goes the platform's way.
    if (reinterpret_cast<HWND>(message.wParam) == Handle())
        return message.Default();
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(message.lParam);
    if (data && onDataAvailable && (data->lpData || data->cbData == 0)) {
        onDataAvailable(data->dwData, std::string_view(static_cast<const char*>(data->lpData),
                                                       data->lpData ? data->cbData : 0));
    }
    return TRUE;
}

void AppInstances::HandleInstanceMessage(WPARAM code, LPARAM value) {
    switch (code) {
        case kInstanceCreated:
            if (onInstanceCreated)
                onInstanceCreated(static_cast<DWORD>(value));
            break;
        case kInstanceDestroyed:
            if (onInstanceDestroyed)
                onInstanceDestroyed(static_cast<DWORD>(value));
            break;
        case kInstanceActiveQuery: {
            // Answered only to another guard window, and without waiting long on it: a copy that
            // asked and then stopped answering must not hang this one.
            HWND asker = reinterpret_cast<HWND>(value);
            if (IsWindow(asker) && HasClass(asker, kInstanceWindowClass)) {
                DWORD_PTR result = 0;
                // A copy that has begun its close is no longer the running copy.
                const bool running = active_ && !closingAnnounced_;
                SendMessageTimeoutW(asker, message_, kInstanceActiveAnswer, running ? 1 : 0,
                                    SMTO_NORMAL, options_.answerTimeoutMs, &result);
            }
            break;
        }
        case kInstanceActiveAnswer:
            active_ = value != 0;
            break;
        default:
            break;
    }
}

}  // namespace corvalo
