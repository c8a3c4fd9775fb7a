// The shared list block of the running copies, whatever another process wrote into it: the input's
// first bytes are the block, the rest a series of operations on it. No operation touches anything
// outside the block (it lies alone on the heap, exactly its size, so AddressSanitizer sees every
// stray access), and the list keeps its promises.

#include "app/instance_list.h"
#include "fuzz/fuzz_checks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

using namespace corvalo;
using corvalo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto block = std::make_unique<uint8_t[]>(kInstanceListBytes);
    const size_t blockBytes = std::min(size, kInstanceListBytes);
    std::memset(block.get(), 0, kInstanceListBytes);
    std::memcpy(block.get(), data, blockBytes);
    InstanceList list(std::span<uint8_t, kInstanceListBytes>(block.get(), kInstanceListBytes));

    // Each operation: one byte naming it, four bytes of process identifier.
    for (size_t at = blockBytes; at + 5 <= size; at += 5) {
        uint32_t id = 0;
        std::memcpy(&id, data + at + 1, sizeof(id));
        const std::vector<uint32_t> before = list.Entries();
        Check(before.size() == list.Count() && list.Count() <= kInstanceListCapacity &&
                  list.Count() <= list.StoredCount(),
              "the readable entries are the stored count within the room");
        const auto found = std::find(before.begin(), before.end(), id);
        const std::optional<size_t> position = list.PositionOf(id);
        Check(position ? found != before.end() && *position == size_t(found - before.begin())
                       : found == before.end(),
              "an identifier is found at its first entry");

        switch (data[at] % 4) {
            case 0: {
                const uint16_t stored = list.StoredCount();
                const uint16_t maxCount = list.MaxCount();
                const bool room =
                    (maxCount == 0 || stored < maxCount) && stored < kInstanceListCapacity;
                Check(list.Append(id) == room,
                      "an identifier is appended exactly when there is room");
                if (room) {
                    std::vector<uint32_t> expected = before;
                    expected.push_back(id);
                    Check(list.Entries() == expected, "an appended identifier comes last");
                } else {
                    Check(list.Entries() == before, "a refused append changes nothing");
                }
                break;
            }
            case 1: {
                Check(list.Remove(id) == position.has_value(),
                      "an identifier is removed exactly when it is listed");
                std::vector<uint32_t> expected = before;
                if (position)
                    expected.erase(expected.begin() + std::ptrdiff_t(*position));
                Check(list.Entries() == expected, "removing takes out only the first such entry");
                break;
            }
            case 2: {
                const uint16_t maxCount = list.MaxCount();
                list.SetMaxCountIfUnset(static_cast<uint16_t>(id));
                Check(list.MaxCount() == (maxCount == 0 ? static_cast<uint16_t>(id) : maxCount),
                      "the maximum is set only once");
                break;
            }
            default:
                break;  // reads only, as above
        }
    }
    return 0;
}
