#include "launcher/dropped_data.h"

#include "base/text.h"

namespace corvalo {
namespace {

constexpr size_t kDropFilesHeaderSize = 20;
constexpr size_t kDropFilesWideFlagOffset = 16;

uint32_t ReadUint32(std::span<const uint8_t> block, size_t offset) {
    return static_cast<uint32_t>(block[offset]) | static_cast<uint32_t>(block[offset + 1]) << 8 |
           static_cast<uint32_t>(block[offset + 2]) << 16 |
           static_cast<uint32_t>(block[offset + 3]) << 24;
}

uint16_t ReadUint16(std::span<const uint8_t> block, size_t offset) {
    return static_cast<uint16_t>(block[offset] | block[offset + 1] << 8);
}

// Names ended by a NUL each, up to an empty name; a name the block cuts off is left out.
std::vector<std::string> AnsiNames(std::span<const uint8_t> list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = start;
        while (end < list.size() && list[end] != 0)
            ++end;
        if (end == list.size() || end == start)
            break;
        names.emplace_back(reinterpret_cast<const char*>(list.data() + start), end - start);
        start = end + 1;
    }
    return names;
}

std::vector<std::vector<uint16_t>> WideNames(std::span<const uint8_t> list) {
    std::vector<std::vector<uint16_t>> names;
    const size_t units = list.size() / 2;
    size_t start = 0;
    while (start < units) {
        std::vector<uint16_t> name;
        size_t end = start;
        for (; end < units; ++end) {
            const uint16_t unit = ReadUint16(list, end * 2);
            if (unit == 0)
                break;
            name.push_back(unit);
        }
        if (end == units || name.empty())
            break;
        names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

bool EndsWithUrl(char32_t dot, char32_t u, char32_t r, char32_t l) {
    auto lower = [](char32_t c) { return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c; };
    return dot == U'.' && lower(u) == U'u' && lower(r) == U'r' && lower(l) == U'l';
}

// Compares ASCII letters without case; the keywords of shortcut text are plain ASCII.
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// The length of an item identifier list starting at offset, its zero terminator included; nothing
// when a link of the chain is shorter than its own length field or runs past the block.
std::optional<size_t> IdListSize(std::span<const uint8_t> block, size_t offset) {
    size_t position = offset;
    for (;;) {
        if (position > block.size() || block.size() - position < 2)
            return std::nullopt;
        const uint16_t length = ReadUint16(block, position);
        if (length == 0)
            return position + 2 - offset;
        if (length < 2 || length > block.size() - position)
            return std::nullopt;
        position += length;
    }
}

std::optional<IdListRange> IdListAt(std::span<const uint8_t> block, size_t offset) {
    const std::optional<size_t> size = IdListSize(block, offset);
    if (!size)
        return std::nullopt;
    return IdListRange{offset, *size};
}

}  // namespace

uint32_t ChooseDropEffect(bool control, bool shift, uint32_t sourceEffects) {
    const uint32_t allowed = sourceEffects & (kDropEffectCopy | kDropEffectLink);
    uint32_t wanted = kDropEffectMove;
    if (control && shift)
        wanted = kDropEffectLink;
    else if (control)
        wanted = kDropEffectCopy;
    if (allowed & wanted)
        return wanted;
    for (uint32_t effect : {kDropEffectCopy, kDropEffectMove, kDropEffectLink}) {
        if (allowed & effect)
            return effect;
    }
    return kDropEffectNone;
}

std::vector<std::wstring> DroppedNames::ToWide() const {
    std::vector<std::wstring> out;
    if (wide) {
        for (const auto& name : wideNames)
            out.push_back(Utf16ToWide(name));
    } else {
        for (const auto& name : ansiNames)
            out.push_back(AnsiToWide(name));
    }
    return out;
}

DroppedNames ParseNameList(std::span<const uint8_t> block, bool wide) {
    DroppedNames names;
    names.wide = wide;
    if (wide)
        names.wideNames = WideNames(block);
    else
        names.ansiNames = AnsiNames(block);
    return names;
}

DroppedNames ParseDropFiles(std::span<const uint8_t> block) {
    if (block.size() <= kDropFilesHeaderSize)
        return {};
    const uint32_t offset = ReadUint32(block, 0);
    const bool wide = ReadUint32(block, kDropFilesWideFlagOffset) != 0;
    if (offset < kDropFilesHeaderSize || offset >= block.size()) {
        DroppedNames none;
        none.wide = wide;
        return none;
    }
    return ParseNameList(block.subspan(offset), wide);
}

std::optional<ShellIdLists> ParseShellIdLists(std::span<const uint8_t> block) {
    if (block.size() < 8)
        return std::nullopt;
    const uint32_t count = ReadUint32(block, 0);
    // The count and the parent's offset come first, then one offset per item.
    if (count > (block.size() - 8) / 4)
        return std::nullopt;
    const std::optional<IdListRange> parent = IdListAt(block, ReadUint32(block, 4));
    if (!parent)
        return std::nullopt;
    ShellIdLists lists;
    lists.parent = *parent;
    lists.items.reserve(count);
    for (size_t i = 0; i < count; ++i)
        lists.items.push_back(IdListAt(block, ReadUint32(block, 8 + 4 * i)));
    return lists;
}

std::optional<std::string> FirstDescriptorName(std::span<const uint8_t> block) {
    if (block.size() < kDescriptorGroupSize || ReadUint32(block, 0) == 0)
        return std::nullopt;
    const std::span<const uint8_t> field =
        block.subspan(kDescriptorNameOffset, kDescriptorNameLength);
    std::string name;
    for (size_t i = 0; i < field.size() && field[i] != 0; ++i)
        name.push_back(static_cast<char>(field[i]));
    return name;
}

std::optional<std::vector<uint16_t>> FirstDescriptorNameWide(std::span<const uint8_t> block) {
    if (block.size() < kDescriptorGroupSizeWide || ReadUint32(block, 0) == 0)
        return std::nullopt;
    const std::span<const uint8_t> field =
        block.subspan(kDescriptorNameOffset, 2 * kDescriptorNameLength);
    std::vector<uint16_t> name;
    for (size_t i = 0; i + 1 < field.size(); i += 2) {
        const uint16_t unit = ReadUint16(field, i);
        if (unit == 0)
            break;
        name.push_back(unit);
    }
    return name;
}

bool HasUrlExtension(std::string_view name) {
    const size_t n = name.size();
    return n >= 4 && EndsWithUrl(static_cast<unsigned char>(name[n - 4]),
                                 static_cast<unsigned char>(name[n - 3]),
                                 static_cast<unsigned char>(name[n - 2]),
                                 static_cast<unsigned char>(name[n - 1]));
}

bool HasUrlExtension(std::wstring_view name) {
    const size_t n = name.size();
    return n >= 4 &&
           EndsWithUrl(static_cast<char32_t>(name[n - 4]), static_cast<char32_t>(name[n - 3]),
                       static_cast<char32_t>(name[n - 2]), static_cast<char32_t>(name[n - 1]));
}

std::string UrlNameTitle(std::string_view name) {
    if (HasUrlExtension(name))
        name.remove_suffix(4);
    return std::string(name);
}

std::wstring UrlFileTitle(std::wstring_view path) {
    const size_t folder = path.find_last_of(L"\\/:");
    if (folder != std::wstring_view::npos)
        path.remove_prefix(folder + 1);
    if (HasUrlExtension(path))
        path.remove_suffix(4);
    return std::wstring(path);
}

std::string_view TextUpToNul(std::span<const uint8_t> block) {
    const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
    return text.substr(0, text.find('\0'));
}

bool LooksLikeUrl(std::string_view text) {
    return text.find("://", 1) != std::string_view::npos;
}

std::optional<std::string> ParseInternetShortcut(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    size_t section = 0;
    for (; section < lines.size(); ++section) {
        if (lines[section].size() == 18 && StartsWithNoCase(lines[section], "[InternetShortcut]"))
            break;
    }
    // The section heading must have a line after it.
    if (section + 1 >= lines.size())
        return std::nullopt;
    for (size_t i = section + 1; i < lines.size(); ++i) {
        if (StartsWithNoCase(lines[i], "URL="))
            return std::string(lines[i].substr(4));
        if (lines[i].starts_with('['))
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace corvalo
