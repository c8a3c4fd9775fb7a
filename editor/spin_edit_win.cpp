#include "editor/spin_edit_win.h"

#include "base/dpi_scale.h"
#include "base/dpi_win.h"
#include "base/error.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <limits>

namespace corvalo {

bool ParseFieldInteger(const std::wstring& text, int& value) {
    size_t at = 0;
    while (at < text.size() && text[at] == L' ')
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+'))
        negative = text[at++] == L'-';
    if (at == text.size())
        return false;
    long long number = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < L'0' || text[at] > L'9')
            return false;
        number = number * 10 + (text[at] - L'0');
        if (number > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    number = negative ? -number : number;
    if (number > std::numeric_limits<int>::max() || number < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(number);
    return true;
}

SpinEdit::SpinEdit(HWND parent, int editId, int lowerBound, int upperBound)
    : lower_(lowerBound), upper_(upperBound) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    edit_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0,
        0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(editId)), instance, nullptr);
    // The buttons sit inside the field's right edge, which narrows the text part.
    buttons_ =
        CreateWindowExW(0, UPDOWN_CLASSW, L"",
                        WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0,
                        0, 0, 0, parent, nullptr, instance, nullptr);
    if (!edit_ || !buttons_)
        throw Error(L"Failed to create the icon index field");
    SendMessageW(buttons_, UDM_SETRANGE32, static_cast<WPARAM>(lower_),
                 static_cast<LPARAM>(upper_));
}

void SpinEdit::AttachButtons(int dpi) {
    // At 96 dpi the buttons take the width the control chooses; elsewhere a scroll bar's width
    // at that DPI, which is what the control would choose there.
    const int width = dpi == kBaseDpi ? 0 : SystemMetricForDpi(SM_CXVSCROLL, dpi);
    SetWindowPos(buttons_, nullptr, 0, 0, width, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(buttons_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
}

int SpinEdit::Value() const {
    const int length = GetWindowTextLengthW(edit_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit_, text.data(), length + 1)));
    int value = lower_;
    return ParseFieldInteger(text, value) ? value : lower_;
}

void SpinEdit::SetValue(int value) {
    value = std::clamp(value, lower_, std::max(lower_, upper_));
    const std::wstring text = std::to_wstring(value);
    wchar_t current[32] = {};
    GetWindowTextW(edit_, current, 32);
    if (text != current)
        SetWindowTextW(edit_, text.c_str());
}

void SpinEdit::SetUpperBound(int upper) {
    upper_ = upper;
    SendMessageW(buttons_, UDM_SETRANGE32, static_cast<WPARAM>(lower_),
                 static_cast<LPARAM>(std::max(lower_, upper_)));
}

bool SpinEdit::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != buttons_ || header.code != UDN_DELTAPOS)
        return false;
    const auto& step = reinterpret_cast<const NMUPDOWN&>(header);
    const long long stepped = static_cast<long long>(Value()) + (step.iDelta > 0 ? 1 : -1);
    SetValue(static_cast<int>(std::clamp<long long>(stepped, lower_, std::max(lower_, upper_))));
    return true;
}

}  // namespace corvalo
