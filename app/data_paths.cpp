#include "app/data_paths.h"

#include "base/text.h"

namespace corvalo {
namespace {

template <typename Char>
std::basic_string<Char> ReplaceExtension(std::basic_string_view<Char> path,
                                         std::basic_string_view<Char> extension) {
    const Char delimiters[] = {Char('.'), Char('\\'), Char(':')};
    const size_t last = path.find_last_of(std::basic_string_view<Char>(delimiters, 3));
    std::basic_string<Char> out;
    if (last != std::basic_string_view<Char>::npos && path[last] == Char('.')) {
        out.assign(path.substr(0, last));
    } else {
        out.assign(path);
    }
    out.append(extension);
    return out;
}

}  // namespace

std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view extension) {
    return ReplaceExtension(path, extension);
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
    // Work on characters when the path survives the trip through the code page unchanged, which
    // a path made from a wide one always does; otherwise fall back to bytes.
    const std::wstring wide = AnsiToWide(path);
    if (WideToAnsi(wide) == path) {
        std::string out = WideToAnsi(ReplaceExtension<wchar_t>(wide, std::wstring_view()));
        out.append(extension);
        return out;
    }
    return ReplaceExtension(path, extension);
}

std::wstring BasePath(std::wstring_view exePath) {
    return ChangeFileExt(exePath, std::wstring_view());
}

std::wstring ExeBaseName(std::wstring_view exePath) {
    const size_t separator = exePath.find_last_of(L"\\:");
    const std::wstring_view name =
        separator == std::wstring_view::npos ? exePath : exePath.substr(separator + 1);
    const size_t dot = name.find(L'.');
    if (dot == std::wstring_view::npos)
        return {};
    return std::wstring(name.substr(0, dot));
}

std::wstring RunValueText(std::wstring_view exePath) {
    std::wstring text;
    text.reserve(exePath.size() + 2);
    text.push_back(L'"');
    text.append(exePath);
    text.push_back(L'"');
    return text;
}

bool RunValueNamesExe(std::wstring_view value, std::wstring_view exePath) {
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    return !exePath.empty() && LowerCase(value) == LowerCase(exePath);
}

}  // namespace corvalo
