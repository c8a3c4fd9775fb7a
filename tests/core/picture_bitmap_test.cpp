#include "picture/bitmap.h"
#include "picture/bitmap_helpers.h"
#include "support/error_message.h"

#include <gtest/gtest.h>

#include <random>

namespace corvalo {
namespace {

using test::ErrorOf;

void ExpectAllPixels(const Bitmap& b, Color c) {
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            ASSERT_EQ(b.PixelAt(x, y), c) << "at " << x << "," << y;
        }
    }
}

TEST(Bitmap, StartsEmptyWithDefaultSettings) {
    const Bitmap b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.BitsPerPixel(), 24);
    EXPECT_FALSE(b.Transparent());
    EXPECT_EQ(b.Mode(), TransparentMode::Automatic);
    EXPECT_EQ(b.TransparentColor(), kWhite);  // no bottom-left pixel to take

    const Bitmap filled = NewBitmap(0x123456);
    EXPECT_TRUE(filled.Empty());
    EXPECT_EQ(filled.BitsPerPixel(), 24);
}

TEST(Bitmap, LaysOutRowsLikeATopDownDib) {
    Bitmap b = NewSizedBitmap(5, 3, std::nullopt);
    EXPECT_EQ(b.Stride(), 16u);  // 15 bytes padded to a multiple of 4
    ASSERT_EQ(b.Pixels().size(), 48u);
    b.SetPixel(0, 0, MakeColor(1, 2, 3));
    b.SetPixel(4, 2, MakeColor(7, 8, 9));
    EXPECT_EQ(b.Pixels()[0], 3);  // blue first
    EXPECT_EQ(b.Pixels()[1], 2);
    EXPECT_EQ(b.Pixels()[2], 1);
    EXPECT_EQ(b.Row(2), b.Pixels().data() + 32);
    EXPECT_EQ(b.Row(2)[12], 9);
    EXPECT_EQ(b.Row(2)[14], 7);
}

TEST(Bitmap, NewSizedBitmapIsWhiteUnlessFilled) {
    const Bitmap white = NewSizedBitmap(7, 4, std::nullopt);
    EXPECT_EQ(white.Width(), 7);
    EXPECT_EQ(white.Height(), 4);
    EXPECT_EQ(white.BitsPerPixel(), 24);
    ExpectAllPixels(white, kWhite);

    const Bitmap filled = NewSizedBitmap(3, 2, MakeColor(10, 20, 30));
    ExpectAllPixels(filled, MakeColor(10, 20, 30));
    EXPECT_EQ(BitmapBounds(filled), (Rect{0, 0, 3, 2}));

    FillBitmap(nullptr, kBlack);  // nothing to paint, nothing happens
}

TEST(Bitmap, ResizingKeepsOverlapAndWhitensNewArea) {
    Bitmap b = NewSizedBitmap(3, 3, kBlack);
    b.SetPixel(2, 2, MakeColor(200, 0, 0));
    b.SetSize(5, 4);
    EXPECT_EQ(b.PixelAt(2, 2), MakeColor(200, 0, 0));
    EXPECT_EQ(b.PixelAt(0, 0), kBlack);
    EXPECT_EQ(b.PixelAt(3, 0), kWhite);
    EXPECT_EQ(b.PixelAt(0, 3), kWhite);

    // Shrinking drops pixels for good: growing again brings white, not the old pixels.
    b.SetWidth(1);
    b.SetWidth(3);
    EXPECT_EQ(b.PixelAt(2, 2), kWhite);
    EXPECT_EQ(b.PixelAt(0, 2), kBlack);

    // Palette formats too; a palette without white gains it when there is room.
    Bitmap indexed = Bitmap::FromPixels(2, 1, 4, {0x01, 0, 0, 0}, {kBlack, MakeColor(0, 0, 255)});
    indexed.SetSize(9, 2);
    EXPECT_EQ(indexed.PixelAt(1, 0), MakeColor(0, 0, 255));
    EXPECT_EQ(indexed.PixelAt(8, 1), kWhite);
    EXPECT_EQ(indexed.PixelAt(2, 0), kWhite);
    Bitmap mono = Bitmap::FromPixels(3, 1, 1, {0x40, 0, 0, 0}, {kBlack, kWhite});
    mono.SetSize(10, 2);
    EXPECT_EQ(mono.PixelAt(1, 0), kWhite);
    EXPECT_EQ(mono.PixelAt(0, 0), kBlack);
    EXPECT_EQ(mono.PixelAt(9, 1), kWhite);
    EXPECT_EQ(mono.Palette().size(), 2u);
}

