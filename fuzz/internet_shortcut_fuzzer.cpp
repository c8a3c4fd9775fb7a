// The texts of a drop: 8-bit text up to its zero, the URL test, and internet shortcut text.

#include "fuzz/fuzz_checks.h"
#include "launcher/dropped_data.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

using namespace corvalo;
using corvalo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = TextUpToNul(std::span<const uint8_t>(data, size));
    Check((text.empty() || text.data() == reinterpret_cast<const char*>(data)) &&
              text.size() <= size && text.find('\0') == std::string_view::npos &&
              (text.size() == size || data[text.size()] == 0),
          "the text runs from the block's start to its first zero");

    // "://" at the very start has no scheme before it; any later one does.
    if (LooksLikeUrl(text))
        Check(text.size() >= 4 && text.find("://", 1) != std::string_view::npos,
              "a URL has a scheme before a \"://\"");

    if (const std::optional<std::string> url = ParseInternetShortcut(text)) {
        Check(url->find_first_of("\r\n") == std::string::npos, "a URL is one line");
        Check(url->size() + 4 <= text.size(), "the URL is part of its \"URL=\" line");
    }
    // Shortcut files are read whole, zeros and all.
    ParseInternetShortcut(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
