#pragma once

// The portable side of the single-instance guard: the shared list blocks in which the running
// copies of one executable record their process identifiers, the names of the objects the copies
// share, and the text a second start hands over to the running copy.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

// One list block: a 16-bit maximum count (0 means no limit), a 16-bit count, then room for 257
// 32-bit process identifiers in registration order, all in the machine's byte order.
inline constexpr std::size_t kInstanceListBytes = 1032;
inline constexpr std::size_t kInstanceListCapacity = 257;
// The all-copies list gets this maximum at its first registration; the other lists stay unlimited.
inline constexpr uint16_t kAllCopiesMaxCount = 65535;

// Works on a block that other processes map too. Copies of this program change it only while they
// hold the instance lock, but a faulty or hostile process of the same session can write anything
// into it, at any time. So every operation reads a field once, checks it against the room of the
// block and then works with that checked value: no operation ever reads or writes outside the
// block, whatever the count field says.
class InstanceList {
  public:
    explicit InstanceList(std::span<uint8_t, kInstanceListBytes> block) : block_(block) {}

    uint16_t MaxCount() const;
    // Sets the maximum when the block has none yet (a fresh block is all zeros).
    void SetMaxCountIfUnset(uint16_t maxCount);

    // The count field as stored, which may be anything.
    uint16_t StoredCount() const;
    // The number of entries that can be read: the stored count, but never more than the room.
    std::size_t Count() const;
    std::vector<uint32_t> Entries() const;
    // Position of the first entry with this identifier (0 for the first entry).
    std::optional<std::size_t> PositionOf(uint32_t id) const;

    // Appends when the list has room: its maximum is 0 or the count is below the maximum, and
    // the block has space for one more entry. False when nothing was written.
    bool Append(uint32_t id);
    // Removes the first entry with this identifier; the later entries move down one place.
    // False when the identifier is not in the list.
    bool Remove(uint32_t id);

  private:
    uint32_t EntryAt(std::size_t position) const;
    void SetEntryAt(std::size_t position, uint32_t id);
    void SetStoredCount(uint16_t count);

    std::span<uint8_t, kInstanceListBytes> block_;
};

// The longest names the platform takes through its 8-bit functions, counted in bytes (a code page
// never makes more UTF-16 units of a text than it has bytes): a kernel object's name (an event, a
// mutex, a shared block) must fit in MAX_PATH with its terminating zero, and a registered message
// is named by an atom of at most 255 characters.
inline constexpr std::size_t kLongestObjectName = 259;
inline constexpr std::size_t kLongestMessageName = 255;

// The names of everything the copies of one executable share. They all start with the identity,
// "JCL" and the executable's upper-cased 8-bit path with every "\" made "_"; two paths that differ
// in anything but case (another folder, another file name, an 8.3 short form) name other objects.
// A name that the identity would make longer than the platform takes has the identity's short
// form (below) in its place; every other name is made from the identity itself.
struct InstanceNames {
    std::string identity;
    std::string message;        // registered window message
    std::string lock;           // the instance lock's own name, from the identity
    std::string lockEvent;      // its event
    std::string lockBlock;      // its shared block
    std::string lockMutex;      // its mutex, which only this program's copies take
    std::string allCopies;      // list of every copy: the one the guard consults
    std::string sessionCopies;  // list of the copies of one log-on
    std::string userCopies;     // list of the copies of one user account
    std::string closing;        // a mutex a copy holds from the start of its close to its end
};

// `upperCasedIdentity` is "Jcl" followed by the executable's 8-bit path, already upper-cased by
// the system's rules for its code page. The "\" are replaced byte by byte: the names only need to
// come out the same in every copy.
InstanceNames MakeInstanceNames(std::string_view upperCasedIdentity, uint32_t sessionId,
                                std::string_view userName, std::string_view domain);

// The identity's short form, for names it would make too long: "JCL~" and the 64-bit FNV-1a hash
// of the identity's bytes in 16 upper-case hex digits. Every copy of an executable builds the same
// identity, so every copy comes to the same short form; the "~" keeps it apart from any identity
// made from a full path.
std::string ShortIdentity(std::string_view identity);

// The text of the command-line hand-over: every argument in 8-bit text followed by CR LF, without
// a terminating zero. No argument is cut, whatever its length.
std::string CommandLineHandOver(const std::vector<std::string>& arguments);

}  // namespace corvalo
