#include "base/error.h"
#include "launcher/launcher_list.h"
#include "launcher/split_target.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

LauncherList ListOf(std::vector<std::wstring> lines) {
    LauncherList list(CompareIgnoringCase);
    list.SetLines(std::move(lines));
    return list;
}

TEST(LauncherList, LookupsFindTheFirstLineOfACaptionWithoutRegardToCase) {
    const LauncherList list = ListOf({L"Mail=a.exe", L"mail=b.exe", L"noseparator", L"=empty.exe"});
    EXPECT_EQ(list.FindItem(L"MAIL"), 0);
    EXPECT_EQ(list.TargetOf(L"mail"), L"a.exe");
    EXPECT_EQ(list.ItemCaption(1), L"mail");
    // A line without "=" never matches, even the empty caption it has.
    EXPECT_EQ(list.FindItem(L""), 3);
    EXPECT_EQ(list.ItemCaption(2), L"");
    EXPECT_EQ(list.FindItem(L"noseparator"), -1);
    EXPECT_EQ(list.TargetOf(L"missing"), L"");
    EXPECT_EQ(ListOf({}).FindItem(L"x"), -1);

    // The same answers for every line at once, as the menu's icons ask.
    const LauncherList many =
        ListOf({L"b=1", L"Mail=a.exe", L"x", L"MAIL=b.exe", L"a=2", L"mail=c.exe", L"B=3"});
    EXPECT_EQ(many.FirstLinesOfCaptions(), (std::vector<int>{0, 1, -1, 1, 4, 1, 0}));
    for (int i = 0; i < many.ItemCount(); ++i) {
        if (i != 2) {
            EXPECT_EQ(many.FirstLinesOfCaptions()[i], many.FindItem(many.ItemCaption(i)));
        }
    }
}

TEST(LauncherList, TargetsKeepEveryCharacterAfterTheFirstSeparator) {
    LauncherList list = ListOf({L"Calc=C:\\Tools\\calc.exe x=1"});
    EXPECT_EQ(list.ItemCaption(0), L"Calc");
    EXPECT_EQ(list.ItemTarget(0), L"C:\\Tools\\calc.exe x=1");
    list.AppendItem(L"a=b", L"x.exe");
    EXPECT_EQ(list.Lines().back(), L"a=b=x.exe");
    EXPECT_EQ(list.ItemCaption(1), L"a");
    EXPECT_EQ(list.ItemTarget(1), L"b=x.exe");
    EXPECT_EQ(list.ItemTarget(-1), L"");
}

TEST(LauncherList, IndexesOutsideTheListAreReportedWithTheIndex) {
    LauncherList list = ListOf({L"A=a"});
    try {
        list.ItemCaption(3);
        ADD_FAILURE();
    } catch (const Error& error) {
        EXPECT_EQ(error.Message(), L"List index out of bounds (3)");
    }
    EXPECT_THROW(list.ItemCaption(-1), Error);
    EXPECT_THROW(list.DeleteItem(1), Error);
    EXPECT_THROW(list.ItemTarget(1), Error);
    EXPECT_EQ(list.ItemCount(), 1);
}

TEST(LauncherList, AppendedLinesStayLastUntilSortedThenWholeLinesAreOrdered) {
    LauncherList list = ListOf({L"beta=2", L"Alpha=1"});
    list.AppendItem(L"aardvark", L"0");
    EXPECT_EQ(list.Lines().back(), L"aardvark=0");
    list.SortItems();
    EXPECT_EQ(list.Lines(), (std::vector<std::wstring>{L"aardvark=0", L"Alpha=1", L"beta=2"}));
    list.DeleteItem(1);
    EXPECT_EQ(list.Lines(), (std::vector<std::wstring>{L"aardvark=0", L"beta=2"}));
}

TEST(SplitTarget, FollowsTheLaunchTable) {
    struct Case {
        const wchar_t* target;
        const wchar_t* file;
        const wchar_t* parameters;
        const wchar_t* directory;
    };
    const Case cases[] = {
        {L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\tool.exe", L"", L"C:\\Apps\\Tool\\"},
        {L"\"C:\\Program Files\\Tool\\tool.exe\" /s /x", L"C:\\Program Files\\Tool\\tool.exe",
         L"s /x", L"C:\\Program Files\\Tool\\"},
        {L"notepad.exe /C:\\notes.txt", L"notepad.exe", L"C:\\notes.txt", L""},
        {L"D:\\Music", L"D:\\Music", L"", L"D:\\"},
        {L"tool.exe   /a", L"tool.exe", L"a", L""},
        {L" /a", L"", L"a", L""},
        {L"https://example.com/x", L"https://example.com/x", L"", L"https:"},
        {L"tool.exe  ", L"tool.exe  ", L"", L""},
        {L"run.exe\t /\"quoted arg\"", L"run.exe", L"\"quoted arg\"", L""},
        {L"", L"", L"", L""},
        // A quoted file with parameters, without " /": the quoted part is the file.
        {L"\"C:\\Program Files\\Tool\\tool.exe\" --foo \"bar baz\" ",
         L"C:\\Program Files\\Tool\\tool.exe", L"--foo \"bar baz\"", L"C:\\Program Files\\Tool\\"},
        {L"\"C:\\a b\\c.exe\"", L"C:\\a b\\c.exe", L"", L"C:\\a b\\"},
        {L"\"C:\\unclosed\\c.exe -x", L"C:\\unclosed\\c.exe -x", L"", L"C:\\unclosed\\"},
    };
    for (const Case& c : cases) {
        const LaunchCommand command = SplitTarget(c.target);
        EXPECT_EQ(command.file, c.file) << c.target;
        EXPECT_EQ(command.parameters, c.parameters) << c.target;
        EXPECT_EQ(LaunchDirectory(command.file), c.directory) << c.target;
    }
}

}  // namespace
}  // namespace corvalo
