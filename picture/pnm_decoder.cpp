// Portable bitmap, graymap and pixmap pictures (P1 to P6).
#include "base/error.h"
#include "picture/picture_decoders.h"

namespace corvalo {

namespace {

constexpr wchar_t kPnmNotValid[] = L"Portable anymap image is not valid";

[[noreturn]] void PnmNotValid() {
    throw Error(kPnmNotValid);
}
[[noreturn]] void PnmTooShort() {
    throw Error(kStreamReadError);
}

class Reader {
  public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    // Skips white space and comments ("#" to the end of the line).
    void SkipSpace() {
        while (at_ < data_.size()) {
            if (data_[at_] == '#') {
                while (at_ < data_.size() && data_[at_] != '\n' && data_[at_] != '\r') {
                    ++at_;
                }
            } else if (IsSpace(data_[at_])) {
                ++at_;
            } else {
                break;
            }
        }
    }
    // A decimal number in the header or in a plain (ASCII) raster.
    unsigned Number() {
        SkipSpace();
        if (at_ >= data_.size()) {
            PnmTooShort();
        }
        if (data_[at_] < '0' || data_[at_] > '9') {
            PnmNotValid();
        }
        uint64_t value = 0;
        while (at_ < data_.size() && data_[at_] >= '0' && data_[at_] <= '9') {
            value = value * 10 + unsigned(data_[at_++] - '0');
            if (value > 0xFFFFFFFFu) {
                PnmNotValid();
            }
        }
        return unsigned(value);
    }
    // A plain bitmap's digit: one "0" or "1", spaces optional.
    unsigned Bit() {
        SkipSpace();
        if (at_ >= data_.size()) {
            PnmTooShort();
        }
        const uint8_t c = data_[at_++];
        if (c != '0' && c != '1') {
            PnmNotValid();
        }
        return c - '0';
    }
    // The single white-space byte between the header and a binary raster.
    void EndOfHeader() {
        if (at_ >= data_.size()) {
            PnmTooShort();
        }
        if (!IsSpace(data_[at_++])) {
            PnmNotValid();
        }
    }
    const uint8_t* Bytes(uint64_t count) {
        if (count > data_.size() - at_) {
            PnmTooShort();
        }
        const uint8_t* p = data_.data() + at_;
        at_ += size_t(count);
        return p;
    }
    size_t Offset() const { return at_; }

  private:
    static bool IsSpace(uint8_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
    std::span<const uint8_t> data_;
    size_t at_ = 0;
};

}  // namespace

DecodedPicture DecodePortableAnymap(std::span<const uint8_t> file) {
    if (file.size() < 2) {
        PnmTooShort();
    }
    if (file[0] != 'P' || file[1] < '1' || file[1] > '6') {
        PnmNotValid();
    }
    const int type = file[1] - '0';
    const bool bitmap = type == 1 || type == 4;
    const bool colour = type == 3 || type == 6;
    const bool binary = type >= 4;
    Reader in(file.subspan(2));
    const unsigned width = in.Number();
    const unsigned height = in.Number();
    const unsigned maxValue = bitmap ? 1 : in.Number();
    if (maxValue == 0 || maxValue > 65535) {
        PnmNotValid();
    }
    if (binary) {
        in.EndOfHeader();
    }
    const unsigned samples = colour ? 3 : 1;
    const unsigned sampleBytes = maxValue > 255 ? 2 : 1;
    CheckPictureSize(width, height, kPnmNotValid);
    if (binary) {
        const uint64_t rowBytes =
            type == 4 ? (uint64_t(width) + 7) / 8 : uint64_t(width) * samples * sampleBytes;
        if (rowBytes * height > file.size() - 2 - in.Offset()) {
            PnmTooShort();  // said before the picture's memory is taken
        }
    }
    DecodedPicture picture;
    picture.bitmap = NewPictureBitmap(width, height, kPnmNotValid);
    const auto scale = [&](unsigned v) {
        return uint8_t((std::min(v, maxValue) * 255u + maxValue / 2) / maxValue);
    };
    for (unsigned y = 0; y < height; ++y) {
        uint8_t* out = picture.bitmap.Row(int(y));
        const uint8_t* packed = nullptr;
        if (type == 4) {
            packed = in.Bytes((uint64_t(width) + 7) / 8);
        } else if (binary) {
            packed = in.Bytes(uint64_t(width) * samples * sampleBytes);
        }
        for (unsigned x = 0; x < width; ++x, out += 3) {
            uint8_t v[3];
            if (bitmap) {
                const unsigned bit = type == 4 ? (packed[x >> 3] >> (7 - (x & 7))) & 1u : in.Bit();
                v[0] = v[1] = v[2] = bit ? 0 : 255;  // 1 is black
            } else {
                for (unsigned s = 0; s < samples; ++s) {
                    unsigned raw;
                    if (!binary) {
                        raw = in.Number();
                    } else if (sampleBytes == 2) {
                        const uint8_t* p = packed + 2 * (size_t(x) * samples + s);
                        raw = unsigned(p[0]) << 8 | p[1];
                    } else {
                        raw = packed[size_t(x) * samples + s];
                    }
                    v[s] = scale(raw);
                }
                if (!colour) {
                    v[1] = v[2] = v[0];
                }
            }
            out[0] = v[2];
            out[1] = v[1];
            out[2] = v[0];
        }
    }
    return picture;
}

}  // namespace corvalo
