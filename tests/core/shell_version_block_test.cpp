#include "shell/version_block.h"

#include "support/version_block_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace corvalo {
namespace {

using namespace test;

const char kFirstCompany[] = "\\StringFileInfo\\040904b0\\CompanyName";
const char kSecondProduct[] = "\\StringFileInfo\\040704e4\\ProductName";

TEST(VersionBlock, ReadsTheFixedInformationTheTranslationsAndTheTexts) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "32-bit layout" : "16-bit layout");
        const std::vector<uint8_t> bytes = Block(TypicalRoot(), wide);
        const VersionBlock block(bytes);
        const std::optional<FixedFileInfo> fixed = block.FixedInfo();
        ASSERT_TRUE(fixed.has_value());
        EXPECT_EQ(fixed->signature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->fileVersionMs, 0x00010002u);
        EXPECT_EQ(fixed->productVersionLs, 0x00070008u);
        EXPECT_EQ(fixed->fileOs, 0x40004u);
        EXPECT_EQ(fixed->fileType, 1u);
        EXPECT_EQ(block.Translations(),
                  (std::vector<Translation>{{0x0409, 0x04B0}, {0x0407, 0x04E4}}));
        EXPECT_EQ(block.Text(kFirstCompany), "Example Ltd");
        EXPECT_EQ(block.Text(kSecondProduct), "Beispiel");
        EXPECT_EQ(block.Text("\\StringFileInfo\\040904b0\\ProductName"), std::nullopt);
        EXPECT_EQ(block.Text("\\StringFileInfo\\041104b0\\CompanyName"), std::nullopt);
    }
}

TEST(VersionBlock, MatchesKeysWithoutRegardToCaseAndSkipsEmptyPathParts) {
    const std::vector<uint8_t> bytes = Block(TypicalRoot(), true);
    const VersionBlock block(bytes);
    EXPECT_EQ(block.Text("\\stringfileinfo\\040904B0\\COMPANYNAME"), "Example Ltd");
    EXPECT_EQ(block.Text("StringFileInfo\\\\040904b0\\CompanyName\\"), "Example Ltd");
    // A key is matched whole, not by its beginning.
    EXPECT_EQ(block.Text("\\StringFileInfo\\040904b0\\Company"), std::nullopt);
    EXPECT_EQ(block.Text("\\StringFileInfo\\040904b0\\CompanyNameX"), std::nullopt);
    // The root is the path "\" and holds the fixed information.
    ASSERT_TRUE(block.Value("\\").has_value());
    EXPECT_EQ(block.Value("\\")->size(), kFixedFileInfoSize);
}

TEST(VersionBlock, ConvertsWideTextsToTheCodePage) {
    Node root = TypicalRoot();
    std::vector<uint8_t> bytes = Block(root, true);
    // Replace "Example Ltd" by "Caf\u00e9 Ltd": the same length, one character outside ASCII.
    const std::vector<uint8_t> pattern = {'E', 0, 'x', 0, 'a', 0};
    auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    ASSERT_NE(at, bytes.end());
    const uint16_t cafe[] = {'C', 'a', 'f', 0xE9, ' ', ' ', ' '};
    for (size_t i = 0; i < 7; ++i) {
        at[2 * i] = static_cast<uint8_t>(cafe[i]);
        at[2 * i + 1] = static_cast<uint8_t>(cafe[i] >> 8);
    }
    EXPECT_EQ(VersionBlock(bytes).Text(kFirstCompany), "Caf\xE9    Ltd");
}

TEST(VersionBlock, WithoutATranslationValueTheTableIsEmpty) {
    Node root = TypicalRoot();
    root.children.pop_back();  // no VarFileInfo
    const std::vector<uint8_t> bytes = Block(root, true);
    EXPECT_TRUE(VersionBlock(bytes).Translations().empty());

    Node odd = TypicalRoot();
    odd.children[1].children[0].value.resize(6);  // one whole entry and half of another
    const std::vector<uint8_t> oddBytes = Block(odd, true);
    EXPECT_EQ(VersionBlock(oddBytes).Translations(), (std::vector<Translation>{{0x0409, 0x04B0}}));
}

TEST(VersionBlock, AShortRootValueGivesNoFixedInformation) {
    Node root = TypicalRoot();
    root.value.resize(40);
    const std::vector<uint8_t> bytes = Block(root, true);
    const VersionBlock block(bytes);
    EXPECT_EQ(block.FixedInfo(), std::nullopt);
    // The rest of the block is still sound.
    EXPECT_EQ(block.Text(kSecondProduct), "Beispiel");
}

TEST(VersionBlock, ATextRunsToItsZeroButNeverPastItsNode) {
    std::vector<uint8_t> bytes = Block(TypicalRoot(), true);
    // A writer that counted the text short: the text still runs to its zero.
    const std::vector<uint8_t> key = {'P', 0, 'r', 0, 'o', 0, 'd', 0};
    auto at = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
    ASSERT_NE(at, bytes.end());
    const size_t node = static_cast<size_t>(at - bytes.begin()) - 6;
    bytes[node + 2] = 2;  // declared: two characters
    EXPECT_EQ(VersionBlock(bytes).Text(kSecondProduct), "Beispiel");

    // A node cut short inside its text: the text ends with the node, although the bytes after
    // it (the next table's header) hold no zero for a while.
    std::vector<uint8_t> cut = Block(TypicalRoot(), true);
    const size_t length = cut[node] | (cut[node + 1] << 8);
    PutU16(cut, node, length - 4);  // without the zero and the last letter
    EXPECT_EQ(VersionBlock(cut).Text(kSecondProduct), "Beispie");
}

