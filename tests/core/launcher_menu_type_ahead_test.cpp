#include "launcher/menu_type_ahead.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvalo {
namespace {

using Action = TypeAheadAnswer::Action;

TEST(MenuTypeAhead, ALetterSelectsTheNextEntryItStartsAndChoosesTheOnlyOne) {
    const std::vector<std::wstring> top = {L"Settings...", L"", L"Mail", L"music", L"\u00c9diteur"};
    // The only entry with S: chosen at once, whatever its case.
    for (wchar_t letter : {L's', L'S'}) {
        const TypeAheadAnswer answer = TypeAhead(top, std::nullopt, letter);
        EXPECT_EQ(answer.action, Action::Choose);
        EXPECT_EQ(answer.index, 0u);
    }
    // Two entries with M: each press selects the next, round the end.
    EXPECT_EQ(TypeAhead(top, std::nullopt, L'm').action, Action::Select);
    EXPECT_EQ(TypeAhead(top, std::nullopt, L'm').index, 2u);
    EXPECT_EQ(TypeAhead(top, 2, L'M').index, 3u);
    EXPECT_EQ(TypeAhead(top, 3, L'm').index, 2u);
    // Letters outside ASCII fold too; a letter no caption starts with, and the spacer's empty
    // caption, are never taken.
    EXPECT_EQ(TypeAhead(top, std::nullopt, L'\u00e9').action, Action::Choose);
    EXPECT_EQ(TypeAhead(top, std::nullopt, L'q').action, Action::Ignore);
    EXPECT_EQ(TypeAhead(top, std::nullopt, L'\0').action, Action::Ignore);
    EXPECT_EQ(TypeAhead(std::vector<std::wstring>{}, std::nullopt, L'a').action, Action::Ignore);

    const std::vector<std::wstring> settings = {L"Start with Windows", L"New empty item",
                                                L"New image",          L"Font",
                                                L"Show in taskbar",    L"Quit"};
    EXPECT_EQ(TypeAhead(settings, std::nullopt, L'q').action, Action::Choose);
    EXPECT_EQ(TypeAhead(settings, std::nullopt, L'q').index, 5u);
    EXPECT_EQ(TypeAhead(settings, 0, L's').action, Action::Select);
    EXPECT_EQ(TypeAhead(settings, 0, L's').index, 4u);
}

// Letters within a second of each other (1000 ms still counts, 1001 does not) form a prefix; the
// same letter cycles; another menu, or a pause, begins anew; the clock may wrap between letters.
TEST(MenuTypeAhead, LettersTypedWithinASecondFormAPrefix) {
    const std::vector<std::wstring> items = {L"Wallet", L"Web", L"Word", L"Works", L"Settings..."};
    const int menu = 0, otherMenu = 0;
    TypeAheadPrefix typing;
    const auto type = [&](wchar_t letter, uint32_t time, std::optional<size_t> selected,
                          const void* in) {
        return typing.Type(items, selected, letter, time, in);
    };

    EXPECT_EQ(type(L'w', 0, std::nullopt, &menu).index, 0u);
    TypeAheadAnswer answer = type(L'O', 1000, 0, &menu);  // "wo": Word, not Web
    EXPECT_EQ(answer.action, Action::Select);
    EXPECT_EQ(answer.index, 2u);
    EXPECT_EQ(typing.Prefix(), L"wo");
    EXPECT_EQ(type(L'r', 2000, 2, &menu).index, 2u);  // "wor": Word, the selected, before Works
    // "wors" fits nothing: S alone, which only "Settings..." starts.
    answer = type(L's', 3000, 2, &menu);
    EXPECT_EQ(answer.action, Action::Choose);
    EXPECT_EQ(answer.index, 4u);
    EXPECT_EQ(typing.Prefix(), L"s");
    EXPECT_EQ(type(L'e', 4001, std::nullopt, &menu).action, Action::Ignore);  // a pause: "e" alone
    type(L'w', 5000, std::nullopt, &menu);
    type(L'o', 5100, 0, &menu);
    type(L'r', 5200, 2, &menu);
    answer = type(L'K', 5300, 2, &menu);  // "work": only Works
    EXPECT_EQ(answer.action, Action::Choose);
    EXPECT_EQ(answer.index, 3u);

    // The same letter again: the next entry it starts, round the end.
    EXPECT_EQ(type(L'w', 10000, std::nullopt, &menu).index, 0u);
    EXPECT_EQ(type(L'w', 10100, 0, &menu).index, 1u);
    EXPECT_EQ(type(L'w', 10200, 1, &menu).index, 2u);
    // A prefix only one entry has chooses it; so does a letter in another menu, alone.
    EXPECT_EQ(type(L'w', 20000, std::nullopt, &menu).index, 0u);
    answer = type(L'a', 20100, 0, &menu);
    EXPECT_EQ(answer.action, Action::Choose);
    EXPECT_EQ(answer.index, 0u);
    type(L'w', 30000, std::nullopt, &menu);
    answer = type(L's', 30010, std::nullopt, &otherMenu);
    EXPECT_EQ(answer.action, Action::Choose);
    EXPECT_EQ(answer.index, 4u);
    // Across the clock's wrap, 512 ms apart.
    type(L'w', 0xFFFFFF00u, std::nullopt, &menu);
    EXPECT_EQ(type(L'e', 0x100u, 0, &menu).action, Action::Choose);  // "we": Web
}

}  // namespace
}  // namespace corvalo
