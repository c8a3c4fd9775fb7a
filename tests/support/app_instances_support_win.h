#pragma once

// Helpers of the single-instance guard's tests: starting copies of the real program, waiting for
// them while this thread keeps answering messages (the copies send to it), the files of a folder,
// and a watch for windows that a process shows.

#include "base/scoped_win.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace corvalo::test {

// A program built beside the tests: looked for in the test exe's folder, then one folder up.
std::wstring BuiltProgram(const std::wstring& fileName);

// A started process; killed at the end of the scope if it still runs.
class ChildProcess {
  public:
    // Starts `exe` in its own folder with the arguments `argumentsText` (already quoted).
    ChildProcess(const std::wstring& exe, const std::wstring& argumentsText,
                 bool suspended = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return process_.Valid(); }
    DWORD Id() const { return id_; }
    void Resume();
    // Waits for the end, answering this thread's messages meanwhile. False when time ran out.
    bool WaitForExit(DWORD timeoutMs);
    bool Running() const;
    DWORD ExitCode() const;
    void Kill();

  private:
    ScopedKernelHandle process_;
    ScopedKernelHandle thread_;
    DWORD id_ = 0;
};

// Handles this thread's messages until `condition` holds; false when time ran out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A top-level window of that class belonging to the process, or null.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);
// The copy's picture window once it is visible, or null.
HWND VisibleMainWindow(DWORD processId);
// Waits until the copy shows its picture window; the window, or null when it never did.
HWND WaitForMainWindow(const ChildProcess& copy, DWORD timeoutMs = 20000);
// True when the process's user-interface thread takes a message within a short time.
bool Answers(HWND window);

// Every file of a folder (with its subfolders), by relative name, with its bytes.
using FolderSnapshot = std::map<std::wstring, std::vector<uint8_t>>;
FolderSnapshot FolderContents(const std::wstring& folder);

// The files added, removed or changed between two snapshots, each marked with +, - or *.
std::vector<std::wstring> ChangedFiles(const FolderSnapshot& before, const FolderSnapshot& after);

bool CopyProgram(const std::wstring& from, const std::wstring& to);

// Quotes one argument so that the platform's command-line splitting gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// Tells whether watched processes make any window visible, for as long as it lives.
class ShowWatch {
  public:
    ShowWatch();
    ~ShowWatch();
    ShowWatch(const ShowWatch&) = delete;
    ShowWatch& operator=(const ShowWatch&) = delete;

    bool Ready() const { return hook_ != nullptr; }
    // Starts watching a process; call it before the process runs (start it suspended).
    void Watch(DWORD processId);
    bool Shown(DWORD processId) const;

  private:
    HMODULE module_ = nullptr;
    HHOOK hook_ = nullptr;
    std::map<DWORD, ScopedKernelHandle> events_;
};

}  // namespace corvalo::test
