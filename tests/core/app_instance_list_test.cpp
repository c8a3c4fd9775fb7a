#include "app/instance_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace corvalo {
namespace {

// A block on the heap with exactly the block's size, so AddressSanitizer reports any access past
// its end, plus a fenced copy for checks that nothing around the block changes.
class ListBlock {
  public:
    ListBlock() : bytes_(std::make_unique<uint8_t[]>(kInstanceListBytes)) {
        std::memset(bytes_.get(), 0, kInstanceListBytes);
    }
    std::span<uint8_t, kInstanceListBytes> Span() {
        return std::span<uint8_t, kInstanceListBytes>(bytes_.get(), kInstanceListBytes);
    }
    InstanceList List() { return InstanceList(Span()); }
    uint8_t* Data() { return bytes_.get(); }

    // The block's fields as another process sees them: little-endian, as on Windows.
    void SetField16(std::size_t offset, uint16_t value) {
        bytes_[offset] = static_cast<uint8_t>(value);
        bytes_[offset + 1] = static_cast<uint8_t>(value >> 8);
    }
    uint16_t Field16(std::size_t offset) const {
        return static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    uint32_t Slot(std::size_t position) const {
        const uint8_t* p = &bytes_[4 + position * 4];
        return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
               (static_cast<uint32_t>(p[3]) << 24);
    }
    void SetSlot(std::size_t position, uint32_t id) {
        uint8_t* p = &bytes_[4 + position * 4];
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<uint8_t>(id >> (8 * i));
    }

  private:
    std::unique_ptr<uint8_t[]> bytes_;
};

constexpr std::size_t kMaxField = 0;
constexpr std::size_t kCountField = 2;

TEST(InstanceList, AFreshBlockIsEmptyAndTakesItsMaximumOnce) {
    ListBlock block;
    InstanceList list = block.List();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.MaxCount(), 0);
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_FALSE(list.PositionOf(0).has_value());

    list.SetMaxCountIfUnset(kAllCopiesMaxCount);
    EXPECT_EQ(block.Field16(kMaxField), 65535);
    // A later copy finds the maximum set and leaves it.
    list.SetMaxCountIfUnset(3);
    EXPECT_EQ(list.MaxCount(), 65535);
}

TEST(InstanceList, AppendsInRegistrationOrderInTheBlockLayout) {
    ListBlock block;
    InstanceList list = block.List();
    list.SetMaxCountIfUnset(kAllCopiesMaxCount);
    EXPECT_TRUE(list.Append(0x1234));
    EXPECT_TRUE(list.Append(0xABCDEF01));
    EXPECT_TRUE(list.Append(8));

    EXPECT_EQ(block.Field16(kCountField), 3);
    EXPECT_EQ(block.Slot(0), 0x1234u);
    EXPECT_EQ(block.Slot(1), 0xABCDEF01u);
    EXPECT_EQ(block.Slot(2), 8u);
    EXPECT_EQ(block.Slot(3), 0u);
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{0x1234, 0xABCDEF01, 8}));
    EXPECT_EQ(list.PositionOf(0x1234), 0u);
    EXPECT_EQ(list.PositionOf(8), 2u);
    EXPECT_FALSE(list.PositionOf(9).has_value());
}

TEST(InstanceList, RemovingMovesTheLaterEntriesDown) {
    ListBlock block;
    InstanceList list = block.List();
    for (uint32_t id : {10u, 20u, 30u, 40u})
        ASSERT_TRUE(list.Append(id));

    EXPECT_TRUE(list.Remove(20));
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{10, 30, 40}));
    EXPECT_EQ(block.Field16(kCountField), 3);
    // The freed slot at the end holds no stale identifier.
    EXPECT_EQ(block.Slot(3), 0u);

    EXPECT_TRUE(list.Remove(40));  // the last one
    EXPECT_TRUE(list.Remove(10));  // the first one
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{30}));
    EXPECT_EQ(list.PositionOf(30), 0u);
    EXPECT_TRUE(list.Remove(30));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(InstanceList, RemovingAnAbsentIdentifierChangesNothing) {
    ListBlock block;
    InstanceList list = block.List();
    ASSERT_TRUE(list.Append(10));
    ASSERT_TRUE(list.Append(20));
    std::vector<uint8_t> before(block.Data(), block.Data() + kInstanceListBytes);
    EXPECT_FALSE(list.Remove(30));
    EXPECT_EQ(std::vector<uint8_t>(block.Data(), block.Data() + kInstanceListBytes), before);

    ListBlock empty;
    EXPECT_FALSE(empty.List().Remove(0));
    EXPECT_EQ(empty.Field16(kCountField), 0);
}

