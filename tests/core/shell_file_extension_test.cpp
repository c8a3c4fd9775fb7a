#include "shell/file_extension.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(FileExtension, IsTheTextFromTheLastFullStopOfTheFileName) {
    EXPECT_EQ(FileExtension(std::string("C:\\Docs\\letter.txt")), ".txt");
    EXPECT_EQ(FileExtension(std::string("archive.tar.gz")), ".gz");
    EXPECT_EQ(FileExtension(std::string("C:/Docs/letter.TXT")), ".TXT");
    EXPECT_EQ(FileExtension(std::string("\\\\server\\share\\setup.exe")), ".exe");
    // The whole name counts: only its very first character is no extension's full stop.
    EXPECT_EQ(FileExtension(std::string("C:\\Users\\me\\.profile")), ".profile");
    EXPECT_EQ(FileExtension(std::string("..")), ".");
    // A trailing full stop is an extension of its own, without letters.
    EXPECT_EQ(FileExtension(std::string("C:\\Docs\\letter.")), ".");
}

TEST(FileExtension, StopsAtFolderSeparatorsAndColons) {
    EXPECT_EQ(FileExtension(std::string("C:\\my.dir\\letter")), "");
    EXPECT_EQ(FileExtension(std::string("C:/my.dir/letter")), "");
    EXPECT_EQ(FileExtension(std::string("letter.txt:stream")), "");
    EXPECT_EQ(FileExtension(std::string("C:letter")), "");
    EXPECT_EQ(FileExtension(std::string("C:\\")), "");
    EXPECT_EQ(FileExtension(std::string("C:")), "");
    EXPECT_EQ(FileExtension(std::string("letter")), "");
    EXPECT_EQ(FileExtension(std::string("")), "");
}

TEST(FileExtension, ALeadingFullStopIsNoExtension) {
    EXPECT_EQ(FileExtension(std::string(".profile")), "");
    EXPECT_EQ(FileExtension(std::string(".")), "");
}

TEST(FileExtension, KeepsCodePageCharactersAndWildcards) {
    EXPECT_EQ(FileExtension(std::string("C:\\Caf\xE9\\men\xFC.d\xE9j\xE0")), ".d\xE9j\xE0");
    EXPECT_EQ(FileExtension(std::string("C:\\*.*")), ".*");
    EXPECT_EQ(FileExtension(std::string("?.t?t")), ".t?t");
}

TEST(FileExtension, WideNamesFollowTheSameRule) {
    EXPECT_EQ(FileExtension(std::wstring_view(L"C:\\Docs\\letter.txt")), L".txt");
    EXPECT_EQ(FileExtension(std::wstring_view(L"C:\\my.dir\\letter")), L"");
    EXPECT_EQ(FileExtension(std::wstring_view(L".profile")), L"");
    EXPECT_EQ(FileExtension(std::wstring_view(L"\u03b1\u03b2.\u03b3")), L".\u03b3");
}

}  // namespace
}  // namespace corvalo
