#include "launcher/launcher_line.h"

#include <cstdint>

namespace corvalo {
namespace {

bool IsHighSurrogate(wchar_t ch) {
    return static_cast<uint32_t>(ch) >= 0xD800 && static_cast<uint32_t>(ch) <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t ch) {
    return static_cast<uint32_t>(ch) >= 0xDC00 && static_cast<uint32_t>(ch) <= 0xDFFF;
}

}  // namespace

LauncherLine SplitLauncherLine(std::wstring_view line) {
    LauncherLine out;
    const size_t separator = line.find(L'=');
    if (separator != std::wstring_view::npos) {
        out.caption.assign(line.substr(0, separator));
        out.target.assign(line.substr(separator + 1));
        out.hasSeparator = true;
        return out;
    }
    // Drop one whole character: where text is UTF-16, a surrogate pair goes as one, so the target
    // never starts with half a character.
    size_t first = line.empty() ? 0 : 1;
    if (line.size() >= 2 && IsHighSurrogate(line[0]) && IsLowSurrogate(line[1]))
        first = 2;
    out.target.assign(line.substr(first));
    return out;
}

}  // namespace corvalo
