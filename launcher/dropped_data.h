#pragma once

// Reading the blocks that a drag source hands to the drop target: the shell's file list, its item
// identifier lists, the file descriptors and texts of browsers, and internet shortcut text.
//
// Every block comes from another program and nothing in it is trusted: each offset, count and
// length is checked against the bytes given, and no read goes past them. A damaged block yields
// less (or nothing) rather than a wrong name.
//
// The layouts are the platform's clipboard structures, read byte by byte in little-endian order, so
// these readers need no platform header and are tested natively as well.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

// The drop effects, with the platform's values, and the effect chosen for a key state.
constexpr uint32_t kDropEffectNone = 0;
constexpr uint32_t kDropEffectCopy = 1;
constexpr uint32_t kDropEffectMove = 2;
constexpr uint32_t kDropEffectLink = 4;

// The windows take copies and links only; a move would let the source delete what was dropped.
// Ctrl and Shift ask for a link, Ctrl alone for a copy, no key for a move; when the source does not
// allow what the keys ask for, the first allowed of copy, move and link is taken.
uint32_t ChooseDropEffect(bool control, bool shift, uint32_t sourceEffects);

// The names of a file list, in the form the block holds them.
struct DroppedNames {
    bool wide = false;
    std::vector<std::vector<uint16_t>> wideNames;  // UTF-16 code units, when wide
    std::vector<std::string> ansiNames;            // in the ANSI code page, otherwise

    size_t Count() const { return wide ? wideNames.size() : ansiNames.size(); }
    // Every name as wide text (8-bit names through the ANSI code page).
    std::vector<std::wstring> ToWide() const;
};

// The shell's file list (CF_HDROP): a 20-byte header whose first 32-bit value is the offset of the
// names and whose 32-bit value at offset 16 says they are UTF-16; then names, each ended by a NUL,
// the list ended by an empty name or by the end of the block.
// Nothing for a block of 20 bytes or less, or an offset inside the header or past the block. A
// last name that the end of the block cuts off before its NUL is left out: it may be the start of
// a longer name and so name another file. The odd last byte of a UTF-16 list is no character.
DroppedNames ParseDropFiles(std::span<const uint8_t> block);

// A name list without a header ("FileNameMap", "FileNameMapW"): the same names as above.
DroppedNames ParseNameList(std::span<const uint8_t> block, bool wide);

// Where one item identifier list lies in a block, its terminating zero included.
struct IdListRange {
    size_t offset = 0;
    size_t size = 0;
};

// The shell's item identifier lists ("Shell IDList Array"): a 32-bit count, then count + 1 32-bit
// offsets: the parent folder's list and each item's list, relative to that folder. A list is a
// chain of items, each starting with its 16-bit length (the length field included), ended by a zero
// length.
struct ShellIdLists {
    IdListRange parent;
    // One entry per item, in order; nothing for an item whose offset or chain does not lie inside
    // the block (it then has no file-system path, like a virtual item).
    std::vector<std::optional<IdListRange>> items;
};

// Nothing when the offsets do not fit in the block or the parent's list is damaged.
std::optional<ShellIdLists> ParseShellIdLists(std::span<const uint8_t> block);

// The first file descriptor's name in a file group descriptor ("FileGroupDescriptor" with 8-bit
// names, "FileGroupDescriptorW" with UTF-16 ones): a 32-bit count, then descriptors of 72 bytes
// of file details and a name field of 260 characters, so the first name starts 76 bytes into the
// block. The name ends at a NUL or at the end of its field. Nothing when the count is zero or the
// block ends before the first descriptor does: a source that hands over less than it describes
// is not believed about the name either.
constexpr size_t kDescriptorNameOffset = 76;
constexpr size_t kDescriptorNameLength = 260;
constexpr size_t kDescriptorGroupSize = kDescriptorNameOffset + kDescriptorNameLength;
constexpr size_t kDescriptorGroupSizeWide = kDescriptorNameOffset + 2 * kDescriptorNameLength;
std::optional<std::string> FirstDescriptorName(std::span<const uint8_t> block);
std::optional<std::vector<uint16_t>> FirstDescriptorNameWide(std::span<const uint8_t> block);

// True when a file name ends in the extension ".url", in any case.
bool HasUrlExtension(std::string_view name);
bool HasUrlExtension(std::wstring_view name);

// The title a shortcut's name gives: the name without its ".url" (a descriptor's name keeps any
// folder it names), and for a file path without its folder too.
std::string UrlNameTitle(std::string_view name);
std::wstring UrlFileTitle(std::wstring_view path);

// 8-bit text ("UniformResourceLocator", CF_TEXT, shortcut files) ends at its first NUL or at the
// end of the block: global memory blocks are often longer than the text they carry.
std::string_view TextUpToNul(std::span<const uint8_t> block);

// Plain text is taken for a URL only when it holds "://" after at least one character of a scheme.
bool LooksLikeUrl(std::string_view text);

// Internet shortcut text: lines end at CR LF, CR or LF. After the first line "[InternetShortcut]"
// (in any case) that is not the last line, the first line starting "URL=" (in any case) gives the
// rest of that line. Nothing when there is no such section, or another section ("[...") or the end
// of the text comes first.
std::optional<std::string> ParseInternetShortcut(std::string_view text);

// The most a stream or a shortcut file may hold to be read at a drop. A link's shortcut text is a
// few hundred bytes; a source that offers more (or an endless stream) is not read at all, so it
// cannot exhaust the program's memory nor yield a URL cut off at the limit.
constexpr size_t kMaxDroppedStreamBytes = 4 * 1024 * 1024;

}  // namespace corvalo
