// The owner-drawn entries rendered into a memory bitmap and checked by their pixels.
#include "app/main_window_win.h"
#include "base/dpi_win.h"
#include "launcher/menu_painter_win.h"
#include "picture/dib_win.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

constexpr Color kGrey = 0x00A4A0A0;
constexpr Color kFill = 0x00123456;  // what the menu window shows before an entry is drawn

class MenuPainterTest : public ::testing::Test {
  protected:
    MenuPainterTest()
        : painter(LoadBitmapResource(IDB_GLYPH_TICK), LoadBitmapResource(IDB_GLYPH_GEAR)),
          dc(CreateCompatibleDC(nullptr)) {
        painter.BeginOpening(MenuFont{});
    }
    ~MenuPainterTest() override { painter.EndOpening(); }

    // Draws the entry into a canvas of the given size prefilled with kFill and returns the pixels.
    Bitmap Render(const MenuEntry& entry, int width, int height, bool selected) {
        ScopedBitmapHandle canvas = GdiBitmapFrom(NewSizedBitmap(width, height, kFill));
        {
            ScopedSelectObject selectedCanvas(dc.Get(), canvas.Get());
            const RECT rect{0, 0, width, height};
            if (entry.kind == MenuEntry::Kind::Launcher) {
                painter.LauncherItemDraw(entry, dc.Get(), rect, selected);
            } else {
                painter.CommandItemDraw(entry, dc.Get(), rect, selected);
            }
        }
        return BitmapFromGdi(canvas.Get());
    }
    static int Count(const Bitmap& bitmap, Color color, int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                count += (bitmap.PixelAt(x, y) & 0xFFFFFF) == color;
        }
        return count;
    }
    static MenuEntry Entry(MenuEntry::Kind kind, const wchar_t* caption, const char* name = "") {
        MenuEntry entry;
        entry.kind = kind;
        entry.caption = caption;
        entry.name = name;
        return entry;
    }

    MenuPainter painter;
    ScopedMemoryDc dc;
    const int m = GetSystemMetrics(SM_CXMENUCHECK);
};

TEST_F(MenuPainterTest, MeasuresFollowTheCaptionExtent) {
    const MenuEntry launcher = Entry(MenuEntry::Kind::Launcher, L"Notepad");
    const MenuEntry command = Entry(MenuEntry::Kind::Command, L"Notepad", "Stuff3");
    const MenuEntry spacer = Entry(MenuEntry::Kind::Command, L"", "Stuff6");
    const Size l = painter.LauncherItemMeasure(launcher);
    const Size c = painter.CommandItemMeasure(command);
    EXPECT_EQ(l.width - 32, c.width - m - 4);
    EXPECT_EQ(l.height - 8, c.height - 4);
    EXPECT_GT(l.height - 8, 8) << "a text height";
    EXPECT_EQ(painter.CommandItemMeasure(spacer).width, m + 4);
}

