#include "launcher/dropped_data.h"

#include "support/dropped_data_samples.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvalo {
namespace {

using namespace test;

std::vector<uint16_t> UnitsOf(std::u16string_view text) {
    return std::vector<uint16_t>(text.begin(), text.end());
}

TEST(DroppedFileList, ReadsNamesInOrderInBothForms) {
    const std::string names("C:\\a.txt\0C:\\Docs\\b c.lnk\0D:\\x\0\0", 31);
    const DroppedNames ansi = ParseDropFiles(DropFiles(names));
    EXPECT_FALSE(ansi.wide);
    EXPECT_EQ(ansi.ansiNames,
              (std::vector<std::string>{"C:\\a.txt", "C:\\Docs\\b c.lnk", "D:\\x"}));
    EXPECT_EQ(ansi.ToWide(),
              (std::vector<std::wstring>{L"C:\\a.txt", L"C:\\Docs\\b c.lnk", L"D:\\x"}));

    const DroppedNames wide = ParseDropFiles(DropFiles(names, true));
    EXPECT_TRUE(wide.wide);
    ASSERT_EQ(wide.Count(), 3u);
    EXPECT_EQ(wide.wideNames[1], UnitsOf(u"C:\\Docs\\b c.lnk"));

    // Characters outside the code page and a surrogate pair come through the UTF-16 form intact.
    Bytes greek = DropFiles("");
    AppendWide(greek, u"C:\\\u03b1\U0001F600.txt");
    AppendU16(greek, 0);
    PutU32(greek, 16, 1);
    EXPECT_EQ(ParseDropFiles(greek).ToWide(),
              (std::vector<std::wstring>{L"C:\\\u03b1\U0001F600.txt"}));

    // The names may start further on than the header's end; an 8-bit name is in the code page.
    Bytes later(32, 0xEE);
    PutU32(later, 0, 24);
    PutU32(later, 16, 0);
    later.resize(24);
    AppendChars(later, std::string("caf\xE9\0\0", 6));
    EXPECT_EQ(ParseDropFiles(later).ToWide(), std::vector<std::wstring>{L"caf\u00e9"});
}

TEST(DroppedFileList, TheEndOfTheBlockEndsTheListButCutsNoName) {
    // Without the closing empty name, the block's end closes the list.
    EXPECT_EQ(ParseDropFiles(DropFiles(std::string("C:\\a\0C:\\b\0", 10))).Count(), 2u);
    // A name without its NUL may be the start of another file's name: it is left out.
    EXPECT_EQ(ParseDropFiles(DropFiles(std::string("C:\\a\0C:\\bc", 10))).ansiNames,
              std::vector<std::string>{"C:\\a"});
    EXPECT_EQ(ParseDropFiles(DropFiles("C:\\abc")).Count(), 0u);
    EXPECT_EQ(ParseDropFiles(DropFiles("C:\\abc", true)).Count(), 0u);
    // An odd last byte of a UTF-16 list is half a character, not a terminator.
    Bytes odd = DropFiles(std::string("C:\\a\0", 5), true);
    odd.push_back(0);
    EXPECT_EQ(ParseDropFiles(odd).wideNames, std::vector<std::vector<uint16_t>>{UnitsOf(u"C:\\a")});
    Bytes cut = DropFiles("C:\\a", true);
    cut.push_back(0);  // "a" is followed by one byte of a NUL
    EXPECT_EQ(ParseDropFiles(cut).Count(), 0u);
    // An empty first name is an empty list, whatever follows.
    EXPECT_EQ(ParseDropFiles(DropFiles(std::string("\0C:\\a\0", 6))).Count(), 0u);
}

TEST(DroppedFileList, DamagedHeadersGiveNoNames) {
    // Shorter than the header and one name character.
    EXPECT_EQ(ParseDropFiles(Bytes{}).Count(), 0u);
    EXPECT_EQ(ParseDropFiles(Bytes(20, 0)).Count(), 0u);
    Bytes header = DropFiles("");
    EXPECT_EQ(ParseDropFiles(header).Count(), 0u);
    // Offsets past the block, far past it, and into the header itself.
    Bytes past = DropFiles(std::string("C:\\a\0\0", 6));
    PutU32(past, 0, static_cast<uint32_t>(past.size()));
    EXPECT_EQ(ParseDropFiles(past).Count(), 0u);
    PutU32(past, 0, 0xFFFFFFFF);
    EXPECT_EQ(ParseDropFiles(past).Count(), 0u);
    Bytes inside = DropFiles(std::string("C:\\a\0\0", 6));
    PutU32(inside, 0, 4);
    EXPECT_EQ(ParseDropFiles(inside).Count(), 0u);
    // A file list of garbage with no NUL at all.
    Bytes noNul(40, 'x');
    PutU32(noNul, 0, 20);
    noNul[16] = noNul[17] = noNul[18] = noNul[19] = 'x';
    EXPECT_EQ(ParseDropFiles(noNul).Count(), 0u);
}

TEST(DroppedFileList, NameMapsAreNameListsWithoutHeader) {
    EXPECT_EQ(ParseNameList(Bytes{'a', 0, 'b', 'c', 0, 0}, false).ansiNames,
              (std::vector<std::string>{"a", "bc"}));
    Bytes wide;
    AppendWide(wide, u"Copy of a");
    AppendU16(wide, 0);
    EXPECT_EQ(ParseNameList(wide, true).ToWide(), std::vector<std::wstring>{L"Copy of a"});
    EXPECT_EQ(ParseNameList(Bytes{'a', 'b'}, false).Count(), 0u);
}

TEST(DroppedShellIdLists, GivesTheParentAndEachItemsRange) {
    Bytes block;
    PutU32(block, 0, 2);
    PutU32(block, 4, 16);
    PutU32(block, 8, 18);
    PutU32(block, 12, 24);
    AppendIdList(block, {});      // the desktop: the terminator alone, at 16
    AppendIdList(block, {2});     // 18..24
    AppendIdList(block, {3, 5});  // 24..38
    const auto lists = ParseShellIdLists(block);
    ASSERT_TRUE(lists);
    EXPECT_EQ(lists->parent.offset, 16u);
    EXPECT_EQ(lists->parent.size, 2u);
    ASSERT_EQ(lists->items.size(), 2u);
    ASSERT_TRUE(lists->items[0] && lists->items[1]);
    EXPECT_EQ(lists->items[0]->offset, 18u);
    EXPECT_EQ(lists->items[0]->size, 6u);
    EXPECT_EQ(lists->items[1]->offset, 24u);
    EXPECT_EQ(lists->items[1]->size, 14u);
    EXPECT_EQ(lists->items[1]->offset + lists->items[1]->size, block.size());

    // Items may share a list; a count of zero is a valid, empty array.
    PutU32(block, 12, 18);
    EXPECT_EQ(ParseShellIdLists(block)->items[1]->offset, 18u);
    PutU32(block, 0, 0);
    EXPECT_TRUE(ParseShellIdLists(block)->items.empty());
}

TEST(DroppedShellIdLists, ChecksEveryOffsetAndChain) {
    Bytes block;
    PutU32(block, 0, 3);
    PutU32(block, 4, 20);
    PutU32(block, 8, 22);
    PutU32(block, 12, 1000);  // past the block
    PutU32(block, 16, 28);    // a chain that runs off the end
    AppendIdList(block, {});
    AppendIdList(block, {2});
    AppendU16(block, 40);  // claims 40 bytes, 4 remain
    AppendU16(block, 0);
    const auto lists = ParseShellIdLists(block);
    ASSERT_TRUE(lists);
    ASSERT_EQ(lists->items.size(), 3u);
    EXPECT_TRUE(lists->items[0]);
    EXPECT_FALSE(lists->items[1]);
    EXPECT_FALSE(lists->items[2]);

    // Links shorter than their length field would never advance, or step into their own field.
    Bytes loop = block;
    loop[28] = 0;
    loop[29] = 0;  // make the third item sound first, then break it
    EXPECT_TRUE(ParseShellIdLists(loop)->items[2]);
    loop[28] = 1;
    EXPECT_FALSE(ParseShellIdLists(loop)->items[2]);
    // A list whose terminator is cut off after one byte.
    Bytes cut = block;
    cut.resize(31);
    cut[28] = 2;
    cut[29] = 0;
    EXPECT_FALSE(ParseShellIdLists(cut)->items[2]);

    // Counts that the offsets cannot fit in, a damaged parent, and blocks too short for a header.
    Bytes counted = block;
    PutU32(counted, 0, 7);
    EXPECT_FALSE(ParseShellIdLists(counted));
    PutU32(counted, 0, 0xFFFFFFFF);
    EXPECT_FALSE(ParseShellIdLists(counted));
    Bytes orphan = block;
    PutU32(orphan, 4, static_cast<uint32_t>(block.size()));
    EXPECT_FALSE(ParseShellIdLists(orphan));
    EXPECT_FALSE(ParseShellIdLists(Bytes{1, 0, 0, 0}));
    EXPECT_FALSE(ParseShellIdLists(Bytes{}));
}

TEST(DroppedDescriptor, ReadsTheFirstNameUpToItsEnd) {
    Bytes field;
    AppendChars(field, std::string("Example.url\0junk", 16));
    field.resize(kDescriptorNameLength + 200, 'z');
    EXPECT_EQ(FirstDescriptorName(Descriptor(2, field)), "Example.url");

    Bytes wideField;
    AppendWide(wideField, u"\u00c9t\u00e9.URL");
    AppendU16(wideField, 0);
    AppendWide(wideField, u"junk");
    EXPECT_EQ(FirstDescriptorNameWide(Descriptor(1, wideField, true)),
              UnitsOf(u"\u00c9t\u00e9.URL"));

    // A name that fills the whole field stops at its limit, not at the next descriptor.
    const Bytes full(kDescriptorNameLength + 10, 'n');
    EXPECT_EQ(FirstDescriptorName(Descriptor(1, full))->size(), kDescriptorNameLength);
    Bytes wideFull;
    for (size_t i = 0; i < kDescriptorNameLength + 10; ++i)
        AppendU16(wideFull, u'n');
    EXPECT_EQ(FirstDescriptorNameWide(Descriptor(1, wideFull, true))->size(),
              kDescriptorNameLength);
}

TEST(DroppedDescriptor, ShortBlocksAndEmptyGroupsGiveNoName) {
    Bytes field;
    AppendChars(field, std::string("a.url\0", 6));
    EXPECT_FALSE(FirstDescriptorName(Descriptor(0, field)));
    EXPECT_FALSE(FirstDescriptorNameWide(Descriptor(0, field, true)));
    EXPECT_FALSE(FirstDescriptorName(Bytes{}));
    EXPECT_EQ(FirstDescriptorName(Descriptor(1, {})), "");
    // A block that ends before its first descriptor does gives no name, even when the whole name
    // and its NUL lie inside it.
    Bytes cut = Descriptor(1, field);
    EXPECT_EQ(FirstDescriptorName(cut), "a.url");
    cut.pop_back();
    EXPECT_FALSE(FirstDescriptorName(cut));
    Bytes wideField;
    AppendWide(wideField, u"a.url");
    AppendU16(wideField, 0);
    Bytes wideCut = Descriptor(1, wideField, true);
    EXPECT_EQ(FirstDescriptorNameWide(wideCut), UnitsOf(u"a.url"));
    wideCut.pop_back();
    EXPECT_FALSE(FirstDescriptorNameWide(wideCut));
    // An 8-bit descriptor is too short to be read as a wide one.
    EXPECT_FALSE(FirstDescriptorNameWide(Descriptor(1, field)));
}

TEST(DroppedLinkNames, UrlExtensionAndTitles) {
    EXPECT_TRUE(HasUrlExtension(std::string_view("Example.url")));
    EXPECT_TRUE(HasUrlExtension(std::string_view("Example.URL")));
    EXPECT_TRUE(HasUrlExtension(std::wstring_view(L"C:\\Links\\Example.uRl")));
    EXPECT_FALSE(HasUrlExtension(std::string_view("Example.url.txt")));
    EXPECT_FALSE(HasUrlExtension(std::string_view("Exampleurl")));
    EXPECT_FALSE(HasUrlExtension(std::string_view("url")));
    EXPECT_FALSE(HasUrlExtension(std::wstring_view(L"Example.ur\u0131")));  // dotless i

    EXPECT_EQ(UrlNameTitle("Example.url"), "Example");
    EXPECT_EQ(UrlNameTitle("Site.News.URL"), "Site.News");
    EXPECT_EQ(UrlNameTitle("Links\\Example.url"), "Links\\Example");
    EXPECT_EQ(UrlFileTitle(L"C:\\Links\\Example.url"), L"Example");
    EXPECT_EQ(UrlFileTitle(L"\\\\server\\share\\My.Site.Url"), L"My.Site");
    EXPECT_EQ(UrlFileTitle(L"C:Example.url"), L"Example");
}

TEST(DroppedText, EndsAtItsFirstNulAndIsAUrlWithASchemeFirst) {
    EXPECT_EQ(TextUpToNul(Bytes{'a', 'b', 0, 'c'}), "ab");
    EXPECT_EQ(TextUpToNul(Bytes{'a', 'b'}), "ab");
    EXPECT_EQ(TextUpToNul(Bytes{}), "");

    EXPECT_TRUE(LooksLikeUrl("http://example.com/"));
    EXPECT_TRUE(LooksLikeUrl("x://"));
    EXPECT_TRUE(LooksLikeUrl("see https://example.com"));
    EXPECT_FALSE(LooksLikeUrl("://example.com"));
    EXPECT_FALSE(LooksLikeUrl("example.com"));
    EXPECT_FALSE(LooksLikeUrl("C:\\Docs\\letter.txt"));
    EXPECT_FALSE(LooksLikeUrl(""));
}

TEST(InternetShortcutText, FindsTheUrlOfTheShortcutSection) {
    EXPECT_EQ(ParseInternetShortcut("[InternetShortcut]\r\nURL=https://example.com/a?b=c\r\n"),
              "https://example.com/a?b=c");
    // Any case, any line end, other keys first; the first URL line wins and keeps its spaces.
    EXPECT_EQ(ParseInternetShortcut("[DEFAULT]\nBASEURL=x\n[internetshortcut]\nIconIndex=0\n"
                                    "url=http://a b \nURL=http://second\n"),
              "http://a b ");
    EXPECT_EQ(ParseInternetShortcut("[InternetShortcut]\rWorkingDirectory=C:\\\rURL=ftp://f\r"),
              "ftp://f");
    EXPECT_EQ(ParseInternetShortcut("[InternetShortcut]\r\n\r\nURL="), "");
    // A heading that repeats as the last line does not hide the first one.
    EXPECT_EQ(ParseInternetShortcut("[InternetShortcut]\nURL=u\n[InternetShortcut]"), "u");
}

TEST(InternetShortcutText, GivesNothingWithoutAUrlInItsSection) {
    EXPECT_FALSE(ParseInternetShortcut(""));
    EXPECT_FALSE(ParseInternetShortcut("URL=http://example.com"));
    EXPECT_FALSE(ParseInternetShortcut("[Other]\nURL=http://example.com"));
    // The heading as the last line, with or without a line end after it.
    EXPECT_FALSE(ParseInternetShortcut("URL=http://a\n[InternetShortcut]"));
    EXPECT_FALSE(ParseInternetShortcut("URL=http://a\r\n[InternetShortcut]\r\n"));
    // Another section before any URL line ends the search.
    EXPECT_FALSE(ParseInternetShortcut("[InternetShortcut]\nIconFile=x\n[Other]\nURL=http://a"));
    // The heading must be the whole line, and the key the start of one.
    EXPECT_FALSE(ParseInternetShortcut(" [InternetShortcut]\nURL=http://a"));
    EXPECT_FALSE(ParseInternetShortcut("[InternetShortcut] \nURL=http://a"));
    EXPECT_FALSE(ParseInternetShortcut("[InternetShortcut]\n URL=http://a"));
    EXPECT_FALSE(ParseInternetShortcut("[InternetShortcut]\nURLs=http://a"));
    // Binary noise around the heading.
    EXPECT_FALSE(ParseInternetShortcut(std::string_view("\0\xFF[InternetShortcut]\n\0URL=a", 27)));
}

TEST(DropEffect, FollowsTheKeysWithinWhatTheSourceAllows) {
    const uint32_t copyLink = kDropEffectCopy | kDropEffectLink;
    const uint32_t all = copyLink | kDropEffectMove;
    // No key asks for a move, which the windows never take: the first allowed effect instead.
    EXPECT_EQ(ChooseDropEffect(false, false, all), kDropEffectCopy);
    EXPECT_EQ(ChooseDropEffect(false, true, copyLink), kDropEffectCopy);
    EXPECT_EQ(ChooseDropEffect(true, false, copyLink), kDropEffectCopy);
    EXPECT_EQ(ChooseDropEffect(true, true, copyLink), kDropEffectLink);
    // A source that allows links only.
    EXPECT_EQ(ChooseDropEffect(false, false, kDropEffectLink), kDropEffectLink);
    EXPECT_EQ(ChooseDropEffect(true, false, kDropEffectLink), kDropEffectLink);
    // Asking for a link where only copies are allowed.
    EXPECT_EQ(ChooseDropEffect(true, true, kDropEffectCopy), kDropEffectCopy);
    // Moves, scrolling and unknown bits are never offered back.
    EXPECT_EQ(ChooseDropEffect(false, false, kDropEffectMove), kDropEffectNone);
    EXPECT_EQ(ChooseDropEffect(true, true, kDropEffectMove | 0x80000000u), kDropEffectNone);
    EXPECT_EQ(ChooseDropEffect(true, false, kDropEffectNone), kDropEffectNone);
}

}  // namespace
}  // namespace corvalo
