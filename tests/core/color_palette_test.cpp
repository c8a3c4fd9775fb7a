#include "base/color_palette.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

SystemColors Distinct() {
    // Every system colour different, so that a palette taking the wrong one is seen.
    return {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x00F0F0F0};
}

TEST(ColorPalette, HighContrastWinsAndOnlyAThemeOfZeroIsDark) {
    EXPECT_EQ(ColorModeFrom(true, 0u), ColorMode::HighContrast);
    EXPECT_EQ(ColorModeFrom(true, std::nullopt), ColorMode::HighContrast);
    EXPECT_EQ(ColorModeFrom(false, 0u), ColorMode::Dark);
    EXPECT_EQ(ColorModeFrom(false, 1u), ColorMode::Light);
    EXPECT_EQ(ColorModeFrom(false, 2u), ColorMode::Light);
    EXPECT_EQ(ColorModeFrom(false, std::nullopt), ColorMode::Light);  // Windows 7, 8
    EXPECT_DOUBLE_EQ(ContrastRatio(0x000000, 0xFFFFFF), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(0x123456, 0x123456), 1.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(0x0000FF, 0x00FF00), ContrastRatio(0x00FF00, 0x0000FF));
}

TEST(ColorPalette, LightIsTheProgramsOwnColoursAndPaintsNothingElse) {
    const Palette light = PaletteFor(ColorMode::Light, Distinct(), 0x00123456);
    EXPECT_FALSE(light.paintsMenuBackground);
    EXPECT_FALSE(light.paintsEditor);
    EXPECT_FALSE(light.darkControls);
    EXPECT_EQ(light.launcherRow, 0x00FFFFFFu);
    EXPECT_EQ(light.commandRow, 0x00F0F0F0u);
    EXPECT_EQ(light.selection, 0x00A4A0A0u);
    EXPECT_EQ(light.selectedText, 0x00FFFFFFu);
    EXPECT_EQ(light.text, 0x00123456u);  // the font's colour, even where it reads badly
}

TEST(ColorPalette, DarkTextReadsOnEveryBandAndAFontColourIsKeptOnlyWhereItReads) {
    // The first grey that reads on the dark rows is kept; the one below it is not.
    PaletteColor firstKept = 0;
    for (PaletteColor grey = 0; grey <= 0xFF; ++grey) {
        const PaletteColor font = grey * 0x010101;
        if (PaletteFor(ColorMode::Dark, Distinct(), font).text == font) {
            firstKept = font;
            break;
        }
    }
    ASSERT_GT(firstKept, 0u);
    const Palette dark = PaletteFor(ColorMode::Dark, Distinct(), firstKept);
    EXPECT_GE(ContrastRatio(firstKept, dark.launcherRow), 4.5);
    const PaletteColor below = firstKept - 0x010101;
    EXPECT_LT(ContrastRatio(below, dark.launcherRow), 4.5);
    const Palette fallback = PaletteFor(ColorMode::Dark, Distinct(), below);
    EXPECT_NE(fallback.text, below);

    // The default black font: light text, readable on the rows and on the selection band.
    const Palette black = PaletteFor(ColorMode::Dark, Distinct(), 0);
    EXPECT_TRUE(black.paintsMenuBackground);
    EXPECT_TRUE(black.paintsEditor);
    EXPECT_TRUE(black.darkControls);
    EXPECT_GE(ContrastRatio(black.text, black.launcherRow), 4.5);
    EXPECT_GE(ContrastRatio(black.text, black.commandRow), 4.5);
    EXPECT_GE(ContrastRatio(black.selectedText, black.selection), 4.5);
    EXPECT_GE(ContrastRatio(black.editorText, black.editorBackground), 4.5);
    EXPECT_GE(ContrastRatio(black.fieldText, black.fieldBackground), 4.5);
    EXPECT_LT(ContrastRatio(black.launcherRow, 0), 2.0);  // dark: no white panel
}

TEST(ColorPalette, HighContrastTakesEveryColourFromTheSystem) {
    const Palette high = PaletteFor(ColorMode::HighContrast, Distinct(), 0x00123456);
    EXPECT_TRUE(high.paintsMenuBackground);
    EXPECT_TRUE(high.paintsEditor);
    EXPECT_FALSE(high.darkControls);
    EXPECT_EQ(high.menuBackground, 0x000001u);
    EXPECT_EQ(high.launcherRow, 0x000001u);
    EXPECT_EQ(high.commandRow, 0x000001u);
    EXPECT_EQ(high.text, 0x000002u);  // not the font's colour
    EXPECT_EQ(high.selection, 0x000003u);
    EXPECT_EQ(high.selectedText, 0x000004u);
    EXPECT_EQ(high.fieldBackground, 0x000005u);
    EXPECT_EQ(high.fieldText, 0x000006u);
    EXPECT_EQ(high.editorText, 0x000006u);
    EXPECT_EQ(high.editorBackground, 0x00F0F0F0u);
}

}  // namespace
}  // namespace corvalo