// Captions are drawn as the UTF-16 text they are: Greek on a Western code page shows its own
// letters, not "?". One too wide for the screen is shortened with an ellipsis, never drawn past.
TEST_F(MenuPainterTest, ACaptionIsDrawnInItsOwnLettersAndOneTooWideIsShortened) {
    const MenuEntry greek =
        Entry(MenuEntry::Kind::Launcher, L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac");
    const MenuEntry marks = Entry(MenuEntry::Kind::Launcher, L"????????");
    EXPECT_NE(Render(greek, 200, 24, false), Render(marks, 200, 24, false))
        << "the caption was drawn as default characters";

    const std::wstring wide(200, L'W');
    const MenuEntry longOne = Entry(MenuEntry::Kind::Launcher, wide.c_str());
    const int natural = painter.LauncherItemMeasure(longOne).width;
    painter.BeginOpening(MenuFont{}, natural);
    EXPECT_EQ(painter.LauncherItemMeasure(longOne).width, natural) << "exactly as wide: whole";
    painter.BeginOpening(MenuFont{}, natural - 1);
    EXPECT_EQ(painter.LauncherItemMeasure(longOne).width, natural - 1);
    painter.BeginOpening(MenuFont{}, 132);
    EXPECT_EQ(painter.LauncherItemMeasure(longOne).width, 132);
    const Bitmap cut = Render(longOne, 300, 24, false);
    EXPECT_GT(Count(cut, 0x000000, 32, 0, 132, 24), 0) << "the caption's start is drawn";
    EXPECT_EQ(Count(cut, 0x000000, 132, 0, 300, 24), 0) << "nothing past the widest entry";
}

TEST_F(MenuPainterTest, ASelectedLauncherEntryIsGreyOnlyBehindItsCaption) {
    const MenuEntry entry = Entry(MenuEntry::Kind::Launcher, L"Mail");
    const Bitmap normal = Render(entry, 120, 24, false);
    EXPECT_EQ(Count(normal, kFill, 0, 0, 120, 24), 0) << "the whole row is painted";
    EXPECT_EQ(Count(normal, kGrey, 0, 0, 120, 24), 0);
    const Bitmap selected = Render(entry, 120, 24, true);
    EXPECT_GT(Count(selected, kGrey, 32, 0, 120, 24), 0);
    EXPECT_EQ(Count(selected, kGrey, 0, 0, 32, 24), 0) << "the icon column stays white";
    EXPECT_EQ(selected.PixelAt(110, 1) & 0xFFFFFF, kWhite) << "beyond the caption: white";
}

TEST_F(MenuPainterTest, ALauncherIconIsStretchedIntoItsSquareWithItsCornerSeeThrough) {
    MenuEntry entry = Entry(MenuEntry::Kind::Launcher, L"");
    entry.bitmap = NewSizedBitmap(32, 32, 0x00FF00FF);  // the corner colour: see-through
    for (int y = 8; y < 24; ++y) {
        for (int x = 8; x < 24; ++x)
            entry.bitmap.SetPixel(x, y, 0x000000FF);
    }
    const Bitmap drawn = Render(entry, 100, 24, false);
    // Square from (4, 4), side 24 - 6 = 18: the red middle lands inside it.
    EXPECT_EQ(drawn.PixelAt(13, 13) & 0xFFFFFF, 0x000000FFu);
    EXPECT_EQ(Count(drawn, 0x00FF00FF, 0, 0, 100, 24), 0);
    EXPECT_EQ(Count(drawn, 0x000000FF, 22, 0, 100, 24), 0) << "nothing outside the square";
}

// At 150 % every length scales, and an icon is made at its square's size by area averaging before
// it is drawn: a fine pattern turns into its blend (a stretch would keep pure red and blue), and
// the see-through corner colour leaves no fringe.
TEST_F(MenuPainterTest, AtAnyDpiEntriesScaleAndIconsAreScaledDownSmoothly) {
    const MenuEntry launcher = Entry(MenuEntry::Kind::Launcher, L"Notepad");
    const Size at96 = painter.LauncherItemMeasure(launcher);
    painter.BeginOpening(MenuFont{}, 0, 144);
    const Size at144 = painter.LauncherItemMeasure(launcher);
    EXPECT_GE((at144.height - 12) * 4, (at96.height - 8) * 5) << "the font at 144 dpi";
    const int m144 = SystemMetricForDpi(SM_CXMENUCHECK, 144);
    EXPECT_EQ(painter.CommandItemMeasure(Entry(MenuEntry::Kind::Command, L"", "Stuff6")).width,
              m144 + 6);

    MenuEntry entry = Entry(MenuEntry::Kind::Launcher, L"");
    entry.bitmap = NewSizedBitmap(32, 32, 0x00FF00FF);
    for (int y = 4; y < 28; ++y) {
        for (int x = 4; x < 28; ++x)
            entry.bitmap.SetPixel(x, y, (x + y) % 2 ? 0x000000FF : 0x00FF0000);
    }
    const Bitmap drawn = Render(entry, 150, 36, false);
    // Square from (6, 6), side 36 - 9 = 27.
    EXPECT_EQ(Count(drawn, 0x00FF00FF, 0, 0, 150, 36), 0) << "no see-through colour";
    EXPECT_EQ(Count(drawn, 0x000000FF, 0, 0, 150, 36), 0) << "no pure red: averaged";
    int pattern = 0, blended = 0;
    for (int y = 6; y < 33; ++y) {
        for (int x = 6; x < 33; ++x) {
            const Color c = drawn.PixelAt(x, y) & 0xFFFFFF;
            pattern += ((c >> 8) & 0xFF) < 40;
            blended += (c & 0xFF) > 60 && (c >> 16) > 60 && ((c >> 8) & 0xFF) < 40;
        }
    }
    EXPECT_GT(blended, 18 * 18) << "the pattern's purple blend fills the icon";
    EXPECT_EQ(Count(drawn, kWhite, 6, 6, 33, 33) + pattern, 27 * 27)
        << "the row's white where the icon is see-through, nothing else";

    MenuEntry start = Entry(MenuEntry::Kind::Command, L"Start with Windows", "Stuff1");
    start.ticked = true;
    const Bitmap ticked = Render(start, 240, 30, false);
    EXPECT_LT(Count(ticked, kFill, 6, 6, 6 + m144, 6 + m144), m144 * m144) << "the tick";
    EXPECT_EQ(Count(ticked, kFill, 0, 0, 6 + m144, 6), (6 + m144) * 6) << "nothing above it";
}

TEST_F(MenuPainterTest, CommandsDrawTheirGlyphsOnlyWhereTheyBelongAndNoBackground) {
    MenuEntry settings = Entry(MenuEntry::Kind::Command, L"Settings...", "ADMIN");
    const Bitmap gear = Render(settings, 160, 22, false);
    const int glyphPixels = (m) * (m);
    EXPECT_LT(Count(gear, kFill, 4, 4, 4 + m, 4 + m), glyphPixels) << "the gear is drawn";
    EXPECT_EQ(gear.PixelAt(1, 1) & 0xFFFFFF, kFill) << "the entry is not filled";

    MenuEntry start = Entry(MenuEntry::Kind::Command, L"Start with Windows", "Stuff1");
    EXPECT_EQ(Count(Render(start, 160, 22, false), kFill, 4, 4, 4 + m, 4 + m), glyphPixels);
    start.ticked = true;
    const Bitmap ticked = Render(start, 160, 22, false);
    int red = 0;
    for (int y = 4; y < 4 + m; ++y) {
        for (int x = 4; x < 4 + m; ++x) {
            const Color c = ticked.PixelAt(x, y);
            red += (c & 0xFF) > 150 && ((c >> 8) & 0xFF) < 100;
        }
    }
    EXPECT_GT(red, 0) << "the red tick fills the square";

    MenuEntry spacer = Entry(MenuEntry::Kind::Command, L"", "Stuff6");
    const Bitmap empty = Render(spacer, 40, 20, true);
    EXPECT_EQ(Count(empty, kFill, 0, 0, 40, 20), 40 * 20) << "the spacer shows nothing";
}

TEST_F(MenuPainterTest, ASelectedCommandTurnsOnlyItsCaptionCellsGrey) {
    const MenuEntry quit = Entry(MenuEntry::Kind::Command, L"Quit", "Stuff5");
    const Bitmap selected = Render(quit, 160, 22, true);
    EXPECT_GT(Count(selected, kGrey, 2 * m, 0, 160, 22), 0);
    EXPECT_EQ(Count(selected, kGrey, 0, 0, 2 * m, 22), 0);
    EXPECT_EQ(selected.PixelAt(155, 1) & 0xFFFFFF, kFill);
    const Bitmap normal = Render(quit, 160, 22, false);
    EXPECT_GT(Count(normal, GetSysColor(COLOR_BTNFACE), 2 * m, 0, 160, 22), 0);
}

// Dark mode and high contrast: every row painted in the palette (no white panel in dark mode),
// each caption drawn in its palette colour on its band, the glyphs visible; the menu's own
// background given only where the palette has one.
TEST_F(MenuPainterTest, InDarkModeAndHighContrastEveryRowAndCaptionIsInThePalettesColours) {
    // The background brush a menu has once the painter has given it the palette's.
    const auto MenuBackground = [&] {
        ScopedMenuHandle menu(CreatePopupMenu());
        painter.PaintBackgroundOf(menu.Get());
        MENUINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = MIM_BACKGROUND;
        GetMenuInfo(menu.Get(), &info);
        return info.hbrBack;  // the painter owns it
    };
    const auto contains = [](const Bitmap& b, Color color) {
        return Count(b, color, 0, 0, b.Width(), b.Height()) > 0;
    };
    for (const ColorMode mode : {ColorMode::Dark, ColorMode::HighContrast}) {
        SCOPED_TRACE(mode == ColorMode::Dark ? "dark" : "high contrast");
        painter.BeginOpening(MenuFont{}, 0, kBaseDpi, nullptr, mode);
        const Palette& colors = painter.Colors();
        ASSERT_TRUE(colors.paintsMenuBackground);
        const MenuEntry mail = Entry(MenuEntry::Kind::Launcher, L"Mail");
        const MenuEntry settings = Entry(MenuEntry::Kind::Command, L"Settings...", "ADMIN");
        for (const MenuEntry* entry : {&mail, &settings}) {
            for (const bool selected : {false, true}) {
                const Bitmap row = Render(*entry, 160, 22, selected);
                const Color band = selected ? colors.selection : colors.launcherRow;
                const Color text = selected ? colors.selectedText : colors.text;
                EXPECT_EQ(Count(row, kFill, 0, 0, 160, 22), 0) << "the whole row is painted";
                if (mode == ColorMode::Dark) {
                    EXPECT_FALSE(contains(row, 0x00FFFFFF));
                    EXPECT_GE(ContrastRatio(text, band), 4.5);
                }
                EXPECT_TRUE(contains(row, band));
                EXPECT_TRUE(contains(row, text)) << "the caption in its colour";
            }
        }
        // The gear stands out from its row.
        const Bitmap gear = Render(settings, 160, 22, false);
        int visible = 0;
        for (int y = 4; y < 4 + m; ++y) {
            for (int x = 4; x < 4 + m; ++x)
                visible += ContrastRatio(gear.PixelAt(x, y) & 0xFFFFFF, colors.commandRow) >= 3.0;
        }
        EXPECT_GT(visible, m * m / 8);

        LOGBRUSH brush{};
        ASSERT_TRUE(GetObjectW(MenuBackground(), sizeof(brush), &brush));
        EXPECT_EQ(brush.lbColor, colors.menuBackground);
        painter.EndOpening();
    }
    // Light: the menu keeps the system's background.
    painter.BeginOpening(MenuFont{});
    EXPECT_EQ(MenuBackground(), nullptr);
}

}  // namespace
}  // namespace corvalo
