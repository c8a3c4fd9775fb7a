#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvalo {
namespace {

TEST(WindowPlacement, AWindowOffEveryMonitorComesFullyIntoTheNearestWorkArea) {
    // Two monitors side by side; the right one is lower and has a taskbar at its bottom.
    const std::vector<ScreenRect> areas = {{0, 0, 1280, 984}, {1280, 100, 3200, 1140}};
    // Left where the stored position puts it while it is partly on a monitor.
    EXPECT_EQ(KeepReachable({-200, -50, 56, 206}, areas), (ScreenRect{-200, -50, 56, 206}));
    EXPECT_EQ(KeepReachable({3100, 1000, 3356, 1256}, areas), (ScreenRect{3100, 1000, 3356, 1256}));
    // The default position on a single narrow screen: pulled in from the right.
    EXPECT_EQ(KeepReachable({1588, 251, 1844, 507}, {areas.data(), 1}),
              (ScreenRect{1024, 251, 1280, 507}));
    // Far above the right monitor: onto it, not onto the left one.
    EXPECT_EQ(KeepReachable({2500, -5000, 2756, -4744}, areas), (ScreenRect{2500, 100, 2756, 356}));
    // Below the gap under the left monitor's work area: onto the nearer right one.
    EXPECT_EQ(KeepReachable({1200, 1200, 1456, 1456}, areas), (ScreenRect{1280, 884, 1536, 1140}));
    // Larger than the area: its top-left corner goes to the area's.
    EXPECT_EQ(KeepReachable({5000, 0, 8000, 2000}, {areas.data(), 1}),
              (ScreenRect{0, 0, 3000, 2000}));
    // Extreme stored values do not overflow.
    EXPECT_EQ(KeepReachable({2147483000, 0, 2147483256, 256}, {areas.data(), 1}),
              (ScreenRect{1024, 0, 1280, 256}));
    EXPECT_EQ(KeepReachable({5000, 0, 5256, 256}, {}), (ScreenRect{5000, 0, 5256, 256}));
}

TEST(WindowPlacement, AWindowGrownPastItsWorkAreaMovesTheLeastThatPutsItInside) {
    const ScreenRect area{1280, 100, 3200, 1140};
    // A new portrait photo fitted to the area's height at the default position: up and left.
    EXPECT_EQ(MovedInside({2868, 251, 3588, 1291}, area), (ScreenRect{2480, 100, 3200, 1140}));
    // Inside already, or only touching the edges: where it is.
    EXPECT_EQ(MovedInside({1280, 100, 3200, 1140}, area), area);
    // Wider than the area: its left edge at the area's, its top where it was.
    EXPECT_EQ(MovedInside({3000, 500, 5000, 600}, area), (ScreenRect{1280, 500, 3280, 600}));
}

}  // namespace
}  // namespace corvalo
