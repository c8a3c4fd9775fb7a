#pragma once

// The common dialogs the program runs: the open-picture dialog ("New image", "Find icon"), the
// font dialog and the hotkey dialog. Tests put their own answers in place of the real dialogs.

#include "launcher/hotkey_dialog_win.h"
#include "launcher/menu_font.h"

#include <windows.h>

#include <optional>
#include <string>

namespace corvalo {

class CommonDialogs {
  public:
    virtual ~CommonDialogs() = default;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<std::wstring> OpenPicture(HWND owner, const std::wstring& filter,
                                                    const std::wstring& defaultExtension) = 0;
    // True when the user confirmed a font; font then holds it.
    virtual bool PickFont(HWND owner, MenuFont& font) = 0;
    // "Hotkey...": the hotkey taken (empty: none), or nothing when the user cancelled.
    virtual std::optional<Hotkey> ChooseHotkey(HWND owner, const Hotkey& current,
                                               const HotkeyTaker& take) = 0;
};

class SystemCommonDialogs final : public CommonDialogs {
  public:
    std::optional<std::wstring> OpenPicture(HWND owner, const std::wstring& filter,
                                            const std::wstring& defaultExtension) override;
    bool PickFont(HWND owner, MenuFont& font) override;
    std::optional<Hotkey> ChooseHotkey(HWND owner, const Hotkey& current,
                                       const HotkeyTaker& take) override {
        return RunHotkeyDialog(owner, current, take);
    }
};

}  // namespace corvalo
