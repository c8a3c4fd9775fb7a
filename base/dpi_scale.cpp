#include "base/dpi_scale.h"

#include <climits>
#include <cstdint>

namespace corvalo {
namespace {

int Valid(int dpi) {
    return dpi > 0 ? dpi : kBaseDpi;
}

// numerator / denominator to the nearest integer, a half away from zero; held to the int range.
int RoundedQuotient(int64_t numerator, int64_t denominator) {
    const int64_t magnitude =
        ((numerator < 0 ? -numerator : numerator) * 2 + denominator) / (2 * denominator);
    const int64_t quotient = numerator < 0 ? -magnitude : magnitude;
    if (quotient > INT_MAX)
        return INT_MAX;
    if (quotient < INT_MIN)
        return INT_MIN;
    return static_cast<int>(quotient);
}

}  // namespace

int DpiScaled(int length, int dpi) {
    return RoundedQuotient(int64_t{length} * Valid(dpi), kBaseDpi);
}

int DpiUnscaled(int pixels, int dpi) {
    return RoundedQuotient(int64_t{pixels} * kBaseDpi, Valid(dpi));
}

}  // namespace corvalo
