#pragma once

// What a letter typed in an open menu does. The entries are drawn by the program, so the platform
// leaves the letters to it; they work as in a plain menu with mnemonics: the next entry whose
// caption starts with the letter (without regard to case) is selected, and when it is the only
// one of its menu that does, it is chosen at once. So S opens "Settings...", then Q chooses
// "Quit". Captions count as the user reads them, in UTF-16; an entry without a caption (the
// spacer) is never selected.
//
// Letters typed within a second of each other form a prefix, as in a file list: "wo" selects
// "Word" rather than the second entry with W. The same letter again cycles through the entries it
// starts; a prefix only one entry has chooses it; a letter that no entry's caption continues the
// prefix with begins a prefix of its own.

#include <cstddef>
#include <cstdint>
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

// The letters typed so far into one open menu.
class TypeAheadPrefix {
  public:
    // After this long without a letter, the next one begins a new prefix.
    static constexpr uint32_t kPauseMilliseconds = 1000;

    // A letter typed at `time` (milliseconds, a clock that may wrap) into the menu `menu` (any
    // value naming it: letters typed into another menu begin a new prefix).
    TypeAheadAnswer Type(std::span<const std::wstring> captions, std::optional<size_t> selected,
                         wchar_t typed, uint32_t time, const void* menu);
    void Clear() { prefix_.clear(); }
    const std::wstring& Prefix() const { return prefix_; }

  private:
    std::wstring prefix_;  // folded to lower case
    uint32_t lastTime_ = 0;
    const void* menu_ = nullptr;
};

}  // namespace corvalo
