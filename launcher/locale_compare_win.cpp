#include "launcher/locale_compare_win.h"

#include <windows.h>

#include <climits>

namespace corvalo {

int CompareInUserLocale(std::wstring_view a, std::wstring_view b) {
    const int result =
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                       static_cast<int>(std::min<size_t>(a.size(), INT_MAX)), b.data(),
                       static_cast<int>(std::min<size_t>(b.size(), INT_MAX)));
    return result == 0 ? 0 : result - CSTR_EQUAL;
}

}  // namespace corvalo
