#include "launcher/hotkey_dialog_win.h"

#include "base/dialog_template_win.h"

#include <commctrl.h>

namespace corvalo {
namespace {

constexpr wchar_t kPrompt[] =
    L"Press the keys that open the launcher menu from anywhere.\nBackspace: no hotkey.";

struct DialogState {
    Hotkey current;
    const HotkeyTaker* take = nullptr;
    Hotkey chosen;
};

// Keys of the cluster between the letters and the number pad, which the field names apart from
// the number pad's keys of the same code.
bool Extended(uint32_t key) {
    return (key >= 0x21 && key <= 0x28) || key == 0x2D || key == 0x2E || key == 0x6F;
}

INT_PTR CALLBACK HotkeyProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<DialogState*>(lParam);
            HWND field = GetDlgItem(dialog, kHotkeyFieldId);
            // A key that types is taken only with Ctrl or Alt, so no letter is lost to every
            // program.
            SendMessageW(field, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S,
                         MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
            SendMessageW(field, HKM_SETHOTKEY, FieldValueOf(state->current), 0);
            CentreDialogOnScreen(dialog);
            SetFocus(field);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                HWND field = GetDlgItem(dialog, kHotkeyFieldId);
                const Hotkey hotkey =
                    HotkeyFromField(static_cast<WORD>(SendMessageW(field, HKM_GETHOTKEY, 0, 0)));
                if ((*state->take)(dialog, hotkey)) {
                    state->chosen = hotkey;
                    EndDialog(dialog, IDOK);
                } else {
                    SetFocus(field);  // to choose another
                }
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {  // also Escape and the close box
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

Hotkey HotkeyFromField(WORD value) {
    const BYTE flags = HIBYTE(value);
    Hotkey hotkey;
    hotkey.key = LOBYTE(value);
    if (hotkey.key == 0)
        return Hotkey{};
    if (flags & HOTKEYF_CONTROL)
        hotkey.modifiers |= kHotkeyControl;
    if (flags & HOTKEYF_ALT)
        hotkey.modifiers |= kHotkeyAlt;
    if (flags & HOTKEYF_SHIFT)
        hotkey.modifiers |= kHotkeyShift;
    return hotkey;
}

WORD FieldValueOf(const Hotkey& hotkey) {
    if (hotkey.Empty() || hotkey.key > 0xFF)
        return 0;
    BYTE flags = 0;
    if (hotkey.modifiers & kHotkeyControl)
        flags |= HOTKEYF_CONTROL;
    if (hotkey.modifiers & kHotkeyAlt)
        flags |= HOTKEYF_ALT;
    if (hotkey.modifiers & kHotkeyShift)
        flags |= HOTKEYF_SHIFT;
    if (Extended(hotkey.key))
        flags |= HOTKEYF_EXT;
    return MAKEWORD(static_cast<BYTE>(hotkey.key), flags);
}

std::optional<Hotkey> RunHotkeyDialog(HWND owner, const Hotkey& current, const HotkeyTaker& take) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&controls);
    DialogTemplate window(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 210, 64,
                          kHotkeyDialogTitle);
    window.Add(kDialogStaticClass, 0xFFFF, SS_LEFT | SS_NOPREFIX, 7, 7, 196, 18, kPrompt);
    window.Add(HOTKEY_CLASSW, kHotkeyFieldId, WS_BORDER | WS_TABSTOP | WS_GROUP, 7, 26, 196, 13,
               L"");
    window.Add(kDialogButtonClass, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 99, 45, 50, 14,
               L"OK");
    window.Add(kDialogButtonClass, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 153, 45, 50, 14,
               L"Cancel");
    DialogState state{current, &take, {}};
    const INT_PTR answer =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), window.Get(), owner, HotkeyProcedure,
                                reinterpret_cast<LPARAM>(&state));
    if (answer != IDOK)
        return std::nullopt;
    return state.chosen;
}

}  // namespace corvalo
