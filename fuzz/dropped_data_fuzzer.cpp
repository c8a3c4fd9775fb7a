// The readers of the blocks a drag source hands over: file lists, name maps, item identifier lists
// and file descriptors. Each reads only inside the block, and what it gives lies inside it.

#include "fuzz/fuzz_checks.h"
#include "launcher/dropped_data.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace corvalo;
using corvalo::fuzz::Check;

namespace {

void CheckNames(const DroppedNames& names, size_t blockSize) {
    size_t bytes = 0;
    for (const auto& name : names.ansiNames) {
        Check(!name.empty() && name.find('\0') == std::string::npos,
              "an 8-bit name is neither empty nor holds a zero");
        bytes += name.size() + 1;
    }
    for (const auto& name : names.wideNames) {
        Check(!name.empty() && std::find(name.begin(), name.end(), 0) == name.end(),
              "a wide name is neither empty nor holds a zero");
        bytes += 2 * (name.size() + 1);
    }
    Check(bytes <= blockSize, "the names and their zeros fit in the block");
    Check(names.wide ? names.ansiNames.empty() : names.wideNames.empty(),
          "a list holds names of one form");
    Check(names.ToWide().size() == names.Count(), "every name converts");
}

void CheckRange(const IdListRange& range, size_t blockSize) {
    Check(range.size >= 2 && range.offset <= blockSize && range.size <= blockSize - range.offset,
          "an identifier list and its terminating zero lie inside the block");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> block(data, size);

    CheckNames(ParseDropFiles(block), size);
    CheckNames(ParseNameList(block, false), size);
    CheckNames(ParseNameList(block, true), size);

    if (const std::optional<ShellIdLists> lists = ParseShellIdLists(block)) {
        CheckRange(lists->parent, size);
        Check(lists->items.size() <= size / 4, "every item has its offset in the block");
        for (const std::optional<IdListRange>& item : lists->items) {
            if (item)
                CheckRange(*item, size);
        }
    }

    if (const std::optional<std::string> name = FirstDescriptorName(block)) {
        Check(size >= kDescriptorGroupSize, "a name is taken only from a whole descriptor");
        Check(name->size() <= kDescriptorNameLength && name->find('\0') == std::string::npos &&
                  kDescriptorNameOffset + name->size() <= size,
              "a descriptor's 8-bit name lies in its field");
        UrlNameTitle(*name);
    }
    if (const std::optional<std::vector<uint16_t>> name = FirstDescriptorNameWide(block)) {
        Check(size >= kDescriptorGroupSizeWide,
              "a wide name is taken only from a whole descriptor");
        Check(name->size() <= kDescriptorNameLength &&
                  std::find(name->begin(), name->end(), 0) == name->end() &&
                  kDescriptorNameOffset + 2 * name->size() <= size,
              "a descriptor's wide name lies in its field");
    }
    return 0;
}
