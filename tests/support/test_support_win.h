#pragma once

// Shared helpers of the Windows integration tests: a temporary folder to play the folder beside the
// executable, message boxes that are recorded instead of shown, and file and key helpers.

#include "app/main_window_win.h"
#include "base/user_messages_win.h"
#include "support/sample_bytes.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace corvalo::test {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    // The executable path a main window under test is given.
    std::wstring ExePath() const { return File(L"corvalo.exe"); }

  private:
    std::wstring path_;
};

// The options of a main window under test: its executable path, its messages shown to
// `messages`, and no quit message when it is destroyed (the test's message loop goes on).
MainWindowOptions TestWindowOptions(const std::wstring& exePath, UserMessages& messages);

class RecordingMessages final : public UserMessages {
  public:
    void ShowError(HWND, const std::wstring& text) override { errors.push_back(text); }
    void ShowNotice(HWND, const std::wstring& text) override { notices.push_back(text); }
    std::vector<std::wstring> errors;
    std::vector<std::wstring> notices;
};

bool Exists(const std::wstring& path);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

// The value the profile functions return for a key, or "<missing>".
std::wstring IniValue(const std::wstring& path, const std::wstring& section,
                      const std::wstring& key);
void SetIniValue(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value);

// Holds Shift and/or Ctrl down for this thread's key-state reads for one scope.
class HeldKeys {
  public:
    HeldKeys(bool shift, bool control);
    ~HeldKeys();

  private:
    BYTE saved_[256];
};

void PumpMessages();

// A small test program built beside the test exe (tests/win/data), by its name without ".exe".
std::wstring TestProgram(const std::wstring& name);

// A shortcut file made the way the shell makes them. With `itemIds` it points to that item,
// otherwise to `target`.
void SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                  LPCITEMIDLIST itemIds = nullptr);

}  // namespace corvalo::test
