#pragma once

// What a letter typed in an open menu does. The entries are drawn by the program, so the platform
// leaves the letters to it; they work as in a plain menu with mnemonics: the next entry whose
// caption starts with the letter (without regard to case) is selected, and when it is the only
// one of its menu that does, it is chosen at once. So S opens "Settings...", then Q chooses
// "Quit". Captions count as the user reads them, in UTF-16; an entry without a caption (the
// spacer) is never selected.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace corvalo {

struct TypeAheadAnswer {
    enum class Action { Ignore, Select, Choose };
    Action action = Action::Ignore;
    size_t index = 0;
};

// `selected` is the entry selected now, if any: the search starts after it and wraps around.
TypeAheadAnswer TypeAhead(std::span<const std::wstring> captions, std::optional<size_t> selected,
                          wchar_t typed);

}  // namespace corvalo
