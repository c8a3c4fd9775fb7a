#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

namespace corvalo {

// The one error type of the program. Every failure that the user should hear about travels as an
// Error carrying its finished message; the central guard of the window layer shows it in the error
// box and the program goes on.
class Error : public std::exception {
  public:
    explicit Error(std::wstring message);

    const std::wstring& Message() const noexcept { return message_; }
    // The message in UTF-8, for logs and test reports.
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    std::wstring message_;
    std::string utf8_;
};

// Fills each "%s" of a message template with the next argument, in order ("%%" gives "%").
// Placeholders beyond the arguments stay as they are.
std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

// The same for "%d" with integers, as in "List index out of bounds (%d)".
std::wstring FillNumber(std::wstring_view pattern, long long value);

}  // namespace corvalo
