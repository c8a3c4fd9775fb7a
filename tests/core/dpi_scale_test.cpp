#include "base/dpi_scale.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace corvalo {
namespace {

TEST(DpiScale, LengthsAtNinetySixDpiBecomeTheNearestPhysicalPixels) {
    // 96 dpi, or none known: every length as it is.
    for (int length : {INT_MIN, -1, 0, 1, 255, INT_MAX}) {
        EXPECT_EQ(DpiScaled(length, 96), length);
        EXPECT_EQ(DpiScaled(length, 0), length);
        EXPECT_EQ(DpiUnscaled(length, 96), length);
    }
    EXPECT_EQ(DpiScaled(256, 144), 384);
    EXPECT_EQ(DpiScaled(10, 144), 15);
    EXPECT_EQ(DpiScaled(10, 120), 13);    // 12.5: the half goes up
    EXPECT_EQ(DpiScaled(-10, 120), -13);  // and away from zero below it
    EXPECT_EQ(DpiScaled(9, 120), 11);     // 11.25
    EXPECT_EQ(DpiScaled(3, 192), 6);
    EXPECT_EQ(DpiUnscaled(300, 144), 200);
    EXPECT_EQ(DpiUnscaled(301, 144), 201);  // 200.67
    EXPECT_EQ(DpiUnscaled(-301, 144), -201);
    // Held to the int range, never wrapped.
    EXPECT_EQ(DpiScaled(INT_MAX, 192), INT_MAX);
    EXPECT_EQ(DpiScaled(INT_MIN, 192), INT_MIN);
}

TEST(DpiScale, AStoredLengthShownAndStoredAgainNeverCreeps) {
    for (int dpi = 96; dpi <= 480; ++dpi) {
        for (int length = -3000; length <= 3000; ++length) {
            ASSERT_EQ(DpiUnscaled(DpiScaled(length, dpi), dpi), length) << length << " at " << dpi;
        }
    }
    // A position the user dragged to, off the 96-dpi grid, moves at most once and then stays.
    for (int dpi : {120, 144, 168, 192}) {
        for (int pixels = -500; pixels <= 500; ++pixels) {
            const int shown = DpiScaled(DpiUnscaled(pixels, dpi), dpi);
            EXPECT_LE(std::abs(shown - pixels), 1) << pixels << " at " << dpi;
            EXPECT_EQ(DpiScaled(DpiUnscaled(shown, dpi), dpi), shown);
        }
    }
}

}  // namespace
}  // namespace corvalo
