#pragma once

// The forms of a settings file that the platform's profile functions would misread, and the
// UTF-16 form they read right. A settings file is the user's to edit in any editor: Notepad saves
// UTF-8 without a byte-order mark, which the profile functions take for the ANSI code page
// ("CafÃ©"), and an empty file makes them write the ANSI code page, where a Greek caption becomes
// "?" for good.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvalo {

// The bytes a new settings file starts with: a UTF-16 byte-order mark and one empty line, so that
// the profile functions go on writing it in UTF-16.
inline constexpr uint8_t kUtf16SettingsStart[] = {0xFF, 0xFE, 0x0D, 0x00, 0x0A, 0x00};

// What the file's bytes must become before the profile functions use it: an empty file the start
// of a new one; UTF-8 (with or without its byte-order mark) that holds anything beyond ASCII the
// same text in UTF-16 with its byte-order mark. Nothing for a file they read right: UTF-16
// already, plain ASCII, or the ANSI code page (any text that is not valid UTF-8).
std::optional<std::vector<uint8_t>> SettingsFileAsUtf16(std::span<const uint8_t> bytes);

// The text of a file in the ANSI code page, as UTF-16 with its byte-order mark.
std::vector<uint8_t> AnsiSettingsFileAsUtf16(std::span<const uint8_t> bytes);

// True when the bytes start with the UTF-16 (little-endian) byte-order mark.
bool IsUtf16SettingsFile(std::span<const uint8_t> bytes);

}  // namespace corvalo
