#include "shell/version_block.h"

#include "base/text.h"

#include <algorithm>
#include <cstdio>

namespace corvalo {

const std::array<const char*, 12> kStandardVersionStrings = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild",
};

std::string TranslationKey(Translation translation) {
    char key[9];
    std::snprintf(key, sizeof(key), "%4.4x%4.4x", translation.language, translation.codePage);
    return key;
}

namespace {

constexpr size_t Align4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

uint16_t ReadU16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | (uint32_t(bytes[at + 1]) << 8) | (uint32_t(bytes[at + 2]) << 16) |
           (uint32_t(bytes[at + 3]) << 24);
}

char32_t FoldAscii(char32_t c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

}  // namespace

bool VersionBlock::Wide() const {
    // In the 32-bit layout the root's third word is its type, 0 or 1; in the 16-bit layout the
    // root's key starts there with a printable character.
    return bytes_.size() > 4 && bytes_[4] < 0x20;
}

std::optional<VersionBlock::Node> VersionBlock::ReadNode(size_t start, size_t limit) const {
    const bool wide = Wide();
    const size_t header = wide ? 6 : 4;
    limit = std::min(limit, bytes_.size());
    if (start > limit || limit - start < header)
        return std::nullopt;
    const size_t length = ReadU16(bytes_, start);
    // A node must at least hold its own header and fit inside its parent; one that claims more
    // is damaged, and so is everything it would contain.
    if (length < header || length > limit - start)
        return std::nullopt;
    Node node;
    node.start = start;
    node.end = start + length;
    const size_t valueLength = ReadU16(bytes_, start + 2);
    const bool text = wide && ReadU16(bytes_, start + 4) == 1;
    // The key runs to its terminating zero, which must lie inside the node.
    size_t at = start + header;
    const size_t unit = wide ? 2 : 1;
    for (;;) {
        if (node.end - at < unit)
            return std::nullopt;
        const bool zero = wide ? ReadU16(bytes_, at) == 0 : bytes_[at] == 0;
        at += unit;
        if (zero)
            break;
    }
    node.keyEnd = at - unit;
    // Texts of the 32-bit layout count their length in UTF-16 units, everything else in bytes.
    const size_t valueBytes = text ? valueLength * 2 : valueLength;
    node.valueStart = std::min(Align4(at), node.end);
    node.valueEnd = std::min(node.valueStart + valueBytes, node.end);
    node.childrenStart = std::min(Align4(node.valueStart + valueBytes), node.end);
    return node;
}

bool VersionBlock::KeyIs(const Node& node, std::string_view key) const {
    const bool wide = Wide();
    const size_t keyStart = node.start + (wide ? 6 : 4);
    if (wide) {
        const std::vector<uint16_t> units = WideToUtf16(AnsiToWide(key));
        if ((node.keyEnd - keyStart) / 2 != units.size())
            return false;
        for (size_t i = 0; i < units.size(); ++i) {
            if (FoldAscii(ReadU16(bytes_, keyStart + 2 * i)) != FoldAscii(units[i]))
                return false;
        }
        return true;
    }
    if (node.keyEnd - keyStart != key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (FoldAscii(bytes_[keyStart + i]) != FoldAscii(static_cast<unsigned char>(key[i])))
            return false;
    }
    return true;
}

std::optional<VersionBlock::Node> VersionBlock::Find(std::string_view path) const {
    std::optional<Node> node = ReadNode(0, bytes_.size());
    while (node) {
        // Empty parts of the path ("\\", a leading or trailing "\") are skipped.
        while (!path.empty() && path.front() == '\\')
            path.remove_prefix(1);
        if (path.empty())
            return node;
        const size_t slash = path.find('\\');
        const std::string_view key = path.substr(0, slash);
        path.remove_prefix(key.size());

        const Node parent = *node;
        node.reset();
        size_t at = parent.childrenStart;
        // Each child is at least a header long, so the walk always moves on and ends.
        while (std::optional<Node> child = ReadNode(at, parent.end)) {
            if (KeyIs(*child, key)) {
                node = child;
                break;
            }
            at = Align4(child->end);
        }
    }
    return std::nullopt;
}

std::optional<std::span<const uint8_t>> VersionBlock::Value(std::string_view path) const {
    const std::optional<Node> node = Find(path);
    if (!node)
        return std::nullopt;
    return bytes_.subspan(node->valueStart, node->valueEnd - node->valueStart);
}

std::optional<std::string> VersionBlock::Text(std::string_view path) const {
    const std::optional<Node> node = Find(path);
    if (!node)
        return std::nullopt;
    // The text runs to its terminating zero, which a sloppy writer may have left out of the
    // declared length; the node's end is the hard limit.
    if (Wide()) {
        std::vector<uint16_t> units;
        for (size_t at = node->valueStart; node->end - at >= 2; at += 2) {
            const uint16_t unit = ReadU16(bytes_, at);
            if (unit == 0)
                break;
            units.push_back(unit);
        }
        return WideToAnsi(Utf16ToWide(units));
    }
    std::string text;
    for (size_t at = node->valueStart; at < node->end && bytes_[at] != 0; ++at)
        text += static_cast<char>(bytes_[at]);
    return text;
}

std::optional<FixedFileInfo> VersionBlock::FixedInfo() const {
    const std::optional<std::span<const uint8_t>> value = Value("\\");
    if (!value || value->size() < kFixedFileInfoSize)
        return std::nullopt;
    uint32_t fields[13];
    for (size_t i = 0; i < 13; ++i)
        fields[i] = ReadU32(*value, 4 * i);
    return FixedFileInfo{fields[0],  fields[1],  fields[2], fields[3], fields[4],
                         fields[5],  fields[6],  fields[7], fields[8], fields[9],
                         fields[10], fields[11], fields[12]};
}

std::vector<Translation> VersionBlock::Translations() const {
    std::vector<Translation> table;
    const std::optional<std::span<const uint8_t>> value = Value("\\VarFileInfo\\Translation");
    if (!value)
        return table;
    for (size_t at = 0; value->size() - at >= 4; at += 4)
        table.push_back(Translation{ReadU16(*value, at), ReadU16(*value, at + 2)});
    return table;
}

}  // namespace corvalo
