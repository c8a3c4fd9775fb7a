#pragma once

// The special folders the icon lookup recognises by path, and the map from their paths to their
// identifiers. Kept apart from the shell calls that fill it, so its ordering and search are tested
// on their own.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

struct SpecialFolder {
    const char* name;  // the identifier's name in the platform headers, for diagnostics and tests
    int csidl;
};

// Every special folder the map is filled from, in the order they are added: alphabetical by name.
// The order matters: when two identifiers share a path, the one added first keeps it (the
// desktop's path stays with CSIDL_DESKTOP, not CSIDL_DESKTOPDIRECTORY).
extern const std::array<SpecialFolder, 58> kSpecialFolders;

// Folder paths (in the ANSI code page) to their special-folder identifiers. Paths compare without
// regard to case; the entries are kept sorted, so a lookup halves the range at each step.
class SpecialFolderMap {
  public:
    // Adds the path with its identifier, without a trailing backslash ("C:\" is kept as "C:").
    // A path already present (in any case) keeps its first identifier; returns false then, and for
    // an empty path.
    bool Add(std::string_view ansiPath, int csidl);

    // The identifier of the path, with one trailing backslash of the path ignored.
    std::optional<int> Find(std::string_view ansiPath) const;

    size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

  private:
    struct Entry {
        std::wstring key;  // the path as characters, trailing backslash removed, case folded
        int csidl;
    };
    static std::wstring KeyOf(std::string_view ansiPath);
    // The first entry whose key is not less than `key`.
    std::vector<Entry>::const_iterator LowerBound(const std::wstring& key) const;

    std::vector<Entry> entries_;
};

}  // namespace corvalo
