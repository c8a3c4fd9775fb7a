#pragma once

// The launcher list: the user's items, one line "caption=target" each, in the order the user sees
// them in the menu. Lookups by caption and the sort go through one comparison, passed in, which is
// the user's locale without regard to case in the program.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

// Negative, zero or positive as a sorts before, equal to or after b.
using TextComparison = std::function<int(std::wstring_view a, std::wstring_view b)>;

class LauncherList {
  public:
    explicit LauncherList(TextComparison compare);

    int ItemCount() const { return static_cast<int>(lines_.size()); }
    // Throws "List index out of bounds (%d)" outside 0 .. ItemCount() - 1.
    std::wstring ItemCaption(int index) const;
    // Empty for a negative index; throws for one past the end.
    std::wstring ItemTarget(int index) const;
    // The first line whose caption compares equal; lines without "=" never match. -1 when none.
    int FindItem(std::wstring_view caption) const;
    std::wstring TargetOf(std::wstring_view caption) const;
    // For every line, what FindItem finds for its caption: the index of the first line whose
    // caption compares equal (the line's own index when none before it does); -1 for a line
    // without "=". One sort of the captions instead of a search per line.
    std::vector<int> FirstLinesOfCaptions() const;
    void AppendItem(std::wstring_view caption, std::wstring_view target);
    // Throws "List index out of bounds (%d)" outside 0 .. ItemCount() - 1.
    void DeleteItem(int index);
    // Ascending order of whole lines.
    void SortItems();

    const std::vector<std::wstring>& Lines() const { return lines_; }
    void SetLines(std::vector<std::wstring> lines) { lines_ = std::move(lines); }
    void Clear() { lines_.clear(); }

  private:
    void CheckIndex(int index) const;

    TextComparison compare_;
    std::vector<std::wstring> lines_;
};

// The comparison of the native build and the tests: case folded character by character.
int CompareIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace corvalo
