#pragma once

// What a launcher item's caption and target may hold so that the settings file gives them back
// unchanged. The file keeps an item as one "caption=target" line, which the profile functions
// split at the first "=", trim, and cut to their buffers; an item that would not survive that is
// refused with the reason instead of being changed behind the user's back.

#include <string>
#include <string_view>

namespace corvalo {

// The longest caption or target the settings file reads back whole.
inline constexpr size_t kLongestItemText = 2047;

// Why the item cannot be stored faithfully, as a message for the user; empty when it can.
std::wstring ItemStorageProblem(std::wstring_view caption, std::wstring_view target);

}  // namespace corvalo