TEST(Bitmap, ReadsEveryPixelFormat) {
    const std::vector<Color> palette = {MakeColor(1, 1, 1), MakeColor(2, 2, 2), MakeColor(3, 3, 3)};
    // 1 bpp, most significant bit first.
    const Bitmap mono = Bitmap::FromPixels(9, 1, 1, {0x80, 0x80, 0, 0}, palette);
    EXPECT_EQ(mono.PixelAt(0, 0), palette[1]);
    EXPECT_EQ(mono.PixelAt(1, 0), palette[0]);
    EXPECT_EQ(mono.PixelAt(8, 0), palette[1]);
    // 4 bpp: high nibble first; an index past the palette reads black.
    const Bitmap nibbles = Bitmap::FromPixels(3, 1, 4, {0x21, 0xF0, 0, 0}, palette);
    EXPECT_EQ(nibbles.PixelAt(0, 0), palette[2]);
    EXPECT_EQ(nibbles.PixelAt(1, 0), palette[1]);
    EXPECT_EQ(nibbles.PixelAt(2, 0), kBlack);
    // 16 bpp 5-5-5: full channels widen to 255.
    const Bitmap hicolor = Bitmap::FromPixels(2, 1, 16, {0x00, 0x7C, 0x10, 0x42}, {});
    EXPECT_EQ(hicolor.PixelAt(0, 0), MakeColor(255, 0, 0));
    EXPECT_EQ(hicolor.PixelAt(1, 0), MakeColor(132, 132, 132));
    // 32 bpp: the fourth byte is not a colour.
    const Bitmap bgrx = Bitmap::FromPixels(1, 1, 32, {30, 20, 10, 99}, {});
    EXPECT_EQ(bgrx.PixelAt(0, 0), MakeColor(10, 20, 30));

    EXPECT_EQ(bgrx.PixelAt(1, 0), kInvalidColor);
    EXPECT_EQ(bgrx.PixelAt(0, -1), kInvalidColor);
}

TEST(Bitmap, WritesEveryPixelFormat) {
    // A monochrome bitmap keeps only the first two entries.
    const std::vector<Color> palette = {kBlack, kWhite, MakeColor(250, 0, 0)};
    for (int bpp : {1, 4, 8}) {
        Bitmap b =
            Bitmap::FromPixels(10, 2, bpp, std::vector<uint8_t>(DibStride(10, bpp) * 2), palette);
        b.SetPixel(9, 1, kWhite);
        b.SetPixel(3, 0, MakeColor(240, 10, 10));  // nearest entry
        EXPECT_EQ(b.PixelAt(9, 1), kWhite) << bpp;
        EXPECT_EQ(b.PixelAt(8, 1), kBlack) << bpp;
        EXPECT_EQ(b.PixelAt(3, 0), bpp == 1 ? kBlack : MakeColor(250, 0, 0)) << bpp;
    }
    Bitmap hicolor = Bitmap::FromPixels(1, 1, 16, std::vector<uint8_t>(4), {});
    hicolor.SetPixel(0, 0, MakeColor(255, 8, 7));
    EXPECT_EQ(hicolor.PixelAt(0, 0), MakeColor(255, 8, 0));
    Bitmap bgrx = Bitmap::FromPixels(1, 1, 32, std::vector<uint8_t>(4), {});
    bgrx.SetPixel(0, 0, MakeColor(1, 2, 3));
    EXPECT_EQ(bgrx.PixelAt(0, 0), MakeColor(1, 2, 3));
    bgrx.SetPixel(5, 5, kWhite);  // outside: ignored
}

TEST(Bitmap, TransparentColorFollowsModeAndFormat) {
    Bitmap b = NewSizedBitmap(4, 3, MakeColor(0, 128, 0));
    b.SetPixel(0, 2, MakeColor(9, 8, 7));  // bottom-left
    EXPECT_EQ(b.TransparentColor(), MakeColor(9, 8, 7));
    b.SetTransparentColor(MakeColor(1, 2, 3));
    EXPECT_EQ(b.Mode(), TransparentMode::Fixed);
    EXPECT_EQ(b.FixedTransparentColor(), MakeColor(1, 2, 3));
    EXPECT_EQ(b.TransparentColor(), MakeColor(1, 2, 3));
    b.SetMode(TransparentMode::Automatic);
    EXPECT_EQ(b.TransparentColor(), MakeColor(9, 8, 7));

    // A monochrome bitmap keys out white even when its bottom-left pixel is black.
    const Bitmap mono = Bitmap::FromPixels(8, 2, 1, std::vector<uint8_t>(8), {kBlack, kWhite});
    EXPECT_EQ(mono.PixelAt(0, 1), kBlack);
    EXPECT_EQ(mono.TransparentColor(), kWhite);
}

