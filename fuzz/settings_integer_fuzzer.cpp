// The settings store's integer rule, on text given as UTF-16 code units: any text parses or is
// refused, and every number it gives is stored and read back as the same number.

#include "base/settings_integer.h"
#include "base/text.h"
#include "fuzz/fuzz_checks.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace corvalo;
using corvalo::fuzz::Check;

namespace {

void CheckRoundTrip(int32_t value) {
    const std::optional<int32_t> back = ParseSettingsInteger(FormatSettingsInteger(value));
    Check(back.has_value() && *back == value, "a stored number reads back as itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint16_t> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    const std::wstring text = Utf16ToWide(units);

    if (const std::optional<int32_t> value = ParseSettingsInteger(text))
        CheckRoundTrip(*value);
    // Anything past a leading space and sign that is no digit makes the text invalid: an empty
    // text and text of spaces alone are never numbers.
    if (text.find_first_not_of(L' ') == std::wstring::npos)
        Check(!ParseSettingsInteger(text).has_value(), "text without a digit is no number");

    // The input's first four bytes as a number, for the writer's whole range.
    if (size >= 4) {
        int32_t value = 0;
        std::memcpy(&value, data, sizeof(value));
        CheckRoundTrip(value);
    }
    return 0;
}
