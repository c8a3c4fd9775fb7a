#include "base/settings_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace corvalo {
namespace {

TEST(SettingsInteger, ReadsHexadecimalAfterZeroXOrDollar) {
    EXPECT_EQ(ParseSettingsInteger(L"0x20"), 32);
    EXPECT_EQ(ParseSettingsInteger(L"0X20"), 32);
    EXPECT_EQ(ParseSettingsInteger(L"$20"), 32);
    EXPECT_EQ(ParseSettingsInteger(L"$aBcD"), 0xABCD);
    EXPECT_EQ(ParseSettingsInteger(L"0x0"), 0);
    // Leading zeros do not count against the eight digits.
    EXPECT_EQ(ParseSettingsInteger(L"$000000000000FF"), 255);
}

TEST(SettingsInteger, ReadsDecimalWithLeadingSpacesAndSign) {
    EXPECT_EQ(ParseSettingsInteger(L"300"), 300);
    EXPECT_EQ(ParseSettingsInteger(L" -5"), -5);
    EXPECT_EQ(ParseSettingsInteger(L"+7"), 7);
    EXPECT_EQ(ParseSettingsInteger(L"   12"), 12);
    EXPECT_EQ(ParseSettingsInteger(L"007"), 7);
    EXPECT_EQ(ParseSettingsInteger(L"-0"), 0);
}

TEST(SettingsInteger, SpacesAndSignApplyToHexadecimalToo) {
    EXPECT_EQ(ParseSettingsInteger(L"-$10"), -16);
    EXPECT_EQ(ParseSettingsInteger(L"+0x10"), 16);
    EXPECT_EQ(ParseSettingsInteger(L"  0x10"), 16);
    EXPECT_EQ(ParseSettingsInteger(L" -0X1f"), -31);
}

TEST(SettingsInteger, HexadecimalIsA32BitPattern) {
    // Stored colour values above 0x7FFFFFFF come back as the same 32 bits.
    EXPECT_EQ(ParseSettingsInteger(L"$FFFFFFFF"), -1);
    EXPECT_EQ(ParseSettingsInteger(L"0x80000000"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseSettingsInteger(L"$7FFFFFFF"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseSettingsInteger(L"0xFF000000"), static_cast<int32_t>(0xFF000000u));
    // A minus negates the pattern.
    EXPECT_EQ(ParseSettingsInteger(L"-$80000000"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseSettingsInteger(L"-$FFFFFFFF"), 1);
    // Nine significant digits do not fit.
    EXPECT_EQ(ParseSettingsInteger(L"$100000000"), std::nullopt);
    EXPECT_EQ(ParseSettingsInteger(L"0x1FFFFFFFF"), std::nullopt);
}

TEST(SettingsInteger, DecimalOverflowIsInvalid) {
    EXPECT_EQ(ParseSettingsInteger(L"2147483647"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseSettingsInteger(L"-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseSettingsInteger(L"2147483648"), std::nullopt);
    EXPECT_EQ(ParseSettingsInteger(L"-2147483649"), std::nullopt);
    EXPECT_EQ(ParseSettingsInteger(L"99999999999999999999999"), std::nullopt);
}

TEST(SettingsInteger, RejectsEverythingElse) {
    for (const wchar_t* text :
         {L"", L" ", L"abc", L"0x", L"0X", L"$", L"-", L"+", L"-$", L" 0x", L"12abc", L"1 ",
          L"5\t", L"- 5", L"+-5", L"--5", L"$-5", L"0x-5", L"0xG", L"$ 1", L"\t5", L"1.5", L"1e3",
          L"x10", L"00x10", L"\uFF15" /* full-width digit five */}) {
        EXPECT_EQ(ParseSettingsInteger(text), std::nullopt) << "text: \"" << text << "\"";
    }
}

TEST(SettingsInteger, FormatsDecimalAndReadsItBack) {
    EXPECT_EQ(FormatSettingsInteger(0), L"0");
    EXPECT_EQ(FormatSettingsInteger(1588), L"1588");
    EXPECT_EQ(FormatSettingsInteger(-1), L"-1");
    for (int32_t value : {0, 1, -1, 200, -200, 16773849, std::numeric_limits<int32_t>::max(),
                          std::numeric_limits<int32_t>::min()}) {
        EXPECT_EQ(ParseSettingsInteger(FormatSettingsInteger(value)), value);
    }
}

}  // namespace
}  // namespace corvalo