TEST(Bitmap, ConvertsPixelFormats) {
    Bitmap b = NewSizedBitmap(5, 3, MakeColor(10, 20, 30));
    b.SetPixel(4, 2, MakeColor(200, 100, 50));
    b.SetBitsPerPixel(8);  // two colours fit an exact palette
    EXPECT_EQ(b.BitsPerPixel(), 8);
    EXPECT_EQ(b.PixelAt(4, 2), MakeColor(200, 100, 50));
    EXPECT_EQ(b.PixelAt(0, 0), MakeColor(10, 20, 30));
    b.SetBitsPerPixel(1);
    EXPECT_EQ(b.PixelAt(4, 2), MakeColor(200, 100, 50));
    b.SetBitsPerPixel(32);
    EXPECT_EQ(b.PixelAt(4, 2), MakeColor(200, 100, 50));
    EXPECT_EQ(b.Stride(), 20u);
    b.SetBitsPerPixel(16);
    EXPECT_EQ(b.PixelAt(4, 2), MakeColor(206, 99, 49));  // 5 bits per channel, widened again

    // Three colours do not fit a monochrome palette: refused, bitmap unchanged.
    Bitmap three = NewSizedBitmap(3, 1, std::nullopt);
    three.SetPixel(0, 0, kBlack);
    three.SetPixel(1, 0, MakeColor(255, 0, 0));
    const Bitmap before = three;
    EXPECT_EQ(ErrorOf([&] { three.SetBitsPerPixel(1); }), L"Invalid pixel format");
    EXPECT_EQ(three, before);
    EXPECT_EQ(ErrorOf([&] { three.SetBitsPerPixel(12); }), L"Invalid pixel format");

    // Palette indexes survive a move to a wider palette format.
    Bitmap indexed = Bitmap::FromPixels(2, 1, 4, {0x10, 0, 0, 0}, {kBlack, kWhite});
    indexed.SetBitsPerPixel(8);
    EXPECT_EQ(indexed.Row(0)[0], 1);
    EXPECT_EQ(indexed.PixelAt(0, 0), kWhite);
}

TEST(Bitmap, RefusesAbsurdSizesWithoutAllocating) {
    Bitmap b = NewSizedBitmap(2, 2, std::nullopt);
    const Bitmap before = b;
    EXPECT_EQ(ErrorOf([&] { b.SetSize(-1, 5); }), L"Invalid image size");
    EXPECT_EQ(ErrorOf([&] { b.SetWidth(kMaxBitmapSide + 1); }), L"Invalid image size");
    // Each side within the limit, the buffer (about 12 GiB) not.
    EXPECT_EQ(ErrorOf([&] { b.SetSize(kMaxBitmapSide, kMaxBitmapSide); }), L"Invalid image size");
    EXPECT_EQ(b, before);
    EXPECT_EQ(ErrorOf([] { NewSizedBitmap(60000, 60000, std::nullopt); }), L"Invalid image size");
    EXPECT_EQ(ErrorOf([] { Bitmap::FromPixels(2, 2, 24, std::vector<uint8_t>(15)); }),
              L"Bitmap image is not valid");
    EXPECT_EQ(ErrorOf([] { Bitmap::FromPixels(1, 1, 2, std::vector<uint8_t>(4)); }),
              L"Invalid pixel format");
    // A wide, flat picture is fine.
    EXPECT_NO_THROW(b.SetSize(kMaxBitmapSide, 1));
}

TEST(DrawBitmap, ClipsAtEveryEdge) {
    Bitmap src = NewSizedBitmap(3, 3, std::nullopt);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            src.SetPixel(x, y, MakeColor(uint8_t(x), uint8_t(y), 0));
        }
    }
    for (int ox = -4; ox <= 5; ++ox) {
        for (int oy = -4; oy <= 5; ++oy) {
            Bitmap dest = NewSizedBitmap(4, 3, kBlack);
            DrawBitmap(dest, src, ox, oy);
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < 4; ++x) {
                    const int sx = x - ox, sy = y - oy;
                    const bool inside = sx >= 0 && sx < 3 && sy >= 0 && sy < 3;
                    ASSERT_EQ(dest.PixelAt(x, y), inside ? src.PixelAt(sx, sy) : kBlack)
                        << ox << "," << oy << " at " << x << "," << y;
                }
            }
        }
    }
    Bitmap dest = NewSizedBitmap(2, 2, kBlack);
    DrawBitmap(dest, src, INT32_MAX, INT32_MIN);  // far away: nothing, no overflow
    ExpectAllPixels(dest, kBlack);
}

