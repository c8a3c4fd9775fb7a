#include "launcher/menu_geometry.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(MenuGeometry, TheDefaultFontGivesTheUsualEntrySizes) {
    // Tahoma 13 pixels high: text about 16 high; the check mark 15 wide.
    EXPECT_EQ(LauncherItemSize({50, 16}), (Size{82, 24}));
    EXPECT_EQ(CommandItemSize(15, {60, 16}), (Size{79, 20}));
    EXPECT_EQ(CommandItemSize(15, {0, 16}), (Size{19, 20}));  // the spacer
    const Rect launcher{0, 10, 82, 34};
    EXPECT_EQ(LauncherIconSquare(launcher), (Rect{4, 14, 22, 32}));  // an 18-pixel icon
    EXPECT_EQ(LauncherCaptionLeft(launcher), 32);
    EXPECT_EQ(CaptionTop(launcher, 16), 14);
}

TEST(MenuGeometry, AtAnyDpiEveryOffsetScalesAndIconsAreOnlyScaledDown) {
    // 144 dpi: Tahoma 10 pt is about 24 high, the check mark 22 wide.
    EXPECT_EQ(LauncherItemSize({75, 24}, 144), (Size{123, 36}));
    EXPECT_EQ(CommandItemSize(22, {90, 24}, 144), (Size{118, 30}));
    const Rect launcher{0, 10, 123, 46};
    EXPECT_EQ(LauncherIconSquare(launcher, 144), (Rect{6, 16, 33, 43}));  // 27 pixels
    EXPECT_EQ(LauncherCaptionLeft(launcher, 144), 48);
    EXPECT_EQ(CommandGlyphSquare({0, 0, 118, 30}, 22, 144), (Rect{6, 6, 28, 28}));
    EXPECT_EQ(LauncherIconSquare(launcher, 96), LauncherIconSquare(launcher));
    // The system's icon lists at 96 dpi: 16, 32 and 48.
    const int sides[] = {16, 32, 48};
    EXPECT_EQ(IconSourceFor(18, sides), 1u);  // as at 96 dpi: the 32-pixel icons
    EXPECT_EQ(IconSourceFor(16, sides), 0u);
    EXPECT_EQ(IconSourceFor(32, sides), 1u);
    EXPECT_EQ(IconSourceFor(33, sides), 2u);
    EXPECT_EQ(IconSourceFor(60, sides), 2u);  // larger than every source: the largest
    EXPECT_EQ(IconSourceFor(20, {}), 0u);
}

TEST(MenuGeometry, CommandGlyphAndCaptionPlaces) {
    const Rect command{3, 40, 100, 60};
    EXPECT_EQ(CommandGlyphSquare(command, 15), (Rect{7, 44, 22, 59}));
    EXPECT_EQ(CommandCaptionLeft(command, 15), 33);
    EXPECT_EQ(CaptionTop(command, 15), 42);  // (20 - 15) / 2 = 2, truncated
}

TEST(MenuGeometry, CentringTruncatesTowardZeroWhenTheTextIsTallerThanTheEntry) {
    EXPECT_EQ(CaptionTop({0, 100, 10, 110}, 15), 98);  // (10 - 15) / 2 = -2, not -3
    // A text height above 26 makes the icon square reach past the caption's start.
    const Rect tall{0, 0, 60, 35};
    EXPECT_GT(LauncherIconSquare(tall).right, LauncherCaptionLeft(tall));
}

}  // namespace
}  // namespace corvalo
