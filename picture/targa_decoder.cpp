// Targa pictures: a small reader of its own, bounds-checked against the data.
#include "base/error.h"
#include "picture/picture_decoders.h"

#include <cstring>

namespace corvalo {

namespace {

constexpr wchar_t kTargaNotValid[] = L"Targa image is not valid";
constexpr size_t kHeaderSize = 18;

[[noreturn]] void TargaNotValid() {
    throw Error(kTargaNotValid);
}
[[noreturn]] void TargaTooShort() {
    throw Error(kStreamReadError);
}

// A 15/16/24/32-bit Targa pixel as a colour (B,G,R order in the file; 5-5-5 for 15 and 16 bits,
// whose top bit is an attribute). Alpha is not looked at.
Color PixelColor(const uint8_t* p, int bits) {
    if (bits <= 16) {
        const unsigned v = p[0] | unsigned(p[1]) << 8;
        const auto widen = [](unsigned c) { return uint8_t((c << 3) | (c >> 2)); };
        return MakeColor(widen((v >> 10) & 31u), widen((v >> 5) & 31u), widen(v & 31u));
    }
    return MakeColor(p[2], p[1], p[0]);
}

}  // namespace

DecodedPicture DecodeTarga(std::span<const uint8_t> file) {
    if (file.size() < kHeaderSize) {
        TargaTooShort();
    }
    const uint8_t* h = file.data();
    const auto u16 = [&](size_t at) { return unsigned(h[at]) | unsigned(h[at + 1]) << 8; };
    const unsigned idLength = h[0];
    const unsigned mapType = h[1];
    const unsigned imageType = h[2];
    const unsigned mapFirst = u16(3);
    const unsigned mapLength = u16(5);
    const unsigned mapEntryBits = h[7];
    const unsigned width = u16(12);
    const unsigned height = u16(14);
    const unsigned pixelBits = h[16];
    const unsigned descriptor = h[17];

    const bool rle = imageType >= 9;
    const unsigned kind =
        rle ? imageType - 8 : imageType;  // 1 colour-mapped, 2 true colour, 3 grey
    if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 &&
        imageType != 11) {
        TargaNotValid();
    }
    if (mapType > 1 || (kind == 1 && mapType != 1)) {
        TargaNotValid();
    }
    switch (kind) {
        case 1:
            if (pixelBits != 8 && pixelBits != 16) {
                TargaNotValid();
            }
            break;
        case 2:
            if (pixelBits != 15 && pixelBits != 16 && pixelBits != 24 && pixelBits != 32) {
                TargaNotValid();
            }
            break;
        default:
            // 8-bit grey, or grey and an 8-bit alpha value after it.
            if (pixelBits != 8 && pixelBits != 16) {
                TargaNotValid();
            }
            break;
    }
    if (mapType == 1 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 &&
        mapEntryBits != 32) {
        TargaNotValid();
    }

    // The colour map follows the image ID; a true-colour picture may carry one too (skipped).
    size_t at = kHeaderSize + idLength;
    const size_t entryBytes = (mapEntryBits + 7) / 8;
    const size_t mapBytes = mapType == 1 ? size_t(mapLength) * entryBytes : 0;
    if (at > file.size() || mapBytes > file.size() - at) {
        TargaTooShort();
    }
    DecodedPicture picture;
    std::vector<Color> map;
    if (kind == 1) {
        map.resize(size_t(mapFirst) + mapLength, kBlack);
        for (unsigned i = 0; i < mapLength; ++i) {
            map[mapFirst + i] = PixelColor(file.data() + at + i * entryBytes, int(mapEntryBits));
        }
        picture.palette.assign(map.begin(), map.end());
        if (picture.palette.size() > 256) {
            picture.palette.resize(256);
        }
    }
    at += mapBytes;

    const size_t pixelBytes = (pixelBits + 7) / 8;
    CheckPictureSize(width, height, kTargaNotValid);
    // Said before the picture's memory is taken: the data must hold every pixel, and a run-length
    // packet (a header byte and one pixel) stands for at most 128 pixels.
    const uint64_t leastData = rle ? (uint64_t(width) * height + 127) / 128 * (1 + pixelBytes)
                                   : uint64_t(width) * height * pixelBytes;
    if (leastData > file.size() - at) {
        TargaTooShort();
    }
    picture.bitmap = NewPictureBitmap(width, height, kTargaNotValid);
    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;
    const uint64_t total = uint64_t(width) * height;

    const auto colorOf = [&](const uint8_t* p) -> Color {
        switch (kind) {
            case 1: {
                const unsigned index = pixelBits == 8 ? p[0] : (p[0] | unsigned(p[1]) << 8);
                return index < map.size() ? map[index] : kBlack;  // past the map: black
            }
            case 2:
                return PixelColor(p, int(pixelBits));
            default:
                return MakeColor(p[0], p[0], p[0]);  // a grey pixel's alpha byte is not looked at
        }
    };
    uint64_t n = 0;
    const auto put = [&](Color c) {
        const unsigned x = unsigned(n % width);
        const unsigned y = unsigned(n / width);
        const int row = int(topDown ? y : height - 1 - y);
        uint8_t* out = picture.bitmap.Row(row) + 3 * size_t(rightToLeft ? width - 1 - x : x);
        out[0] = BlueOf(c);
        out[1] = GreenOf(c);
        out[2] = RedOf(c);
        ++n;
    };

    const uint8_t* data = file.data();
    const size_t size = file.size();
    if (!rle) {
        if (total * pixelBytes > size - at) {
            TargaTooShort();
        }
        for (uint64_t i = 0; i < total; ++i, at += pixelBytes) {
            put(colorOf(data + at));
        }
        return picture;
    }
    // RLE packets: a header byte, then one pixel repeated (top bit set) or raw pixels; packets
    // may run on across rows.
    while (n < total) {
        if (at >= size) {
            TargaTooShort();
        }
        const unsigned packet = data[at++];
        const uint64_t count = (packet & 0x7Fu) + 1u;
        if (count > total - n) {
            TargaNotValid();
        }
        if (packet & 0x80u) {
            if (pixelBytes > size - at) {
                TargaTooShort();
            }
            const Color c = colorOf(data + at);
            at += pixelBytes;
            for (uint64_t i = 0; i < count; ++i) {
                put(c);
            }
        } else {
            if (count * pixelBytes > size - at) {
                TargaTooShort();
            }
            for (uint64_t i = 0; i < count; ++i, at += pixelBytes) {
                put(colorOf(data + at));
            }
        }
    }
    return picture;
}

}  // namespace corvalo
