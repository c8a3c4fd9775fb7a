#include "app/icon_list_stream.h"

#include "base/error.h"
#include "base/text.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace corvalo {
namespace {

constexpr uint8_t kResourceMarker = 0xFF;
constexpr uint16_t kResourceTypeRcData = 10;
constexpr uint16_t kResourceFlags = 0x1030;
constexpr std::string_view kResourceName = "TIMAGELIST";
constexpr std::string_view kStreamSignature = "TPF0";
constexpr std::string_view kClassName = "TImageList";

enum ValueType : uint8_t {
    kEndOfList = 0,
    kInt8 = 2,
    kInt16 = 3,
    kInt32 = 4,
    kIdent = 7,
    kFalse = 8,
    kTrue = 9,
    kBinary = 10,
};

constexpr std::array<std::string_view, 4> kDrawingStyles = {"dsFocus", "dsSelected", "dsNormal",
                                                            "dsTransparent"};
constexpr std::array<std::string_view, 2> kImageTypes = {"itImage", "itMask"};

// The reader's messages are never shown: a damaged icon-list file is dropped without a word.
Error Damaged(std::wstring_view what) {
    return Error(FillText(L"Damaged icon list file: %s", {what}));
}

Error BadValue(std::string_view property) {
    return Damaged(FillText(L"bad value of %s", {AnsiToWide(property)}));
}

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool ValidImageSize(int32_t size) {
    return size >= 1 && size <= kMaxIconListImageSize;
}

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A cursor over bytes that refuses to go past their end.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    size_t Remaining() const { return data_.size() - at_; }

    std::span<const uint8_t> Take(size_t count) {
        if (count > Remaining())
            throw Damaged(L"unexpected end");
        const std::span<const uint8_t> out = data_.subspan(at_, count);
        at_ += count;
        return out;
    }

    uint8_t U8() { return Take(1)[0]; }
    uint16_t U16() {
        const auto p = Take(2);
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }
    uint32_t U32() { return ReadU32(Take(4).data()); }

    std::string_view ShortString() {
        const uint8_t length = U8();
        const auto p = Take(length);
        return std::string_view(reinterpret_cast<const char*>(p.data()), p.size());
    }

    // Skips a zero-ended name and the zero.
    void SkipZeroEnded() {
        while (U8() != 0) {
        }
    }

  private:
    std::span<const uint8_t> data_;
    size_t at_ = 0;
};

class Writer {
  public:
    void Reserve(size_t bytes) { out_.reserve(bytes); }
    void U8(uint8_t value) { out_.push_back(value); }
    void U16(uint16_t value) {
        U8(static_cast<uint8_t>(value));
        U8(static_cast<uint8_t>(value >> 8));
    }
    void U32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            U8(static_cast<uint8_t>(value >> shift));
    }
    void Bytes(std::span<const uint8_t> bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }
    void Chars(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }

    void ShortString(std::string_view text) {
        if (text.size() > 255)
            throw Error(FillText(L"Name too long for the icon list file: %s", {AnsiToWide(text)}));
        U8(static_cast<uint8_t>(text.size()));
        Chars(text);
    }

    void Integer(std::string_view name, int32_t value) {
        ShortString(name);
        if (value >= INT8_MIN && value <= INT8_MAX) {
            U8(kInt8);
            U8(static_cast<uint8_t>(static_cast<int8_t>(value)));
        } else if (value >= INT16_MIN && value <= INT16_MAX) {
            U8(kInt16);
            U16(static_cast<uint16_t>(static_cast<int16_t>(value)));
        } else {
            U8(kInt32);
            U32(static_cast<uint32_t>(value));
        }
    }

    std::vector<uint8_t>& Data() { return out_; }

  private:
    std::vector<uint8_t> out_;
};

int32_t ReadIntegerValue(Reader& in, uint8_t type, std::string_view property) {
    switch (type) {
        case kInt8:
            return static_cast<int8_t>(in.U8());
        case kInt16:
            return static_cast<int16_t>(in.U16());
        case kInt32:
            return static_cast<int32_t>(in.U32());
        default:
            throw BadValue(property);
    }
}

bool ReadBoolValue(uint8_t type, std::string_view property) {
    if (type == kTrue)
        return true;
    if (type == kFalse)
        return false;
    throw BadValue(property);
}

template <size_t N>
std::string ReadIdentifierOf(Reader& in, uint8_t type, std::string_view property,
                             const std::array<std::string_view, N>& allowed) {
    if (type != kIdent)
        throw BadValue(property);
    const std::string_view ident = in.ShortString();
    for (std::string_view candidate : allowed) {
        if (SameAscii(ident, candidate))
            return std::string(candidate);
    }
    throw BadValue(property);
}

void ReadColorValue(Reader& in, uint8_t type, std::string_view property) {
    if (type == kIdent) {
        const std::string_view ident = in.ShortString();
        if (ident.size() < 3 || !SameAscii(ident.substr(0, 2), "cl"))
            throw BadValue(property);
        return;
    }
    ReadIntegerValue(in, type, property);
}

