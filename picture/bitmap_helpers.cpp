#include "picture/bitmap_helpers.h"

#include "picture/resample.h"

namespace corvalo {

namespace {

constexpr int kIconSide = 64;

// The second half of the square conversion: the picture, already drawn on white, stretched into a
// square that keys out white.
Bitmap StretchToSquare(const Bitmap& drawn, int side) {
    Bitmap square = NewBitmap(kWhite);
    square.SetWidth(side);
    square.SetHeight(side);
    square.SetTransparentColor(kWhite);
    square.SetTransparent(true);
    StretchNearest(drawn, square);
    return square;
}

}  // namespace

std::optional<Bitmap> GraphicToBitmap(const Graphic* image, bool copyContent) {
    if (image == nullptr) {
        return std::nullopt;
    }
    if (image->IsIcon()) {
        return GraphicToSquareBitmap(*image, kIconSide);
    }
    Bitmap bitmap = NewSizedBitmap(image->Width(), image->Height(), std::nullopt);
    if (copyContent) {
        bitmap.SetPalette(image->Palette());
        bitmap.SetTransparent(image->Transparent());
        image->Draw(bitmap, 0, 0);
    }
    return bitmap;
}

Bitmap GraphicToBitmap(const Bitmap& image, bool copyContent) {
    Bitmap bitmap = NewSizedBitmap(image.Width(), image.Height(), std::nullopt);
    if (copyContent) {
        bitmap.SetPalette(image.Palette());
        bitmap.SetTransparent(image.Transparent());
        DrawBitmap(bitmap, image, 0, 0);
    }
    return bitmap;
}

Bitmap GraphicToSquareBitmap(const Graphic& image, int side) {
    Bitmap drawn = NewBitmap(kWhite);
    drawn.SetSize(image.Width(), image.Height());
    image.Draw(drawn, 0, 0);
    return StretchToSquare(drawn, side);
}

Bitmap GraphicToSquareBitmap(const Bitmap& image, int side) {
    Bitmap drawn = NewBitmap(kWhite);
    drawn.SetSize(image.Width(), image.Height());
    DrawBitmap(drawn, image, 0, 0);
    return StretchToSquare(drawn, side);
}

}  // namespace corvalo