TEST(InstanceList, RemovesOnlyTheFirstOfTwoEqualIdentifiers) {
    // A process identifier can come back after its process has died without leaving the list.
    ListBlock block;
    InstanceList list = block.List();
    for (uint32_t id : {7u, 8u, 7u})
        ASSERT_TRUE(list.Append(id));
    EXPECT_TRUE(list.Remove(7));
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{8, 7}));
}

TEST(InstanceList, AFullBlockTakesNoEntryPastItsEnd) {
    ListBlock block;
    InstanceList list = block.List();
    list.SetMaxCountIfUnset(kAllCopiesMaxCount);
    for (uint32_t id = 1; id <= kInstanceListCapacity; ++id)
        ASSERT_TRUE(list.Append(id * 4)) << id;
    EXPECT_EQ(list.Count(), 257u);
    EXPECT_EQ(block.Slot(256), 257u * 4);

    std::vector<uint8_t> before(block.Data(), block.Data() + kInstanceListBytes);
    EXPECT_FALSE(list.Append(9999));
    EXPECT_EQ(std::vector<uint8_t>(block.Data(), block.Data() + kInstanceListBytes), before);
    EXPECT_FALSE(list.PositionOf(9999).has_value());

    // Once one copy leaves, the next one finds room again.
    EXPECT_TRUE(list.Remove(4));
    EXPECT_TRUE(list.Append(9999));
    EXPECT_EQ(list.PositionOf(9999), 256u);
}

TEST(InstanceList, TheMaximumLimitsAppendsButNotReads) {
    ListBlock block;
    InstanceList list = block.List();
    list.SetMaxCountIfUnset(2);
    EXPECT_TRUE(list.Append(1));
    EXPECT_TRUE(list.Append(2));
    EXPECT_FALSE(list.Append(3));
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{1, 2}));

    // Without a maximum only the room of the block counts.
    ListBlock unlimited;
    InstanceList open = unlimited.List();
    for (uint32_t id = 1; id <= kInstanceListCapacity; ++id)
        ASSERT_TRUE(open.Append(id));
    EXPECT_EQ(open.MaxCount(), 0);
    EXPECT_FALSE(open.Append(1000));
}

TEST(InstanceList, ACountBeyondTheRoomIsReadWithinTheBlock) {
    for (uint16_t stored : {258, 1000, 65535}) {
        ListBlock block;
        for (std::size_t position = 0; position < kInstanceListCapacity; ++position)
            block.SetSlot(position, static_cast<uint32_t>(position + 100));
        block.SetField16(kCountField, stored);
        InstanceList list = block.List();

        EXPECT_EQ(list.StoredCount(), stored);
        EXPECT_EQ(list.Count(), 257u);
        const std::vector<uint32_t> entries = list.Entries();
        ASSERT_EQ(entries.size(), 257u);
        EXPECT_EQ(entries.back(), 356u);
        EXPECT_EQ(list.PositionOf(356), 256u);
        EXPECT_FALSE(list.PositionOf(5).has_value());
        EXPECT_FALSE(list.Append(5)) << stored;

        // Removing works on what can be read and leaves a count that fits the block.
        EXPECT_TRUE(list.Remove(100));
        EXPECT_EQ(block.Field16(kCountField), 256);
        EXPECT_EQ(block.Slot(0), 101u);
        EXPECT_EQ(block.Slot(255), 356u);
        EXPECT_EQ(block.Slot(256), 0u);
    }
}

TEST(InstanceList, ACountBeyondTheMaximumIsReadButTakesNoAppend) {
    ListBlock block;
    block.SetField16(kMaxField, 1);
    block.SetField16(kCountField, 5);
    for (std::size_t position = 0; position < 5; ++position)
        block.SetSlot(position, static_cast<uint32_t>(position + 1));
    InstanceList list = block.List();
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(list.Append(6));
    EXPECT_EQ(block.Slot(5), 0u);
    EXPECT_TRUE(list.Remove(3));
    EXPECT_EQ(list.Entries(), (std::vector<uint32_t>{1, 2, 4, 5}));
}

TEST(InstanceNames, AllStartWithTheIdentityOfTheExecutablePath) {
    const InstanceNames names =
        MakeInstanceNames("JCLC:\\PROGRAMS\\CORVALO\\CORVALO.EXE", 3, "anna", "WORKGROUP");
    EXPECT_EQ(names.identity, "JCLC:_PROGRAMS_CORVALO_CORVALO.EXE");
    EXPECT_EQ(names.message, "JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_Msg");
    EXPECT_EQ(names.lock, "JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_Otx");
    EXPECT_EQ(names.lockEvent, "Optex_Event_JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_Otx");
    EXPECT_EQ(names.lockBlock, "Optex_MMF_JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_Otx");
    EXPECT_EQ(names.allCopies, "JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_All");
    EXPECT_EQ(names.sessionCopies, "JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_Session_3");
    EXPECT_EQ(names.userCopies, "JCLC:_PROGRAMS_CORVALO_CORVALO.EXE_User_anna_WORKGROUP");
}