TEST(DrawBitmap, LeavesTransparentPixelsAndConvertsFormats) {
    // 8-bpp source whose bottom-left pixel (index 1, red) is its automatic key colour.
    const std::vector<Color> palette = {MakeColor(0, 0, 255), MakeColor(255, 0, 0)};
    Bitmap src = Bitmap::FromPixels(2, 2, 8, {0, 1, 0, 0, 1, 0, 0, 0}, palette);
    for (int bpp : {24, 32, 16}) {
        Bitmap dest = NewSizedBitmap(2, 2, MakeColor(0, 255, 0));
        dest.SetBitsPerPixel(bpp);
        DrawBitmap(dest, src, 0, 0);
        EXPECT_EQ(dest.PixelAt(1, 0), MakeColor(255, 0, 0)) << bpp;
        EXPECT_EQ(dest.PixelAt(0, 1), MakeColor(255, 0, 0)) << bpp;
        src.SetTransparent(true);
        dest = NewSizedBitmap(2, 2, MakeColor(0, 255, 0));
        dest.SetBitsPerPixel(bpp);
        DrawBitmap(dest, src, 0, 0);
        EXPECT_EQ(dest.PixelAt(0, 0), MakeColor(0, 0, 255)) << bpp;
        EXPECT_EQ(dest.PixelAt(1, 0), MakeColor(0, 255, 0)) << bpp;  // keyed out
        EXPECT_EQ(dest.PixelAt(0, 1), MakeColor(0, 255, 0)) << bpp;
        src.SetTransparent(false);
    }

    // Drawing a bitmap onto itself, shifted, reads the pixels as they were before.
    Bitmap self = NewSizedBitmap(3, 1, std::nullopt);
    self.SetPixel(0, 0, MakeColor(1, 0, 0));
    self.SetPixel(1, 0, MakeColor(2, 0, 0));
    self.SetPixel(2, 0, MakeColor(3, 0, 0));
    DrawBitmap(self, self, 1, 0);
    EXPECT_EQ(self.PixelAt(1, 0), MakeColor(1, 0, 0));
    EXPECT_EQ(self.PixelAt(2, 0), MakeColor(2, 0, 0));
}

// Wide palette pictures convert through a table of the palette: every pixel must still be its own
// entry's colour, past the palette's end black, from any starting column (odd ones split a nibble
// or a byte of bits).
TEST(DrawBitmap, ConvertsWidePalettePicturesPixelForPixel) {
    std::mt19937 random(7);
    for (int bpp : {1, 4, 8}) {
        const int width = 600;
        std::vector<uint8_t> pixels(DibStride(width, bpp) * 2);
        for (uint8_t& p : pixels) {
            p = uint8_t(random());
        }
        std::vector<Color> palette((size_t(1) << bpp) - 1);  // the last index has no entry
        for (Color& c : palette) {
            c = Color(random()) & 0x00FFFFFF;
        }
        const Bitmap src = Bitmap::FromPixels(width, 2, bpp, std::move(pixels), palette);
        for (int offset : {0, -3, 5}) {
            Bitmap dest = NewSizedBitmap(width, 2, kWhite);
            DrawBitmap(dest, src, offset, 0);
            for (int x = std::max(0, offset); x < std::min(width, width + offset); ++x) {
                for (int y = 0; y < 2; ++y) {
                    ASSERT_EQ(dest.PixelAt(x, y), src.PixelAt(x - offset, y))
                        << bpp << " bpp, offset " << offset << ", at " << x << "," << y;
                }
            }
        }
        Bitmap converted = src;
        converted.SetBitsPerPixel(24);
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(converted.PixelAt(x, 1), src.PixelAt(x, 1)) << bpp << " bpp at " << x;
        }
    }
}

// A decoded picture of another kind: a diagonal line of one colour, the rest transparent.
class LinePicture : public Graphic {
  public:
    LinePicture(int w, int h, bool icon) : w_(w), h_(h), icon_(icon) {}
    int Width() const override { return w_; }
    int Height() const override { return h_; }
    bool Transparent() const override { return true; }
    bool IsIcon() const override { return icon_; }
    std::vector<Color> Palette() const override { return {kBlack, MakeColor(0, 0, 200)}; }
    void Draw(Bitmap& target, int x, int y) const override {
        for (int i = 0; i < std::min(w_, h_); ++i) {
            target.SetPixel(x + i, y + i, MakeColor(0, 0, 200));
        }
    }

