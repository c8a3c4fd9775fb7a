#include "launcher/locale_compare_win.h"

#include <algorithm>
#include <climits>

namespace corvalo {
namespace {

// The platform takes lengths as int and refuses a missing pointer, which an empty view may have.
const wchar_t* Text(std::wstring_view text) {
    return text.empty() ? L"" : text.data();
}

int Length(std::wstring_view text) {
    return static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
}

}  // namespace

int CompareInUserLocale(std::wstring_view a, std::wstring_view b) {
    return CompareInLocale(LOCALE_USER_DEFAULT, a, b);
}

int CompareInLocale(LCID locale, std::wstring_view a, std::wstring_view b) {
    int result = CompareStringW(locale, NORM_IGNORECASE, Text(a), Length(a), Text(b), Length(b));
    if (result == 0)
        result = CompareStringOrdinal(Text(a), Length(a), Text(b), Length(b), TRUE);
    if (result == 0)
        return a.compare(b);  // not even that: the code units as they are
    return result - CSTR_EQUAL;
}

}  // namespace corvalo
