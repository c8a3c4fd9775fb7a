#include "launcher/split_target.h"

#include <algorithm>
#include <cstdint>

namespace corvalo {

LaunchCommand SplitTarget(std::wstring_view target) {
    LaunchCommand command;
    const size_t separator = target.find(L" /");
    const size_t closingQuote =
        target.starts_with(L'"') ? target.find(L'"', 1) : std::wstring_view::npos;
    if (separator == std::wstring_view::npos && closingQuote != std::wstring_view::npos) {
        // The form Windows' own shortcuts and "Copy as path" give: a quoted file, then its
        // parameters with their quotes.
        command.file.assign(target.substr(1, closingQuote - 1));
        std::wstring_view rest = target.substr(closingQuote + 1);
        while (!rest.empty() && static_cast<uint32_t>(rest.front()) <= 32)
            rest.remove_prefix(1);
        while (!rest.empty() && static_cast<uint32_t>(rest.back()) <= 32)
            rest.remove_suffix(1);
        command.parameters.assign(rest);
        return command;
    }
    if (separator == std::wstring_view::npos) {
        command.file.assign(target);
    } else {
        std::wstring_view file = target.substr(0, separator);
        while (!file.empty() && static_cast<uint32_t>(file.back()) <= 32)
            file.remove_suffix(1);
        command.file.assign(file);
        command.parameters.assign(target.substr(separator + 2));
    }
    std::erase(command.file, L'"');
    return command;
}

std::wstring LaunchDirectory(std::wstring_view file) {
    const size_t last = file.find_last_of(L"\\:");
    return last == std::wstring_view::npos ? std::wstring()
                                           : std::wstring(file.substr(0, last + 1));
}

}  // namespace corvalo