  private:
    int w_, h_;
    bool icon_;
};

TEST(GraphicToBitmap, CopiesContentOnlyWhenAsked) {
    EXPECT_FALSE(GraphicToBitmap(nullptr, true).has_value());

    const LinePicture picture(5, 3, false);
    const std::optional<Bitmap> blank = GraphicToBitmap(&picture, false);
    ASSERT_TRUE(blank.has_value());
    EXPECT_EQ(blank->Width(), 5);
    EXPECT_EQ(blank->Height(), 3);
    EXPECT_EQ(blank->BitsPerPixel(), 24);
    EXPECT_FALSE(blank->Transparent());
    EXPECT_TRUE(blank->Palette().empty());
    ExpectAllPixels(*blank, kWhite);

    const std::optional<Bitmap> copy = GraphicToBitmap(&picture, true);
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(copy->BitsPerPixel(), 24);
    EXPECT_TRUE(copy->Transparent());
    EXPECT_EQ(copy->Mode(), TransparentMode::Automatic);
    EXPECT_EQ(copy->Palette(), picture.Palette());
    EXPECT_EQ(copy->PixelAt(2, 2), MakeColor(0, 0, 200));
    EXPECT_EQ(copy->PixelAt(1, 2), kWhite);  // transparent parts stay white
}

TEST(GraphicToBitmap, BitmapSourceKeepsSwitchButNotModeOrColor) {
    Bitmap src = NewSizedBitmap(2, 1, MakeColor(5, 5, 5));
    src.SetPixel(1, 0, MakeColor(7, 7, 7));
    src.SetTransparentColor(MakeColor(7, 7, 7));
    src.SetTransparent(true);
    src.SetBitsPerPixel(32);

    const Bitmap copy = GraphicToBitmap(src, true);
    EXPECT_EQ(copy.BitsPerPixel(), 24);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.Mode(), TransparentMode::Automatic);
    EXPECT_EQ(copy.PixelAt(0, 0), MakeColor(5, 5, 5));
    EXPECT_EQ(copy.PixelAt(1, 0), kWhite);  // the keyed-out pixel

    const Bitmap blank = GraphicToBitmap(src, false);
    EXPECT_FALSE(blank.Transparent());
    ExpectAllPixels(blank, kWhite);
}

TEST(GraphicToBitmap, IconsBecomeWhiteKeyedSquares) {
    const LinePicture icon(32, 32, true);
    for (bool copy : {false, true}) {
        const std::optional<Bitmap> square = GraphicToBitmap(&icon, copy);
        ASSERT_TRUE(square.has_value());
        EXPECT_EQ(square->Width(), 64);
        EXPECT_EQ(square->Height(), 64);
        EXPECT_EQ(square->BitsPerPixel(), 24);
        EXPECT_TRUE(square->Transparent());
        EXPECT_EQ(square->Mode(), TransparentMode::Fixed);
        EXPECT_EQ(square->TransparentColor(), kWhite);
        // Doubled exactly: each icon pixel becomes a 2 x 2 block, no blended edge.
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                ASSERT_EQ(square->PixelAt(x, y), x / 2 == y / 2 ? MakeColor(0, 0, 200) : kWhite);
            }
        }
    }
}

TEST(GraphicToSquareBitmap, StretchesAnyShapeOntoTheSquare) {
    Bitmap wide = NewSizedBitmap(4, 1, std::nullopt);
    for (int x = 0; x < 4; ++x) {
        wide.SetPixel(x, 0, MakeColor(uint8_t(10 * x), 0, 0));
    }
    const Bitmap square = GraphicToSquareBitmap(wide, 8);
    EXPECT_EQ(square.Width(), 8);
    EXPECT_EQ(square.Height(), 8);
    EXPECT_TRUE(square.Transparent());
    EXPECT_EQ(square.FixedTransparentColor(), kWhite);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(square.PixelAt(x, y), MakeColor(uint8_t(10 * (x / 2)), 0, 0));
        }
    }
    const Bitmap fromEmpty = GraphicToSquareBitmap(Bitmap(), 3);
    ExpectAllPixels(fromEmpty, kWhite);
}

}  // namespace
}  // namespace corvalo
