#include "shell/file_extension.h"

#include "base/text.h"

namespace corvalo {
namespace {

template <typename Char>
std::basic_string_view<Char> ExtensionOf(std::basic_string_view<Char> name) {
    const Char delimiters[] = {Char(':'), Char('\\'), Char('/'), Char('.')};
    const size_t last = name.find_last_of(std::basic_string_view<Char>(delimiters, 4));
    if (last == std::basic_string_view<Char>::npos || last == 0 || name[last] != Char('.'))
        return {};
    return name.substr(last);
}

}  // namespace

std::wstring FileExtension(std::wstring_view name) {
    return std::wstring(ExtensionOf(name));
}

std::string FileExtension(std::string_view ansiName) {
    // A name that survives the trip through the code page unchanged is scanned as characters;
    // one that does not (bytes the code page has no character for) falls back to bytes.
    const std::wstring wide = AnsiToWide(ansiName);
    if (WideToAnsi(wide) == ansiName) {
        // The round trip is exact, so the extension's own 8-bit form is its original bytes.
        return WideToAnsi(ExtensionOf(std::wstring_view(wide)));
    }
    return std::string(ExtensionOf(ansiName));
}

}  // namespace corvalo