TEST(VersionBlock, ATruncatedBlockYieldsNothing) {
    for (bool wide : {true, false}) {
        const std::vector<uint8_t> whole = Block(TypicalRoot(), wide);
        for (size_t length = 0; length < whole.size(); ++length) {
            // An exact-size copy, so that a read past the end is caught by the sanitizers.
            const std::vector<uint8_t> bytes(whole.begin(),
                                             whole.begin() + static_cast<std::ptrdiff_t>(length));
            const VersionBlock block(bytes);
            EXPECT_EQ(block.Text(kSecondProduct), std::nullopt) << length;
            EXPECT_EQ(block.FixedInfo(), std::nullopt) << length;
            EXPECT_TRUE(block.Translations().empty()) << length;
        }
    }
}

TEST(VersionBlock, ANodeThatClaimsMoreThanItsParentIsAbsent) {
    const std::vector<uint8_t> sound = Block(TypicalRoot(), true);
    const std::vector<uint8_t> key = {'P', 0, 'r', 0, 'o', 0, 'd', 0};
    const size_t product =
        static_cast<size_t>(std::search(sound.begin(), sound.end(), key.begin(), key.end()) -
                            sound.begin()) -
        6;
    for (size_t claimed : {size_t(0), size_t(3), size_t(0x200), size_t(0xFFFF)}) {
        std::vector<uint8_t> bytes = sound;
        bytes[product] = static_cast<uint8_t>(claimed);
        bytes[product + 1] = static_cast<uint8_t>(claimed >> 8);
        const VersionBlock block(bytes);
        EXPECT_EQ(block.Text(kSecondProduct), std::nullopt) << claimed;
        // Its elder siblings and the other tables are still found.
        EXPECT_EQ(block.Text(kFirstCompany), "Example Ltd") << claimed;
        EXPECT_EQ(block.Text("\\StringFileInfo\\040704e4\\CompanyName"), "Beispiel GmbH");
    }
    // The root itself claiming more than the block: nothing at all.
    std::vector<uint8_t> bytes = sound;
    PutU16(bytes, 0, sound.size() + 4);
    EXPECT_EQ(VersionBlock(bytes).Text(kFirstCompany), std::nullopt);
    EXPECT_EQ(VersionBlock(bytes).FixedInfo(), std::nullopt);
}

TEST(VersionBlock, ValueLengthsThatLieAreCutAtTheirNode) {
    Node root = TypicalRoot();
    std::vector<uint8_t> bytes = Block(root, true);
    const std::vector<uint8_t> key = {'T', 0, 'r', 0, 'a', 0, 'n', 0};
    const size_t translation =
        static_cast<size_t>(std::search(bytes.begin(), bytes.end(), key.begin(), key.end()) -
                            bytes.begin()) -
        6;
    PutU16(bytes, translation + 2, 0xFFFF);
    // Only the two entries the node really holds.
    EXPECT_EQ(VersionBlock(bytes).Translations(),
              (std::vector<Translation>{{0x0409, 0x04B0}, {0x0407, 0x04E4}}));
}

TEST(VersionBlock, KeysWithoutTheirZeroEndTheNode) {
    // A block that is all key: no terminating zero anywhere.
    std::vector<uint8_t> bytes(64, 'A');
    PutU16(bytes, 0, bytes.size());
    PutU16(bytes, 2, 0);
    PutU16(bytes, 4, 0);
    const VersionBlock block(bytes);
    EXPECT_EQ(block.FixedInfo(), std::nullopt);
    EXPECT_EQ(block.Text("\\A"), std::nullopt);
}

// Random damage anywhere in the block: every query ends, and whatever it finds lies inside the
// block (the sanitizers of the native build catch any read past its end).
TEST(VersionBlock, SurvivesRandomDamage) {
    std::mt19937 random(1234);
    for (bool wide : {true, false}) {
        const std::vector<uint8_t> sound = Block(TypicalRoot(), wide);
        for (int round = 0; round < 3000; ++round) {
            std::vector<uint8_t> bytes = sound;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int c = 0; c < changes; ++c)
                bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
            if (random() % 4 == 0)
                bytes.resize(random() % bytes.size());
            const VersionBlock block(bytes);
            block.FixedInfo();
            EXPECT_LE(block.Translations().size() * 4, bytes.size());
            for (const char* path : {kFirstCompany, kSecondProduct, "\\VarFileInfo\\Translation"}) {
                const std::optional<std::string> text = block.Text(path);
                if (text) {
                    EXPECT_LE(text->size(), bytes.size());
                }
            }
        }
    }
}

TEST(TranslationKey, IsFourLowerCaseHexDigitsForLanguageAndCodePage) {
    EXPECT_EQ(TranslationKey({0x0409, 0x04B0}), "040904b0");
    EXPECT_EQ(TranslationKey({0x0407, 1252}), "040704e4");
    EXPECT_EQ(TranslationKey({0, 0}), "00000000");
    EXPECT_EQ(TranslationKey({0xFFFF, 0xABCD}), "ffffabcd");
}

TEST(StandardVersionStrings, AreInAlphabeticalOrderWithTheProductNameAtNine) {
    EXPECT_TRUE(std::is_sorted(kStandardVersionStrings.begin(), kStandardVersionStrings.end(),
                               [](const char* a, const char* b) { return std::string(a) < b; }));
    EXPECT_STREQ(kStandardVersionStrings[kProductNameIndex], "ProductName");
    EXPECT_STREQ(kStandardVersionStrings[0], "Comments");
}

}  // namespace
}  // namespace corvalo
