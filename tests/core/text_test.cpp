#include "base/error.h"
#include "base/settings_file_text.h"
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

// Each form at its limit is valid, one past it is not: the shortest forms, the last code point
// before the surrogates and the last of all.
TEST(Utf8Text, IsValidOnlyUpToEachLimit) {
    for (const char* valid : {"", "a\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                              "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(IsValidUtf8(valid)) << valid;
    }
    for (const char* invalid :
         {"\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
          "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\x80", "\xC3",
          "\xE2\x82", "\xC3\x28", "caf\xE9"}) {
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    }
}

// What another editor saved becomes UTF-16 before the profile functions read it; what they read
// right stays as it is.
TEST(SettingsFileText, NotepadsUtf8AndAnEmptyFileBecomeUtf16AndAnsiStays) {
    const auto bytes = [](std::string_view text) {
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    const auto utf16 = [](std::u16string_view text) {
        std::vector<uint8_t> out = {0xFF, 0xFE};
        for (char16_t unit : text) {
            out.push_back(static_cast<uint8_t>(unit & 0xFF));
            out.push_back(static_cast<uint8_t>(unit >> 8));
        }
        return out;
    };
    EXPECT_EQ(SettingsFileAsUtf16(bytes("")), utf16(u"\r\n"));
    EXPECT_EQ(SettingsFileAsUtf16(bytes("[MENU]\r\nCaf\xC3\xA9=\xCE\xA9.exe\r\n")),
              utf16(u"[MENU]\r\nCaf\u00e9=\u03a9.exe\r\n"));
    EXPECT_EQ(SettingsFileAsUtf16(bytes("\xEF\xBB\xBF[MENU]\r\n")), utf16(u"[MENU]\r\n"));
    // Read right already: plain ASCII, UTF-16, the ANSI code page (not valid UTF-8).
    EXPECT_EQ(SettingsFileAsUtf16(bytes("[MENU]\r\nA=a.exe\r\n")), std::nullopt);
    EXPECT_EQ(SettingsFileAsUtf16(utf16(u"[MENU]\r\n")), std::nullopt);
    EXPECT_EQ(SettingsFileAsUtf16(bytes("[MENU]\r\nCaf\xE9=c.exe\r\n")), std::nullopt);
    EXPECT_EQ(SettingsFileAsUtf16(bytes("[MENU]\r\nA=\xC0\x80\r\n")), std::nullopt);
    EXPECT_EQ(AnsiSettingsFileAsUtf16(bytes("Caf\xE9")), utf16(u"Caf\u00e9"));
}

}  // namespace
}  // namespace corvalo
