#include "launcher/item_text_rules.h"

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
    // A value in double quotes comes back without them.
    if (target.size() >= 2 && target.front() == L'"' && target.back() == L'"')
        return L"A target cannot both begin and end with a double quote.";
    if (caption.size() > kLongestItemText)
        return L"A caption can be at most 2047 characters long.";
    if (target.size() > kLongestItemText)
        return L"A target can be at most 2047 characters long.";
    return {};
}

}  // namespace corvalo
