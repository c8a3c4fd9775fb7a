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
    // A message that names what failed, and apart from it the system's reason, for the places
    // that say why (the final save) where the message alone is what the user is used to seeing.
    Error(std::wstring message, std::wstring reason);

    const std::wstring& Message() const noexcept { return message_; }
    // The system's reason, when the message does not hold it already; often empty.
    const std::wstring& Reason() const noexcept { return reason_; }
    // The message in UTF-8, for logs and test reports.
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    std::wstring message_;
    std::wstring reason_;
    std::string utf8_;
};

// The message of the exception being handled, with its reason when it carries one: an Error's
// own text, "out of memory", a library exception's text, or "unknown error". Call it inside a
// catch block.
std::wstring CurrentExceptionMessage();

// Fills each "%s" of a message template with the next argument, in order ("%%" gives "%").
// Placeholders beyond the arguments stay as they are.
std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

// The same for "%d" with integers, as in "List index out of bounds (%d)".
std::wstring FillNumber(std::wstring_view pattern, long long value);

}  // namespace corvalo
