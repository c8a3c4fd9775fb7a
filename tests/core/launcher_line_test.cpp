#include "launcher/launcher_line.h"

#include "base/text.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(LauncherLine, SplitsAtTheFirstEqualsSign) {
    const LauncherLine calc = SplitLauncherLine(L"Calc=C:\\Tools\\calc.exe x=1");
    EXPECT_EQ(calc.caption, L"Calc");
    EXPECT_EQ(calc.target, L"C:\\Tools\\calc.exe x=1");
    EXPECT_TRUE(calc.hasSeparator);

    // A caption stored with "=" in it reads back cut at that "=".
    const LauncherLine cut = SplitLauncherLine(L"a=b=x.exe");
    EXPECT_EQ(cut.caption, L"a");
    EXPECT_EQ(cut.target, L"b=x.exe");
}

TEST(LauncherLine, EmptyPartsAroundTheSeparator) {
    const LauncherLine noCaption = SplitLauncherLine(L"=C:\\x.exe");
    EXPECT_EQ(noCaption.caption, L"");
    EXPECT_EQ(noCaption.target, L"C:\\x.exe");
    EXPECT_TRUE(noCaption.hasSeparator);

    const LauncherLine noTarget = SplitLauncherLine(L"Mail=");
    EXPECT_EQ(noTarget.caption, L"Mail");
    EXPECT_EQ(noTarget.target, L"");
    EXPECT_TRUE(noTarget.hasSeparator);

    const LauncherLine separatorOnly = SplitLauncherLine(L"=");
    EXPECT_EQ(separatorOnly.caption, L"");
    EXPECT_EQ(separatorOnly.target, L"");
    EXPECT_TRUE(separatorOnly.hasSeparator);
}

TEST(LauncherLine, ALineWithoutSeparatorHasAnEmptyCaption) {
    // The target starts two characters after the (empty) caption: the first character is lost.
    const LauncherLine line = SplitLauncherLine(L"C:\\Tools\\calc.exe");
    EXPECT_EQ(line.caption, L"");
    EXPECT_EQ(line.target, L":\\Tools\\calc.exe");
    EXPECT_FALSE(line.hasSeparator);

    const LauncherLine single = SplitLauncherLine(L"x");
    EXPECT_EQ(single.target, L"");
    EXPECT_FALSE(single.hasSeparator);

    const LauncherLine empty = SplitLauncherLine(L"");
    EXPECT_EQ(empty.caption, L"");
    EXPECT_EQ(empty.target, L"");
    EXPECT_FALSE(empty.hasSeparator);
}

TEST(LauncherLine, DropsAWholeCharacterBeforeTheTarget) {
    // A character outside the basic plane is one character, whatever the width of the text's
    // units: no half of it is left at the start of the target.
    const std::wstring line = Utf16ToWide({0xD83D, 0xDE00, 'a', 'b'});
    EXPECT_EQ(WideToUtf16(SplitLauncherLine(line).target), (std::vector<uint16_t>{'a', 'b'}));
    // A lone high surrogate is one character on its own.
    const std::wstring lone = Utf16ToWide({0xD800, 'a'});
    EXPECT_EQ(WideToUtf16(SplitLauncherLine(lone).target), (std::vector<uint16_t>{'a'}));
    // Surrogate pairs in a caption and target stay whole.
    const std::wstring pair = Utf16ToWide({0xD83D, 0xDE00, '=', 0xD83D, 0xDE01});
    const LauncherLine split = SplitLauncherLine(pair);
    EXPECT_EQ(WideToUtf16(split.caption), (std::vector<uint16_t>{0xD83D, 0xDE00}));
    EXPECT_EQ(WideToUtf16(split.target), (std::vector<uint16_t>{0xD83D, 0xDE01}));
}

}  // namespace
}  // namespace corvalo
