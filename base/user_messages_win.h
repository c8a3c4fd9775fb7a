#pragma once

// The one place where the program speaks to the user in message boxes. Windows take a UserMessages
// so that tests can record what would have been shown instead of waiting for a person.

#include <windows.h>

#include <string>

namespace corvalo {

class UserMessages {
  public:
    virtual ~UserMessages() = default;
    // The standard error box: title "Corvalo", error icon, the text, OK.
    virtual void ShowError(HWND owner, const std::wstring& text) = 0;
    // A plain modal notice with one OK button (the picture's "Not a good graphic!").
    virtual void ShowNotice(HWND owner, const std::wstring& text) = 0;
};

class MessageBoxUserMessages final : public UserMessages {
  public:
    void ShowError(HWND owner, const std::wstring& text) override;
    void ShowNotice(HWND owner, const std::wstring& text) override;
};

// Runs one event handler: an error that leaves it ends the handler and is shown in the error box;
// the program goes on. Returns false when the handler ended with an error.
template <typename Handler>
bool RunHandler(UserMessages& messages, HWND owner, Handler&& handler);

void ReportCurrentException(UserMessages& messages, HWND owner);

template <typename Handler>
bool RunHandler(UserMessages& messages, HWND owner, Handler&& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        ReportCurrentException(messages, owner);
        return false;
    }
}

}  // namespace corvalo