TEST(InstanceNames, DifferentPathsGiveDifferentNames) {
    const auto names = [](const char* path) { return MakeInstanceNames(path, 1, "u", "d"); };
    EXPECT_NE(names("JCLC:\\A\\CORVALO.EXE").allCopies, names("JCLC:\\B\\CORVALO.EXE").allCopies);
    EXPECT_NE(names("JCLC:\\A\\CORVALO.EXE").lock, names("JCLC:\\A\\CORVALO2.EXE").lock);
    EXPECT_NE(names("JCLC:\\PROGRA~1\\CORVALO.EXE").message,
              names("JCLC:\\PROGRAM FILES\\CORVALO.EXE").message);
    // Code-page characters stay as they are.
    EXPECT_EQ(names("JCLC:\\CAF\xC9\\X.EXE").identity, "JCLC:_CAF\xC9_X.EXE");
    // Other log-ons and users get lists of their own.
    EXPECT_NE(MakeInstanceNames("JCLX", 1, "u", "d").sessionCopies,
              MakeInstanceNames("JCLX", 2, "u", "d").sessionCopies);
    EXPECT_NE(MakeInstanceNames("JCLX", 1, "u", "d").userCopies,
              MakeInstanceNames("JCLX", 1, "v", "d").userCopies);
}

TEST(InstanceNames, ANameTooLongForThePlatformHasTheHashOfTheIdentityInItsPlace) {
    // FNV-1a, 64 bits, in hex: copies of every build of the program come to the same names.
    EXPECT_EQ(ShortIdentity("foobar"), "JCL~85944171F73967E8");

    // An identity of 255 bytes: the list's name just fits (259), the others don't, each on its
    // own, and a message name takes 4 bytes less than an object's.
    const std::string identity = "JCLC:_" + std::string(249, 'D');
    const InstanceNames names = MakeInstanceNames(identity, 3, "anna", "WORKGROUP");
    const std::string shortForm = ShortIdentity(identity);
    EXPECT_EQ(names.identity, identity);
    EXPECT_EQ(names.allCopies, identity + "_All");
    EXPECT_EQ(names.message, shortForm + "_Msg");
    EXPECT_EQ(names.lockEvent, "Optex_Event_" + shortForm + "_Otx");
    EXPECT_EQ(names.lockBlock, "Optex_MMF_" + shortForm + "_Otx");
    EXPECT_EQ(names.lockMutex, "Optex_Mutex_" + shortForm + "_Otx");
    EXPECT_EQ(names.sessionCopies, shortForm + "_Session_3");
    EXPECT_EQ(names.userCopies, shortForm + "_User_anna_WORKGROUP");
    EXPECT_EQ(names.closing, shortForm + "_Closing");
    EXPECT_EQ(MakeInstanceNames(identity.substr(0, 251), 3, "u", "d").message,
              identity.substr(0, 251) + "_Msg");
    // One byte more and the list's name doesn't fit either; paths that differ only at their end
    // still name objects of their own.
    EXPECT_EQ(MakeInstanceNames(identity + "E", 3, "u", "d").allCopies,
              ShortIdentity(identity + "E") + "_All");
    EXPECT_NE(ShortIdentity(identity + "E"), ShortIdentity(identity + "F"));
}

TEST(CommandLineHandOver, EveryArgumentEndsWithCarriageReturnAndLineFeed) {
    EXPECT_EQ(CommandLineHandOver({}), "");
    EXPECT_EQ(CommandLineHandOver({"a"}), "a\r\n");
    EXPECT_EQ(CommandLineHandOver({"C:\\My Files\\x.txt", "", "\"quoted\"", "caf\xE9"}),
              "C:\\My Files\\x.txt\r\n\r\n\"quoted\"\r\ncaf\xE9\r\n");
}

TEST(CommandLineHandOver, LongArgumentsAreKeptWhole) {
    const std::string longArgument(100000, 'x');
    const std::string text = CommandLineHandOver({longArgument, "y"});
    ASSERT_EQ(text.size(), longArgument.size() + 2 + 1 + 2);
    EXPECT_EQ(text.substr(0, longArgument.size()), longArgument);
    EXPECT_EQ(text.substr(longArgument.size()), "\r\ny\r\n");
}

}  // namespace
}  // namespace corvalo
