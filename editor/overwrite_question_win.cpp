#include "editor/overwrite_question_win.h"

#include "base/dialog_template_win.h"

namespace corvalo {
namespace {

constexpr WORD kIconId = 100;
constexpr WORD kTextId = 101;

INT_PTR CALLBACK QuestionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessageW(dialog, kIconId, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
            // In front of every window, the stay-on-top picture included.
            CentreDialogOnScreen(dialog);
            return TRUE;  // the focus goes to Yes, the first tab stop
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDYES:
                    EndDialog(dialog, IDYES);
                    return TRUE;
                case IDNO:
                case IDCANCEL:  // Escape and the close box
                    EndDialog(dialog, IDNO);
                    return TRUE;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

bool DialogOverwriteQuestion::Ask(HWND owner) {
    DialogTemplate question(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 230, 62,
                            kOverwriteTitle);
    question.Add(kDialogStaticClass, kIconId, SS_ICON, 10, 10, 21, 20, L"");
    question.Add(kDialogStaticClass, kTextId, SS_LEFT | SS_NOPREFIX, 40, 15, 184, 10,
                 kOverwriteText);
    question.Add(kDialogButtonClass, IDYES, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 61, 40, 50,
                 14, L"&Yes");
    question.Add(kDialogButtonClass, IDNO, BS_PUSHBUTTON | WS_TABSTOP, 119, 40, 50, 14, L"&No");
    const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), question.Get(), owner,
                                                   QuestionProcedure, 0);
    return answer == IDYES;
}

}  // namespace corvalo
