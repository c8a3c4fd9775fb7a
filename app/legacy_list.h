#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvalo {

// The lines of the legacy list file, each "caption=target", in file order.
//
// Encoding by the first bytes: FF FE UTF-16 little-endian, FE FF UTF-16 big-endian, EF BB BF UTF-8
// (the mark itself is not text); anything else is 8-bit text in the ANSI code page.
// Line ends: CR, LF, CR LF, U+2028, and a CR or LF (or CR LF) followed by U+2028 is still one line
// end. A zero character ends the text. A line end at the very end adds no empty line, and empty
// input gives no lines.
//
// Every byte sequence decodes, reading nothing past the end: an odd last byte of UTF-16 is dropped,
// lone surrogates are kept as they are, invalid UTF-8 becomes U+FFFD.
std::vector<std::wstring> DecodeLegacyList(std::span<const uint8_t> bytes);

}  // namespace corvalo
