#pragma once

// Byte writers for the sample files and blocks: little-endian integers and 8-bit text, appended or
// put at an offset, as the formats the program reads store them.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace corvalo::test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

inline void AppendChars(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

inline void AppendU16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendU32(Bytes& out, uint32_t value) {
    AppendU16(out, value & 0xFFFF);
    AppendU16(out, value >> 16);
}

// Writes over the bytes at `offset`, growing the block to hold them.
inline void PutU16(Bytes& out, size_t offset, size_t value) {
    if (out.size() < offset + 2)
        out.resize(offset + 2);
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU32(Bytes& out, size_t offset, uint32_t value) {
    PutU16(out, offset, value & 0xFFFF);
    PutU16(out, offset + 2, value >> 16);
}

// UTF-16 text as files hold it: little-endian, with or without its byte-order mark.
inline Bytes Utf16Le(const std::vector<uint16_t>& units, bool mark = true) {
    Bytes out;
    if (mark)
        out = {0xFF, 0xFE};
    for (uint16_t unit : units)
        AppendU16(out, unit);
    return out;
}

// Big-endian UTF-16 text with its byte-order mark.
inline Bytes Utf16Be(const std::vector<uint16_t>& units) {
    Bytes out = {0xFE, 0xFF};
    for (uint16_t unit : units) {
        out.push_back(static_cast<uint8_t>(unit >> 8));
        out.push_back(static_cast<uint8_t>(unit));
    }
    return out;
}

}  // namespace corvalo::test
