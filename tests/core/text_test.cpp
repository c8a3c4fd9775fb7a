#include "base/error.h"
#include "base/text.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(MessageText, FillsPlaceholdersInOrder) {
    EXPECT_EQ(FillText(L"Cannot open file \"%s\". %s", {L"C:\\a.bmp", L"Access denied."}),
              L"Cannot open file \"C:\\a.bmp\". Access denied.");
    EXPECT_EQ(FillText(L"100%% of %s", {L"x"}), L"100% of x");
    EXPECT_EQ(FillText(L"%s and %s", {L"one"}), L"one and %s");
    EXPECT_EQ(FillNumber(L"List index out of bounds (%d)", -3), L"List index out of bounds (-3)");
}

TEST(AnsiText, RoundTripsTheCodePageAndReplacesTheRest) {
    const std::string bytes = "caf\xE9 \x80 \x9F";
    const std::wstring wide = AnsiToWide(bytes);
    EXPECT_EQ(wide, std::wstring(L"caf\u00E9 \u20AC \u0178"));
    EXPECT_EQ(WideToAnsi(wide), bytes);
    EXPECT_EQ(WideToAnsi(L"\u4E2D\u6587"), "??");
    EXPECT_EQ(WideToAnsi(L"\u03B1\u03B2"), "??");  // no best-fit "a"
}

TEST(Utf16Text, KeepsPairsAndLoneSurrogates) {
    const std::vector<uint16_t> units = {0x0041, 0xD83D, 0xDE00, 0xD800, 0x0042};
    EXPECT_EQ(WideToUtf16(Utf16ToWide(units)), units);
}

TEST(Utf8Text, DecodesAndReplacesInvalidSequences) {
    EXPECT_EQ(Utf8ToWide("a\xC3\xA9"), std::wstring(L"a\u00E9"));
    EXPECT_EQ(Utf8ToWide("\xFF"
                         "b"),
              std::wstring(L"\uFFFD"
                           L"b"));
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), std::wstring(L"\uFFFD\uFFFD"));
    EXPECT_EQ(WideToUtf8(Utf8ToWide("x\xF0\x9F\x98\x80y")), "x\xF0\x9F\x98\x80y");
}

}  // namespace
}  // namespace corvalo
