#pragma once

// Reading a file's version-information block, as the platform's version functions hand it out:
// a tree of nodes, each a length, a value length, a key and a value, padded to 4 bytes, with its
// children after the value. Both layouts are read: the 32-bit one of Win32 files (UTF-16 keys and
// texts) and the 16-bit one of old files (8-bit keys and texts).
//
// The block comes from a file, so nothing in it is trusted: every node must fit inside its parent
// and the block, a node that claims more is treated as absent, and no read goes past the bytes
// given. A damaged block yields nothing rather than a wrong text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

// The fixed file information of the block's root: the 52-byte VS_FIXEDFILEINFO record.
struct FixedFileInfo {
    uint32_t signature = 0;  // 0xFEEF04BD in a sound block
    uint32_t structVersion = 0;
    uint32_t fileVersionMs = 0;
    uint32_t fileVersionLs = 0;
    uint32_t productVersionMs = 0;
    uint32_t productVersionLs = 0;
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOs = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint32_t fileDateMs = 0;
    uint32_t fileDateLs = 0;
    friend bool operator==(const FixedFileInfo&, const FixedFileInfo&) = default;
};
constexpr size_t kFixedFileInfoSize = 52;

// One entry of the translation table: a language identifier and a code page.
struct Translation {
    uint16_t language = 0;
    uint16_t codePage = 0;
    friend bool operator==(const Translation&, const Translation&) = default;
};

// The twelve predefined string names of a version resource, in alphabetical order, so that an
// index names one of them; "ProductName" is the one the program reads.
extern const std::array<const char*, 12> kStandardVersionStrings;
constexpr int kProductNameIndex = 9;

// The name of a translation's string table: language and code page as four lower-case
// hexadecimal digits each ("040904b0").
std::string TranslationKey(Translation translation);

class VersionBlock {
  public:
    // Reads the bytes in place: they must outlive the block. Their start counts as 4-byte aligned,
    // as the version functions' buffers are.
    explicit VersionBlock(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    // The root's value when it holds a whole fixed-file-information record.
    std::optional<FixedFileInfo> FixedInfo() const;

    // "\VarFileInfo\Translation": as many whole 4-byte entries as its value holds; empty when the
    // value is missing.
    std::vector<Translation> Translations() const;

    // The text at a path such as "\StringFileInfo\040904b0\ProductName", converted to the ANSI code
    // page, up to its terminating zero; nothing when the path leads nowhere. Keys compare without
    // regard to the case of ASCII letters, as the platform's lookup does.
    std::optional<std::string> Text(std::string_view path) const;

    // The raw bytes of the value at a path ("\" is the root); nothing when the path leads nowhere.
    std::optional<std::span<const uint8_t>> Value(std::string_view path) const;

  private:
    struct Node {
        size_t start = 0;
        size_t end = 0;         // start + the node's length, never past its parent
        size_t keyEnd = 0;      // where the key's terminating zero starts
        size_t valueStart = 0;  // after the key and its padding, at most end
        size_t valueEnd = 0;    // the value's declared length, cut at end
        size_t childrenStart = 0;
    };
    bool Wide() const;
    std::optional<Node> ReadNode(size_t start, size_t limit) const;
    bool KeyIs(const Node& node, std::string_view key) const;
    std::optional<Node> Find(std::string_view path) const;

    std::span<const uint8_t> bytes_;
};

}  // namespace corvalo
