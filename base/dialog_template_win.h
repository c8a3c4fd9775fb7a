#pragma once

// A dialog template built in memory, for the program's small dialogs: in dialog units of the
// dialog's font, which the system scales with the font, so the dialogs fit at every DPI.

#include <windows.h>

#include <string_view>
#include <vector>

namespace corvalo {

// The predefined control classes a template names by number.
inline constexpr WORD kDialogButtonClass = 0x0080;
inline constexpr WORD kDialogStaticClass = 0x0082;

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
        PutControl(id, style, x, y, width, height);
        PutWord(0xFFFF);
        PutWord(controlClass);
        PutText(text);
        PutWord(0);  // no creation data
        ++words_[countAt_];
    }
    // A control of a registered class, named.
    void Add(std::wstring_view controlClass, WORD id, DWORD style, short x, short y, short width,
             short height, std::wstring_view text) {
        PutControl(id, style, x, y, width, height);
        PutText(controlClass);
        PutText(text);
        PutWord(0);  // no creation data
        ++words_[countAt_];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void PutControl(WORD id, DWORD style, short x, short y, short width, short height) {
        if (words_.size() % 2)
            PutWord(0);  // controls start on a 32-bit boundary
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        PutShort(x);
        PutShort(y);
        PutShort(width);
        PutShort(height);
        PutWord(id);
    }
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

// Centres a dialog on the screen, in front of every window, the stay-on-top picture included.
inline void CentreDialogOnScreen(HWND dialog) {
    RECT bounds{};
    GetWindowRect(dialog, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    SetWindowPos(dialog, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE);
}

}  // namespace corvalo
