#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvalo {

// The integer rule of the settings store (ReadInteger), on the text that a key holds.
//
//   text   := spaces* sign? body
//   sign   := "+" | "-"
//   body   := "$" hex+ | "0x" hex+ | "0X" hex+ | digit+
//
// - Only U+0020 counts as a leading space. Nothing may follow the sign but the body: "- 5" is
//   invalid, and so is any trailing character, a trailing space included.
// - "0x" needs at least one hexadecimal digit after it, so "0x" alone is invalid (it is neither
//   hexadecimal nor a decimal number); "$" alone is invalid likewise. Hex digits take either case.
// - A hexadecimal body is a 32-bit pattern: any number of leading zeros, at most 0xFFFFFFFF in
//   value. Values from 0x80000000 up read as negative numbers, the way colour values such as
//   0xFF000000 are stored. A sign applies to hexadecimal too: "-$10" is -16, and the minus negates
//   the 32-bit pattern (so "-$80000000" is -2147483648 and "-$FFFFFFFF" is 1).
// - A decimal body must fit a signed 32-bit number: -2147483648 .. 2147483647; beyond that the
//   text is invalid.
// Invalid text (empty, junk, overflow) gives nullopt; the store then uses the caller's default.
std::optional<int32_t> ParseSettingsInteger(std::wstring_view text);

// Decimal with a leading "-" when negative, as WriteInteger stores numbers.
std::wstring FormatSettingsInteger(int32_t value);

}  // namespace corvalo
