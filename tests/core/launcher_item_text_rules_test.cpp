#include "launcher/item_text_rules.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(ItemTextRules, TextsTheFileKeepsAreAcceptedUpToTheLongestReadBack) {
    const std::wstring longest(kLongestItemText, L'x');
    EXPECT_EQ(ItemStorageProblem(L"Mail", L"C:\\mail.exe"), L"");
    EXPECT_EQ(ItemStorageProblem(longest, longest), L"");
    EXPECT_EQ(ItemStorageProblem(L"a [b] ;c \"d\"", L"\"C:\\a b\\c.exe\" /x=1"), L"");
    EXPECT_EQ(ItemStorageProblem(L"\"quoted\"", L"a\"b\""), L"") << "only a target's quotes go";
    EXPECT_EQ(ItemStorageProblem(L"", L""), L"") << "emptiness is the buttons' concern";
    EXPECT_EQ(ItemStorageProblem(L"\"", L"\""), L"");
    EXPECT_EQ(ItemStorageProblem(L"Tool", L"\"C:\\Program Files\\tool.exe\""), L"")
        << "a copied path in quotes is written so that it reads back";
}

TEST(ItemTextRules, QuotedValuesAreWrappedOnceMoreAndLegacyLinesNeedACaption) {
    EXPECT_EQ(ProfileValueFor(L"\"C:\\a b\\t.exe\""), L"\"\"C:\\a b\\t.exe\"\"");
    EXPECT_EQ(ProfileValueFor(L"'x'"), L"\"'x'\"");
    EXPECT_EQ(ProfileValueFor(L"\"\""), L"\"\"\"\"");
    for (const wchar_t* plain : {L"", L"\"", L"a\"b\"", L"\"a' /x", L"'a\"", L"c:\\t.exe"})
        EXPECT_EQ(ProfileValueFor(plain), plain) << "files written before must read as before";

    EXPECT_TRUE(IsStorableLine(L"Mail=C:\\mail.exe x=1"));
    EXPECT_TRUE(IsStorableLine(L"Tool=\"C:\\t.exe\""));
    for (const wchar_t* line : {L"[Tools]", L"c:\\t.exe", L"=x", L" Mail=m", L";Mail=m", L"[A]=a"})
        EXPECT_FALSE(IsStorableLine(line)) << line;
}

TEST(ItemTextRules, EachTextTheFileWouldChangeIsRefusedWithItsReason) {
    const std::wstring longest(kLongestItemText, L'x');
    const std::pair<std::pair<std::wstring, std::wstring>, std::wstring> cases[] = {
        {{L"a=b", L"c"}, L"A caption cannot contain \"=\"."},
        {{L"=", L"c"}, L"A caption cannot contain \"=\"."},
        {{L"a\nb", L"c"}, L"A caption cannot contain a line break."},
        {{L"a", L"c\r"}, L"A target cannot contain a line break."},
        {{std::wstring(L"a\0b", 3), L"c"}, L"A caption cannot contain a line break."},
        {{L" a", L"c"}, L"A caption cannot begin or end with a space."},
        {{L"a\t", L"c"}, L"A caption cannot begin or end with a space."},
        {{L"a", L"c "}, L"A target cannot begin or end with a space."},
        {{L"[a]", L"c"}, L"A caption cannot begin with \"[\" or \";\"."},
        {{L";a", L"c"}, L"A caption cannot begin with \"[\" or \";\"."},
        {{longest + L"x", L"c"}, L"A caption can be at most 2047 characters long."},
        {{L"a", longest + L"x"}, L"A target can be at most 2047 characters long."},
    };
    for (const auto& [texts, message] : cases)
        EXPECT_EQ(ItemStorageProblem(texts.first, texts.second), message)
            << texts.first.substr(0, 10) << " / " << texts.second.substr(0, 10);
}

}  // namespace
}  // namespace corvalo
