#include "launcher/split_target.h"

#include <algorithm>
#include <cstdint>

namespace corvalo {

LaunchCommand SplitTarget(std::wstring_view target) {
    LaunchCommand command;
    const size_t separator = target.find(L" /");
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
