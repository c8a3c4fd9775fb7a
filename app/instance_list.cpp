#include "app/instance_list.h"

#include <algorithm>
#include <cstring>

namespace corvalo {
namespace {

constexpr std::size_t kMaxCountOffset = 0;
constexpr std::size_t kCountOffset = 2;
constexpr std::size_t kEntriesOffset = 4;

static_assert(kEntriesOffset + kInstanceListCapacity * sizeof(uint32_t) == kInstanceListBytes);

}  // namespace

uint16_t InstanceList::MaxCount() const {
    uint16_t value = 0;
    std::memcpy(&value, block_.data() + kMaxCountOffset, sizeof(value));
    return value;
}

void InstanceList::SetMaxCountIfUnset(uint16_t maxCount) {
    if (MaxCount() == 0)
        std::memcpy(block_.data() + kMaxCountOffset, &maxCount, sizeof(maxCount));
}

uint16_t InstanceList::StoredCount() const {
    uint16_t value = 0;
    std::memcpy(&value, block_.data() + kCountOffset, sizeof(value));
    return value;
}

void InstanceList::SetStoredCount(uint16_t count) {
    std::memcpy(block_.data() + kCountOffset, &count, sizeof(count));
}

std::size_t InstanceList::Count() const {
    return std::min<std::size_t>(StoredCount(), kInstanceListCapacity);
}

uint32_t InstanceList::EntryAt(std::size_t position) const {
    uint32_t id = 0;
    std::memcpy(&id, block_.data() + kEntriesOffset + position * sizeof(id), sizeof(id));
    return id;
}

void InstanceList::SetEntryAt(std::size_t position, uint32_t id) {
    std::memcpy(block_.data() + kEntriesOffset + position * sizeof(id), &id, sizeof(id));
}

std::vector<uint32_t> InstanceList::Entries() const {
    const std::size_t count = Count();
    std::vector<uint32_t> entries;
    entries.reserve(count);
    for (std::size_t position = 0; position < count; ++position)
        entries.push_back(EntryAt(position));
    return entries;
}

std::optional<std::size_t> InstanceList::PositionOf(uint32_t id) const {
    const std::size_t count = Count();
    for (std::size_t position = 0; position < count; ++position) {
        if (EntryAt(position) == id)
            return position;
    }
    return std::nullopt;
}

bool InstanceList::Append(uint32_t id) {
    const uint16_t stored = StoredCount();
    const uint16_t maxCount = MaxCount();
    if (maxCount != 0 && stored >= maxCount)
        return false;
    if (stored >= kInstanceListCapacity)
        return false;
    SetEntryAt(stored, id);
    SetStoredCount(static_cast<uint16_t>(stored + 1));
    return true;
}

bool InstanceList::Remove(uint32_t id) {
    const std::size_t count = Count();
    std::size_t position = 0;
    while (position < count && EntryAt(position) != id)
        ++position;
    if (position == count)
        return false;
    for (; position + 1 < count; ++position)
        SetEntryAt(position, EntryAt(position + 1));
    SetEntryAt(count - 1, 0);
    // A count beyond the room is mended on the way: what is left is what could be read.
    SetStoredCount(static_cast<uint16_t>(count - 1));
    return true;
}

InstanceNames MakeInstanceNames(std::string_view upperCasedIdentity, uint32_t sessionId,
                                std::string_view userName, std::string_view domain) {
    InstanceNames names;
    names.identity = std::string(upperCasedIdentity);
    std::replace(names.identity.begin(), names.identity.end(), '\\', '_');
    const std::string& id = names.identity;
    // Each name on its own: one that fits stays as every earlier copy made it.
    const auto fitted = [&id](std::string_view prefix, const std::string& suffix,
                              std::size_t longest) {
        std::string name = std::string(prefix) + id + suffix;
        if (name.size() > longest)
            name = std::string(prefix) + ShortIdentity(id) + suffix;
        return name;
    };
    names.message = fitted("", "_Msg", kLongestMessageName);
    names.lock = id + "_Otx";
    names.lockEvent = fitted("Optex_Event_", "_Otx", kLongestObjectName);
    names.lockBlock = fitted("Optex_MMF_", "_Otx", kLongestObjectName);
    names.lockMutex = fitted("Optex_Mutex_", "_Otx", kLongestObjectName);
    names.allCopies = fitted("", "_All", kLongestObjectName);
    names.sessionCopies = fitted("", "_Session_" + std::to_string(sessionId), kLongestObjectName);
    names.userCopies = fitted("", "_User_" + std::string(userName) + "_" + std::string(domain),
                              kLongestObjectName);
    names.closing = fitted("", "_Closing", kLongestObjectName);
    return names;
}

std::string ShortIdentity(std::string_view identity) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (char c : identity) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3u;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "JCL~";
    for (int shift = 60; shift >= 0; shift -= 4)
        text += kDigits[(hash >> shift) & 0xF];
    return text;
}

std::string CommandLineHandOver(const std::vector<std::string>& arguments) {
    std::size_t size = 0;
    for (const std::string& argument : arguments)
        size += argument.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& argument : arguments) {
        text += argument;
        text += "\r\n";
    }
    return text;
}

}  // namespace corvalo
