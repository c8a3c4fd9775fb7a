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

}  // namespace
}  // namespace corvalo
