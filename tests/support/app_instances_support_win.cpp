#include "support/app_instances_support_win.h"

#include "app/application_window_win.h"
#include "app/main_window_win.h"
#include "support/test_support_win.h"

#include <filesystem>

namespace corvalo::test {

std::wstring BuiltProgram(const std::wstring& fileName) {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::filesystem::path folder = std::filesystem::path(self).parent_path();
    for (int up = 0; up < 2; ++up) {
        const std::filesystem::path candidate = folder / fileName;
        if (std::filesystem::exists(candidate))
            return candidate.wstring();
        folder = folder.parent_path();
    }
    return {};
}

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& argumentsText,
                           bool suspended) {
    std::wstring commandLine = QuoteArgument(exe);
    if (!argumentsText.empty())
        commandLine += L" " + argumentsText;
    const std::wstring folder = std::filesystem::path(exe).parent_path().wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       suspended ? CREATE_SUSPENDED : 0, nullptr, folder.c_str(), &startup,
                       &info)) {
        process_.Reset(info.hProcess);
        thread_.Reset(info.hThread);
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill();
        WaitForSingleObject(process_.Get(), 10000);
    }
}

void ChildProcess::Resume() {
    ResumeThread(thread_.Get());
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) {
    if (!process_)
        return false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        HANDLE process = process_.Get();
        const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
        // What the copy posted before it ended is delivered before the caller looks.
        PumpMessages();
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken == WAIT_TIMEOUT || GetTickCount64() >= deadline)
            return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    }
}

bool ChildProcess::Running() const {
    return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

void ChildProcess::Kill() {
    TerminateProcess(process_.Get(), 99);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        PumpMessages();
    }
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

HWND VisibleMainWindow(DWORD processId) {
    HWND window = FindProcessWindow(processId, kMainWindowClass);
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND WaitForMainWindow(const ChildProcess& copy, DWORD timeoutMs) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = VisibleMainWindow(copy.Id())) != nullptr || !copy.Running(); },
              timeoutMs);
    return window;
}

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) != 0;
}

FolderSnapshot FolderContents(const std::wstring& folder) {
    FolderSnapshot contents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::vector<uint8_t> bytes;
        ScopedKernelHandle file(CreateFileW(entry.path().c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        if (file) {
            bytes.resize(GetFileSize(file.Get(), nullptr));
            DWORD got = 0;
            if (!bytes.empty())
                ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
            bytes.resize(got);
        }
        contents[std::filesystem::relative(entry.path(), folder).wstring()] = std::move(bytes);
    }
    return contents;
}

std::vector<std::wstring> ChangedFiles(const FolderSnapshot& before, const FolderSnapshot& after) {
    std::vector<std::wstring> changed;
    for (const auto& [name, bytes] : before) {
        auto found = after.find(name);
        if (found == after.end())
            changed.push_back(L"-" + name);
        else if (found->second != bytes)
            changed.push_back(L"*" + name);
    }
    for (const auto& [name, bytes] : after) {
        if (!before.count(name))
            changed.push_back(L"+" + name);
    }
    return changed;
}

bool CopyProgram(const std::wstring& from, const std::wstring& to) {
    return !from.empty() && CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    // Backslashes count only before a quote: double those, and escape the quote itself.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

ShowWatch::ShowWatch() {
    const std::wstring path = BuiltProgram(L"show_watch.dll");
    module_ = path.empty() ? nullptr : LoadLibraryW(path.c_str());
    if (!module_)
        return;
    // Through void*: the exported address has the hook's type, which GetProcAddress can't say.
    auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(module_, "ShowWatchHook")));
    if (hook)
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, hook, module_, 0);
}

ShowWatch::~ShowWatch() {
    if (hook_)
        UnhookWindowsHookEx(hook_);
    if (module_)
        FreeLibrary(module_);
}

void ShowWatch::Watch(DWORD processId) {
    const std::wstring name = L"CorvaloShowWatch_" + std::to_wstring(processId);
    events_[processId].Reset(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

bool ShowWatch::Shown(DWORD processId) const {
    auto found = events_.find(processId);
    return found != events_.end() && WaitForSingleObject(found->second.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace corvalo::test
