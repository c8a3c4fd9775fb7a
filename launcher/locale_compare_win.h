#pragma once

#include <string_view>

namespace corvalo {

// The one comparison of captions and launcher lines: the user's locale, case ignored.
int CompareInUserLocale(std::wstring_view a, std::wstring_view b);

}  // namespace corvalo
