#pragma once

// Icon-list files and image data built byte by byte, for the reader's tests and the fuzzers' seeds.

#include "app/icon_list_stream.h"
#include "support/sample_bytes.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace corvalo::test {

inline void AppendShortString(Bytes& out, std::string_view text) {
    out.push_back(static_cast<uint8_t>(text.size()));
    AppendChars(out, text);
}

// The resource header around an object stream, with the stream's true length.
inline Bytes WithHeader(const Bytes& stream) {
    Bytes out = {0xFF, 0x0A, 0x00};
    AppendChars(out, "TIMAGELIST");
    Append(out, {0x00, 0x30, 0x10});
    AppendU32(out, static_cast<uint32_t>(stream.size()));
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

// An object stream of the given class and object name with hand-made properties; the two
// closing zeros are added.
inline Bytes StreamWith(const Bytes& properties, std::string_view className = "TImageList") {
    Bytes out;
    AppendChars(out, "TPF0");
    AppendShortString(out, className);
    AppendShortString(out, "ImageList1");
    out.insert(out.end(), properties.begin(), properties.end());
    Append(out, {0x00, 0x00});
    return out;
}

inline Bytes Property(std::string_view name, std::initializer_list<uint8_t> value) {
    Bytes out;
    AppendShortString(out, name);
    Append(out, value);
    return out;
}

inline Bytes IdentProperty(std::string_view name, std::string_view ident) {
    Bytes out;
    AppendShortString(out, name);
    out.push_back(0x07);
    AppendShortString(out, ident);
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// The properties other programs write beside the ones the program keeps, each of a different type.
inline Bytes OtherProperties() {
    return Concat({
        Property("BlendColor", {0x04, 0xFF, 0xFF, 0xFF, 0x1F}),
        IdentProperty("BkColor", "clNone"),
        Property("AllocBy", {0x02, 0x08}),
        IdentProperty("ImageType", "itMask"),
        Property("Masked", {0x08}),
        Property("Height", {0x03, 0x40, 0x00}),
        IdentProperty("DrawingStyle", "dsFocus"),
    });
}

// The list of the main window's picture, with the given image data.
inline IconListProperties MainWindowList(std::optional<Bytes> bitmap) {
    IconListProperties list;
    list.drawingStyle = "dsTransparent";
    list.height = 32;
    list.shareImages = true;
    list.width = 32;
    list.left = 168;
    list.top = 24;
    list.bitmap = std::move(bitmap);
    return list;
}

// Stands for a bitmap file where only its mark is looked at.
inline Bytes FakeBitmapFile(uint8_t fill, size_t size) {
    Bytes out = {'B', 'M'};
    out.resize(size, fill);
    return out;
}

// Image data in the older layout: sizes, the images' bitmap file, the masks' bitmap file.
inline Bytes OlderLayout(const Bytes& images, uint32_t count, const Bytes& masks) {
    Bytes out;
    AppendU32(out, static_cast<uint32_t>(images.size()));
    AppendU32(out, count);
    out.insert(out.end(), images.begin(), images.end());
    out.insert(out.end(), masks.begin(), masks.end());
    return out;
}

}  // namespace corvalo::test
