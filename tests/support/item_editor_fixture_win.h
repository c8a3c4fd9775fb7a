#pragma once

// What the item editor and drop tests share: a main window over a temporary folder with the
// question, the open dialog and the shell scripted, and a way to act inside the editor's modal
// loop.

#include "app/main_window_win.h"
#include "editor/item_editor_win.h"
#include "launcher/launcher_items_win.h"
#include "support/main_window_fixture_win.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvalo::test {

class ScriptedQuestion final : public OverwriteQuestion {
  public:
    bool Ask(HWND owner) override {
        ++asked;
        topmostWhileAsked = (GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        return answer;
    }
    bool answer = true;
    int asked = 0;
    bool topmostWhileAsked = true;
};

// A 32-bit icon file of square images, each in a single colour (side, colour), in that order.
inline std::vector<uint8_t> IconFileOf(const std::vector<std::pair<int, uint32_t>>& images) {
    Bytes file;
    const auto put16 = [&](uint32_t v) { AppendU16(file, v); };
    const auto put32 = [&](uint32_t v) { AppendU32(file, v); };
    const auto maskRow = [](int side) { return ((static_cast<uint32_t>(side) + 31) / 32) * 4; };
    const auto imageSize = [&](int side) {
        return 40 + static_cast<uint32_t>(side * side) * 4 + maskRow(side) * side;
    };
    put16(0), put16(1), put16(static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const auto& [side, bgra] : images) {
        file.push_back(uint8_t(side)), file.push_back(uint8_t(side));  // 256 is written as 0
        file.push_back(0), file.push_back(0), put16(1), put16(32);
        put32(imageSize(side)), put32(offset);
        offset += imageSize(side);
    }
    for (const auto& [side, bgra] : images) {
        put32(40), put32(uint32_t(side)), put32(uint32_t(side * 2)), put16(1), put16(32);
        for (int i = 0; i < 6; ++i)
            put32(0);
        for (int i = 0; i < side * side; ++i)
            put32(bgra);
        file.insert(file.end(), maskRow(side) * side, 0);
    }
    return file;
}

inline std::vector<uint8_t> IconFile(int side, uint32_t bgra = 0xFF2060C0) {
    return IconFileOf({{side, bgra}});
}

class EditorFixture : public StartedWindowFixture {
  protected:
    // The window goes before the scripted parts it was given.
    ~EditorFixture() override { window.reset(); }
    void SetUp() override { Start(); }
    void Script(MainWindowOptions& options) override {
        options.shell = &shell;
        options.dialogs = &dialogs;
        options.question = &question;
    }
    ItemEditor& Editor() { return window->Editor(); }
    std::vector<std::wstring> MenuCaptions() {
        std::vector<std::wstring> captions;
        for (const auto& entry : window->Menu().TopLevel())
            if (entry->kind == MenuEntry::Kind::Launcher)
                captions.push_back(entry->caption);
        return captions;
    }
    void AddImages(int count) {
        for (int i = 0; i < count; ++i) {
            ScopedIcon icon(CreateIconFromResourceEx(IconFile(32).data() + 22,
                                                     DWORD(IconFile(32).size() - 22), TRUE,
                                                     0x00030000, 32, 32, 0));
            AddIcon(window->IconList(), icon.Get(), 32, 32);
        }
    }
    static void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

    // Shows the editor (through `show`, or plainly) and runs `steps` inside its modal loop; an
    // editor still open once the posted messages are handled is closed and counted.
    void WhileShown(std::function<void()> steps, std::function<void()> show = {}) {
        current_ = this;
        pending_ = std::move(steps);
        stepsRan = false;
        leftOpen = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 1, &EditorFixture::RunSteps);
        if (show)
            show();
        else
            Editor().ShowModal();
        KillTimer(nullptr, timer);
        if (closer_)
            KillTimer(nullptr, std::exchange(closer_, 0));
        EXPECT_FALSE(Editor().Showing());
    }

    ScriptedDialogs dialogs;
    ScriptedQuestion question;
    RecordingShell shell;
    bool stepsRan = false;
    bool leftOpen = false;

  private:
    static void CALLBACK RunSteps(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EditorFixture& self = *current_;
        self.stepsRan = true;
        std::exchange(self.pending_, {})();
        if (self.Editor().Showing())
            self.closer_ = SetTimer(nullptr, 0, 1, &EditorFixture::CloseIfOpen);
    }
    static void CALLBACK CloseIfOpen(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EditorFixture& self = *current_;
        self.closer_ = 0;
        if (self.Editor().Showing()) {
            self.leftOpen = true;
            self.Editor().Close();
        }
    }
    static inline EditorFixture* current_ = nullptr;
    std::function<void()> pending_;
    UINT_PTR closer_ = 0;
};

}  // namespace corvalo::test
