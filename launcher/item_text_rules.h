#pragma once

// What a launcher item's caption and target may hold so that the settings file gives them back
// unchanged. The file keeps an item as one "caption=target" line, which the profile functions
// split at the first "=", trim, unquote and cut to their buffers; an item that would not survive
// that is refused with the reason instead of being changed behind the user's back.

#include <string>
#include <string_view>

namespace corvalo {

// The longest caption or target the settings file reads back whole.
inline constexpr size_t kLongestItemText = 2047;

// Why the item cannot be stored faithfully, as a message for the user; empty when it can.
std::wstring ItemStorageProblem(std::wstring_view caption, std::wstring_view target);

// The text to write for a value so that reading it gives the value back. The profile functions
// take one pair of matching quotes (double or single) off every value they read, so a value with
// such a pair around it ("C:\Program Files\Tool\tool.exe" as Explorer's "Copy as path" gives
// it) is written inside one more pair of double quotes. Any other value is written as it is, so
// files written before read as before.
std::wstring ProfileValueFor(std::wstring_view value);

// Whether a line of the older list file can become an item that the settings file gives back
// unchanged: it has a "=", a caption, and texts that ItemStorageProblem accepts.
bool IsStorableLine(std::wstring_view line);

}  // namespace corvalo