void ReadProperty(Reader& in, std::string_view name, IconListProperties& out) {
    const uint8_t type = in.U8();
    if (SameAscii(name, "DrawingStyle")) {
        out.drawingStyle = ReadIdentifierOf(in, type, name, kDrawingStyles);
    } else if (SameAscii(name, "Height") || SameAscii(name, "Width")) {
        const int32_t size = ReadIntegerValue(in, type, name);
        if (!ValidImageSize(size))
            throw BadValue(name);
        (SameAscii(name, "Height") ? out.height : out.width) = size;
    } else if (SameAscii(name, "ShareImages")) {
        out.shareImages = ReadBoolValue(type, name);
    } else if (SameAscii(name, "Left")) {
        out.left = ReadIntegerValue(in, type, name);
    } else if (SameAscii(name, "Top")) {
        out.top = ReadIntegerValue(in, type, name);
    } else if (SameAscii(name, "Bitmap")) {
        if (type != kBinary)
            throw BadValue(name);
        const auto data = in.Take(in.U32());
        out.bitmap.emplace(data.begin(), data.end());
    } else if (SameAscii(name, "BlendColor") || SameAscii(name, "BkColor")) {
        ReadColorValue(in, type, name);
    } else if (SameAscii(name, "AllocBy")) {
        ReadIntegerValue(in, type, name);
    } else if (SameAscii(name, "ImageType")) {
        ReadIdentifierOf(in, type, name, kImageTypes);
    } else if (SameAscii(name, "Masked")) {
        ReadBoolValue(type, name);
    } else {
        throw Damaged(FillText(L"unknown property %s", {AnsiToWide(name)}));
    }
}

bool StartsWithBitmapFile(std::span<const uint8_t> part) {
    // A bitmap file header (14 bytes) and the smallest info header (12 bytes).
    return part.size() >= 26 && part[0] == 'B' && part[1] == 'M';
}

}  // namespace

std::vector<uint8_t> WriteIconListFile(const IconListProperties& properties) {
    bool knownStyle = false;
    for (std::string_view style : kDrawingStyles)
        knownStyle = knownStyle || style == properties.drawingStyle;
    if (!knownStyle) {
        throw Error(FillText(L"Unknown drawing style of the icon list: %s",
                             {AnsiToWide(properties.drawingStyle)}));
    }
    if (!ValidImageSize(properties.height) || !ValidImageSize(properties.width))
        throw Error(L"Invalid image size");

    Writer stream;
    stream.Chars(kStreamSignature);
    stream.ShortString(kClassName);
    stream.ShortString(properties.objectName);
    if (properties.drawingStyle != "dsNormal") {
        stream.ShortString("DrawingStyle");
        stream.U8(kIdent);
        stream.ShortString(properties.drawingStyle);
    }
    if (properties.height != 16)
        stream.Integer("Height", properties.height);
    if (properties.shareImages) {
        stream.ShortString("ShareImages");
        stream.U8(kTrue);
    }
    if (properties.width != 16)
        stream.Integer("Width", properties.width);
    if (properties.left != 0)
        stream.Integer("Left", properties.left);
    if (properties.top != 0)
        stream.Integer("Top", properties.top);
    if (properties.bitmap) {
        // The 32-bit length field caps the data (and the stream around it).
        if (properties.bitmap->size() > std::numeric_limits<uint32_t>::max() - 1024)
            throw Error(L"The icon list is too large to be stored");
        stream.ShortString("Bitmap");
        stream.U8(kBinary);
        stream.U32(static_cast<uint32_t>(properties.bitmap->size()));
        stream.Bytes(*properties.bitmap);
    }
    stream.U8(kEndOfList);  // properties
    stream.U8(kEndOfList);  // owned objects

    Writer file;
    // One allocation for the whole file, the header's few bytes included.
    file.Reserve(64 + stream.Data().size());
    file.U8(kResourceMarker);
    file.U16(kResourceTypeRcData);
    file.Chars(kResourceName);
    file.U8(0);
    file.U16(kResourceFlags);
    file.U32(static_cast<uint32_t>(stream.Data().size()));
    file.Bytes(stream.Data());
    return std::move(file.Data());
}

IconListProperties ReadIconListFile(std::span<const uint8_t> file) {
    Reader header(file);
    if (header.U8() != kResourceMarker || header.U16() != kResourceTypeRcData)
        throw Damaged(L"no resource header");
    header.SkipZeroEnded();
    header.U16();  // flags
    const uint32_t length = header.U32();

    Reader in(header.Take(length));
    const auto signature = in.Take(kStreamSignature.size());
    if (!std::equal(signature.begin(), signature.end(), kStreamSignature.begin()))
        throw Damaged(L"no object stream");
    if (!SameAscii(in.ShortString(), kClassName))
        throw Damaged(L"not an icon list");

    IconListProperties out;
    out.objectName = in.ShortString();
    while (true) {
        const std::string_view name = in.ShortString();
        if (name.empty())
            break;  // the zero length byte ends the properties
        ReadProperty(in, name, out);
    }
    if (in.U8() != kEndOfList)
        throw Damaged(L"owned objects");
    return out;
}

bool IsImageListStream(std::span<const uint8_t> bitmapData) {
    return bitmapData.size() >= 8 && bitmapData[0] == 'I' && bitmapData[1] == 'L' &&
           ReadU32(bitmapData.data()) != ReadU32(bitmapData.data() + 4);
}

OlderIconLayout ParseOlderIconLayout(std::span<const uint8_t> bitmapData) {
    Reader in(bitmapData);
    const uint32_t imagesSize = in.U32();
    OlderIconLayout out;
    out.imageCount = in.U32();
    if (out.imageCount > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        throw Damaged(L"image count");
    const auto images = in.Take(imagesSize);
    const auto masks = in.Take(in.Remaining());
    if (!StartsWithBitmapFile(images) || !StartsWithBitmapFile(masks))
        throw Damaged(L"older image data");
    out.imagesBmp.assign(images.begin(), images.end());
    out.masksBmp.assign(masks.begin(), masks.end());
    return out;
}

}  // namespace corvalo
