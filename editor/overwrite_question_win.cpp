#include "editor/overwrite_question_win.h"

#include <string_view>
#include <vector>

namespace corvalo {
namespace {

constexpr WORD kIconId = 100;
constexpr WORD kTextId = 101;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

// A dialog template built in memory, in dialog units of the dialog's font.
class DialogTemplate {
  public:
    DialogTemplate(DWORD style, short width, short height, std::wstring_view title) {
        PutDword(style | DS_SETFONT);
        PutDword(0);  // extended style
        countAt_ = words_.size();
        PutWord(0);  // number of controls, counted as they are added
        PutShort(0);
        PutShort(0);
        PutShort(width);
        PutShort(height);
        PutWord(0);  // no menu
        PutWord(0);  // the standard dialog class
        PutText(title);
        PutWord(8);  // points
        PutText(L"MS Shell Dlg");
    }

    void Add(WORD controlClass, WORD id, DWORD style, short x, short y, short width, short height,
             std::wstring_view text) {
        if (words_.size() % 2)
            PutWord(0);  // controls start on a 32-bit boundary
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        PutShort(x);
        PutShort(y);
        PutShort(width);
        PutShort(height);
        PutWord(id);
        PutWord(0xFFFF);
        PutWord(controlClass);
        PutText(text);
        PutWord(0);  // no creation data
        ++words_[countAt_];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void PutWord(WORD value) { words_.push_back(value); }
    void PutShort(short value) { words_.push_back(static_cast<WORD>(value)); }
    void PutDword(DWORD value) {
        PutWord(LOWORD(value));
        PutWord(HIWORD(value));
    }
    void PutText(std::wstring_view text) {
        for (wchar_t c : text)
            PutWord(static_cast<WORD>(c));
        PutWord(0);
    }

    // The template must start on a 32-bit boundary: a vector of WORD from the heap does.
    std::vector<WORD> words_;
    size_t countAt_ = 0;
};

void CentreOnScreen(HWND dialog) {
    RECT bounds{};
    GetWindowRect(dialog, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    SetWindowPos(dialog, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE);
}

INT_PTR CALLBACK QuestionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessageW(dialog, kIconId, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
            // In front of every window, the stay-on-top picture included.
            CentreOnScreen(dialog);
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
    question.Add(kStaticClass, kIconId, SS_ICON, 10, 10, 21, 20, L"");
    question.Add(kStaticClass, kTextId, SS_LEFT | SS_NOPREFIX, 40, 15, 184, 10, kOverwriteText);
    question.Add(kButtonClass, IDYES, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 61, 40, 50, 14,
                 L"&Yes");
    question.Add(kButtonClass, IDNO, BS_PUSHBUTTON | WS_TABSTOP, 119, 40, 50, 14, L"&No");
    const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), question.Get(), owner,
                                                   QuestionProcedure, 0);
    return answer == IDYES;
}

}  // namespace corvalo
