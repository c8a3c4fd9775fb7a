#pragma once

// The fixtures of the tests that run the program's main window over a temporary folder that plays
// the folder beside the executable, its message boxes recorded instead of shown.

#include "app/main_window_win.h"
#include "launcher/launcher_menu_win.h"
#include "launcher/menu_font.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvalo::test {

// The shell's part of a launch, recorded instead of done.
struct Launch {
    std::wstring file, parameters, directory;
};

class RecordingShell final : public ShellLauncher {
  public:
    DWORD Open(const std::wstring& file, const std::wstring& parameters,
               const std::wstring& directory) override {
        launches.push_back({file, parameters, directory});
        return answer;
    }
    std::vector<Launch> launches;
    DWORD answer = 0;  // what the shell says: 0 opened, or the system's error code
};

class ScriptedDialogs final : public CommonDialogs {
  public:
    std::optional<std::wstring> OpenPicture(HWND, const std::wstring& filter,
                                            const std::wstring& defaultExtension) override {
        lastFilter = filter;
        lastExtension = defaultExtension;
        return pictureAnswer;
    }
    bool PickFont(HWND, MenuFont& font) override {
        ++fontDialogs;
        if (!fontAnswer)
            return false;
        font = *fontAnswer;
        return true;
    }
    // Each scripted answer in turn is tried with `take`, as a user pressing OK would; the first
    // one taken is the result, and when none is, the user cancels.
    std::optional<Hotkey> ChooseHotkey(HWND, const Hotkey& current,
                                       const HotkeyTaker& take) override {
        shownHotkey = current;
        for (const Hotkey& hotkey : hotkeyAnswers) {
            if (take(nullptr, hotkey))
                return hotkey;
        }
        return std::nullopt;
    }
    std::vector<Hotkey> hotkeyAnswers;
    Hotkey shownHotkey;
    std::optional<std::wstring> pictureAnswer;
    std::optional<MenuFont> fontAnswer;
    std::wstring lastFilter, lastExtension;
    int fontDialogs = 0;
};

// Each test holds the windows it starts: a window closes, and saves, when the test lets it go.
class MainWindowFixture : public ::testing::Test {
  protected:
    std::unique_ptr<MainWindow> NewWindow() {
        MainWindowOptions options = TestWindowOptions(folder.ExePath(), messages);
        Script(options);
        return std::make_unique<MainWindow>(std::move(options));
    }
    // Puts in the parts of the window's surroundings that a fixture scripts (shell, dialogs ...).
    virtual void Script(MainWindowOptions&) {}

    std::wstring Ini() const { return folder.File(L"corvalo.ini"); }
    // A launcher item in the settings file, for the next start to read.
    void Item(const std::wstring& caption, const std::wstring& target) const {
        SetIniValue(Ini(), L"MENU", caption, target);
    }

    TempFolder folder;
    RecordingMessages messages;
};

// The fixture holds one window, started again at will.
class StartedWindowFixture : public MainWindowFixture {
  protected:
    // The running window closes first, so its save is on disk before the next start reads it.
    void Start() {
        window.reset();
        window = NewWindow();
    }

    std::unique_ptr<MainWindow> window;
};

}  // namespace corvalo::test
