#pragma once

#include <windows.h>

#include <string_view>

namespace corvalo {

// The one comparison of captions and launcher lines: the user's locale, case ignored.
int CompareInUserLocale(std::wstring_view a, std::wstring_view b);

// The same in a given locale. When the locale's comparison fails, the texts are compared code unit
// by code unit with the system's upper-case table, so different captions never count as the same
// item (a failure read as "equal" would open, replace or remove the wrong one).
int CompareInLocale(LCID locale, std::wstring_view a, std::wstring_view b);

}  // namespace corvalo
