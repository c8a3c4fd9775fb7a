#pragma once

// The icon-index field: an integer text field with up and down buttons. Its text is the truth: a
// text that is not an integer reads as the lower bound, and a value set into the field is brought
// into its bounds first.

#include <windows.h>

#include <string>

namespace corvalo {

class SpinEdit {
  public:
    // `editId` identifies the text field's notifications to the parent, which passes them on to
    // OnCommand and OnNotify. The parent places the text field, then attaches the buttons.
    SpinEdit(HWND parent, int editId, int lowerBound, int upperBound);
    SpinEdit(const SpinEdit&) = delete;
    SpinEdit& operator=(const SpinEdit&) = delete;

    HWND Edit() const { return edit_; }
    HWND Buttons() const { return buttons_; }
    // Puts the buttons inside the text field's right edge, at their width for `dpi`; again after
    // the field has moved or the DPI has changed.
    void AttachButtons(int dpi);

    int Value() const;
    // Writes the value's text, brought into [lower, upper]; the text field reports the change to
    // its parent only when the text differs.
    void SetValue(int value);
    int UpperBound() const { return upper_; }
    void SetUpperBound(int upper);

    // The up and down buttons (and the arrow keys in the field) step the value by one. True when
    // the notification was this field's.
    bool OnNotify(const NMHDR& header);

  private:
    HWND edit_ = nullptr;
    HWND buttons_ = nullptr;
    int lower_;
    int upper_;
};

// The integer a field's text spells: optional spaces, an optional sign, decimal digits, within
// 32 bits; anything else is not a number.
bool ParseFieldInteger(const std::wstring& text, int& value);

}  // namespace corvalo
