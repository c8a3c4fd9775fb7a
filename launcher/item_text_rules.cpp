#include "launcher/item_text_rules.h"

#include "launcher/launcher_line.h"

namespace corvalo {
namespace {

bool HasLineBreak(std::wstring_view text) {
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

// The profile functions drop spaces and tabs around keys and values.
bool HasOuterBlank(std::wstring_view text) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

}  // namespace

std::wstring ItemStorageProblem(std::wstring_view caption, std::wstring_view target) {
    if (caption.find(L'=') != std::wstring_view::npos)
        return L"A caption cannot contain \"=\".";
    if (HasLineBreak(caption))
        return L"A caption cannot contain a line break.";
    if (HasLineBreak(target))
        return L"A target cannot contain a line break.";
    if (HasOuterBlank(caption))
        return L"A caption cannot begin or end with a space.";
    if (HasOuterBlank(target))
        return L"A target cannot begin or end with a space.";
    // A line starting with "[" reads as the start of a section, and one starting with ";" as a
    // remark.
    if (!caption.empty() && (caption.front() == L'[' || caption.front() == L';'))
        return L"A caption cannot begin with \"[\" or \";\".";
    if (caption.size() > kLongestItemText)
        return L"A caption can be at most 2047 characters long.";
    if (target.size() > kLongestItemText)
        return L"A target can be at most 2047 characters long.";
    return {};
}

std::wstring ProfileValueFor(std::wstring_view value) {
    const bool quoted = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
                        value.back() == value.front();
    if (!quoted)
        return std::wstring(value);
    std::wstring text = L"\"";
    text.append(value);
    text += L'"';
    return text;
}

bool IsStorableLine(std::wstring_view line) {
    const LauncherLine item = SplitLauncherLine(line);
    return item.hasSeparator && !item.caption.empty() &&
           ItemStorageProblem(item.caption, item.target).empty();
}

}  // namespace corvalo
