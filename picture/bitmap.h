#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvalo {

// What a bitmap whose bytes do not make a picture is reported as, from a file or from memory.
inline constexpr wchar_t kBitmapNotValid[] = L"Bitmap image is not valid";
// What every reader reports for a picture file that ends before its data does.
inline constexpr wchar_t kStreamReadError[] = L"Stream read error";

// A colour as the platform's COLORREF: 0x00BBGGRR.
using Color = uint32_t;
constexpr Color kWhite = 0x00FFFFFF;
constexpr Color kBlack = 0x00000000;
// What PixelAt answers for a position outside the bitmap, as the platform's GetPixel does.
constexpr Color kInvalidColor = 0xFFFFFFFF;

constexpr Color MakeColor(uint8_t r, uint8_t g, uint8_t b) {
    return Color(r) | (Color(g) << 8) | (Color(b) << 16);
}
constexpr uint8_t RedOf(Color c) {
    return uint8_t(c);
}
constexpr uint8_t GreenOf(Color c) {
    return uint8_t(c >> 8);
}
constexpr uint8_t BlueOf(Color c) {
    return uint8_t(c >> 16);
}

enum class TransparentMode { Automatic, Fixed };

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Largest side and largest pixel buffer a bitmap may have. Anything bigger is refused with the
// error "Invalid image size" before memory is touched: a damaged file or an absurd resize step must
// not take the process down, and the platform's DIB functions take sizes as 32-bit integers.
constexpr int kMaxBitmapSide = 65535;
constexpr size_t kMaxBitmapBytes = size_t(0x7FFFFFFF);

// Bytes of one row of a DIB: padded to a multiple of 4 bytes.
constexpr size_t DibStride(int width, int bitsPerPixel) {
    return ((size_t(width) * size_t(bitsPerPixel) + 31) / 32) * 4;
}

// True for the pixel formats the bitmap holds: 1, 4, 8 (palette indexes), 16 (5-5-5), 24, 32.
bool IsValidBitsPerPixel(int bitsPerPixel);

// A device-independent bitmap exactly as the platform lays out a DIB, so the window layer can hand
// Pixels() to StretchDIBits/SetDIBits: rows stored TOP-DOWN, each row padded to a multiple of 4
// bytes, channel order B,G,R (24 bpp) or B,G,R,X (32 bpp); 1/4/8 bpp are palette indexes (MSB
// first); 16 bpp is 5-5-5. Palette entries are Color values (0x00BBGGRR).
//
// Besides the pixels a bitmap carries three transparency settings: the transparent switch (when on,
// drawing it leaves out the pixels of its transparent colour), the mode and the fixed colour.
class Bitmap {
  public:
    Bitmap();  // empty (0 x 0), 24 bpp, transparency off, automatic mode

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    size_t Stride() const { return stride_; }

    // y = 0 is the top row.
    uint8_t* Row(int y) { return pixels_.data() + size_t(y) * stride_; }
    const uint8_t* Row(int y) const { return pixels_.data() + size_t(y) * stride_; }
    std::vector<uint8_t>& Pixels() { return pixels_; }
    const std::vector<uint8_t>& Pixels() const { return pixels_; }

    // For the palette formats the palette gives the colours of the indexes; an index past its end
    // reads as black. Other formats keep a palette only as information that travels with the
    // picture. At most 2^bpp entries (256 for the direct formats) are kept; the top byte of each
    // entry is cleared.
    const std::vector<Color>& Palette() const { return palette_; }
    void SetPalette(std::vector<Color> palette);

    // Keep the overlapping pixels; area that comes into being is white. A negative size or one
    // over the limits above throws Error("Invalid image size") and leaves the bitmap unchanged.
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    void SetSize(int width, int height);

    // Converts the pixels. Any format converts to 16, 24 and 32 bpp. A palette format is reached
    // only when the picture's colours fit it exactly (its own palette, or the distinct colours in
    // order of first appearance); otherwise Error("Invalid pixel format") and nothing changes.
    void SetBitsPerPixel(int bitsPerPixel);

    // Any format, palette resolved; kInvalidColor outside the bitmap. 16 bpp channels widen from 5
    // to 8 bits by repeating their top bits (31 -> 255).
    Color PixelAt(int x, int y) const;
    // Any format; a palette format takes the nearest palette entry. Outside the bitmap: nothing.
    void SetPixel(int x, int y, Color color);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on) { transparent_ = on; }
    TransparentMode Mode() const { return mode_; }
    void SetMode(TransparentMode mode) { mode_ = mode; }
    Color FixedTransparentColor() const { return fixedColor_; }
    // Also puts the bitmap in fixed mode.
    void SetTransparentColor(Color color);
    // The fixed colour in fixed mode; in automatic mode white for a monochrome (1 bpp) bitmap,
    // otherwise the colour of the bottom-left pixel (white for an empty bitmap, which has none).
    Color TransparentColor() const;

    // Takes over a top-down pixel buffer of exactly Stride() x h bytes. Throws Error("Invalid image
    // size") for a bad size, Error("Invalid pixel format") for a bad bpp and Error("Bitmap image is
    // not valid") when the buffer has the wrong length.
    static Bitmap FromPixels(int width, int height, int bitsPerPixel,
                             std::vector<uint8_t> topDownPixels, std::vector<Color> palette = {});

    // Pixels and settings equal (palette included).
    friend bool operator==(const Bitmap&, const Bitmap&) = default;

  private:
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 24;
    size_t stride_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<Color> palette_;
    bool transparent_ = false;
    TransparentMode mode_ = TransparentMode::Automatic;
    Color fixedColor_ = kBlack;
};

// Throws Error("Invalid image size") unless a bitmap of that size and format may be created.
void CheckBitmapSize(int width, int height, int bitsPerPixel);

// Reads `count` pixels of row y from column x as B,G,R bytes (3 per pixel), palette resolved.
// The caller keeps x .. x + count inside the row.
void ReadRowBgr(const Bitmap& bitmap, int y, int x, int count, uint8_t* bgr);

// Nearest entry of a palette to a colour (exact match first, then the smallest squared distance,
// the lower index on a tie); 0 for an empty palette.
int NearestPaletteIndex(const std::vector<Color>& palette, Color color);

Bitmap NewBitmap(std::optional<Color> fill);  // 24 bpp, 0 x 0
Bitmap NewSizedBitmap(int width, int height,
                      std::optional<Color> fill);  // 24 bpp, white unless filled
void FillBitmap(Bitmap* bitmap, Color color);      // nullptr: nothing
Rect BitmapBounds(const Bitmap& bitmap);

// Draws src onto dest at (x, y), converting pixel formats, clipped to dest; when src.Transparent(),
// pixels of src.TransparentColor() are left out (dest keeps its own pixel there).
void DrawBitmap(Bitmap& dest, const Bitmap& src, int x, int y);

}  // namespace corvalo
