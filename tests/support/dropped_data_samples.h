#pragma once

// The blocks a drag source hands over, built byte by byte, for the readers' tests and the fuzzers'
// seeds.

#include "launcher/dropped_data.h"
#include "support/sample_bytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace corvalo::test {

inline void AppendWide(Bytes& bytes, std::u16string_view text) {
    for (char16_t unit : text)
        AppendU16(bytes, static_cast<uint16_t>(unit));
}

// A file list block as the shell builds it: header, names, and the empty name that ends the list.
inline Bytes DropFiles(std::string_view names, bool wide = false) {
    Bytes block;
    PutU32(block, 0, 20);
    PutU32(block, 16, wide ? 1 : 0);
    for (char c : names) {
        block.push_back(static_cast<uint8_t>(c));
        if (wide)
            block.push_back(0);
    }
    return block;
}

// An identifier list: items of the given payload sizes, then the terminating zero.
inline void AppendIdList(Bytes& bytes, std::initializer_list<uint16_t> payloads) {
    for (uint16_t payload : payloads) {
        AppendU16(bytes, static_cast<uint16_t>(payload + 2));
        bytes.insert(bytes.end(), payload, 0xAB);
    }
    AppendU16(bytes, 0);
}

// A file group descriptor block with the first descriptor's name field (8-bit or UTF-16) starting
// with the given bytes, the rest of the field zero as the platform leaves it, and the file details
// filled with non-zero bytes that no reader may take for a name.
inline Bytes Descriptor(uint32_t count, const Bytes& nameField, bool wide = false) {
    const size_t whole = wide ? kDescriptorGroupSizeWide : kDescriptorGroupSize;
    Bytes block(std::max(whole, kDescriptorNameOffset + nameField.size()), 0);
    std::fill(block.begin(), block.begin() + kDescriptorNameOffset, 0x11);
    PutU32(block, 0, count);
    std::copy(nameField.begin(), nameField.end(), block.begin() + kDescriptorNameOffset);
    return block;
}

}  // namespace corvalo::test
