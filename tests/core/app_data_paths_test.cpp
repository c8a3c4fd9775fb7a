#include "app/data_paths.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(ChangeFileExt, ReplacesTheExtensionOfTheFileName) {
    EXPECT_EQ(ChangeFileExt(L"C:\\Tools\\corvalo.exe", L".ini"), L"C:\\Tools\\corvalo.ini");
    EXPECT_EQ(ChangeFileExt(L"C:\\Tools\\corvalo.v2.exe", L".icons"),
              L"C:\\Tools\\corvalo.v2.icons");
    EXPECT_EQ(ChangeFileExt(L"corvalo.exe", L".bmp"), L"corvalo.bmp");
    EXPECT_EQ(ChangeFileExt(L"C:\\Tools\\corvalo.", L".ini"), L"C:\\Tools\\corvalo.ini");
    EXPECT_EQ(ChangeFileExt(L"C:\\Tools\\corvalo.exe", L""), L"C:\\Tools\\corvalo");
}

TEST(ChangeFileExt, AppendsWhenTheFileNameHasNoDot) {
    // The dot of a folder name is not the file's extension.
    EXPECT_EQ(ChangeFileExt(L"C:\\my.dir\\corvalo", L".ini"), L"C:\\my.dir\\corvalo.ini");
    EXPECT_EQ(ChangeFileExt(L"C:corvalo", L".ini"), L"C:corvalo.ini");
    EXPECT_EQ(ChangeFileExt(L"C:", L".ini"), L"C:.ini");
    EXPECT_EQ(ChangeFileExt(L"C:\\", L".ini"), L"C:\\.ini");
    EXPECT_EQ(ChangeFileExt(L"corvalo", L".data"), L"corvalo.data");
    EXPECT_EQ(ChangeFileExt(L"", L".bak"), L".bak");
    // A ":" after the last "." counts like a folder separator.
    EXPECT_EQ(ChangeFileExt(L"a.b:c", L".ini"), L"a.b:c.ini");
}

TEST(ChangeFileExt, EightBitPathsFollowTheSameRule) {
    EXPECT_EQ(ChangeFileExt(std::string("C:\\Tools\\corvalo.exe"), std::string(".icons")),
              "C:\\Tools\\corvalo.icons");
    EXPECT_EQ(ChangeFileExt(std::string("C:\\my.dir\\corvalo"), std::string(".bmp")),
              "C:\\my.dir\\corvalo.bmp");
    // Code-page characters pass through unchanged.
    EXPECT_EQ(ChangeFileExt(std::string("C:\\Caf\xE9\\men\xFC.v1.exe"), std::string(".bmp")),
              "C:\\Caf\xE9\\men\xFC.v1.bmp");
    EXPECT_EQ(ChangeFileExt(std::string("C:\\a?b\\c"), std::string(".icons")), "C:\\a?b\\c.icons");
}

TEST(BasePath, IsTheExecutablePathWithoutItsExtension) {
    EXPECT_EQ(BasePath(L"C:\\Program Files\\Corvalo\\corvalo.exe"),
              L"C:\\Program Files\\Corvalo\\corvalo");
    EXPECT_EQ(BasePath(L"C:\\my.dir\\corvalo"), L"C:\\my.dir\\corvalo");
    // Every data file is the base path with its extension, the same as replacing the extension.
    for (const wchar_t* exe :
         {L"C:\\Tools\\corvalo.exe", L"C:\\my.dir\\corvalo", L"D:corvalo.v2.exe"}) {
        EXPECT_EQ(BasePath(exe) + L".ini", ChangeFileExt(exe, L".ini")) << exe;
    }
}

TEST(ExeBaseName, IsTheFileNameUpToItsFirstDot) {
    EXPECT_EQ(ExeBaseName(L"C:\\Tools\\corvalo.exe"), L"corvalo");
    EXPECT_EQ(ExeBaseName(L"C:\\Tools\\corvalo.v2.exe"), L"corvalo");
    EXPECT_EQ(ExeBaseName(L"C:corvalo.exe"), L"corvalo");
    EXPECT_EQ(ExeBaseName(L"corvalo.exe"), L"corvalo");
    EXPECT_EQ(ExeBaseName(L"C:\\my.dir\\launch.exe"), L"launch");
    EXPECT_EQ(ExeBaseName(L"C:\\Tools\\.hidden.exe"), L"");
}

TEST(ExeBaseName, IsEmptyWhenTheFileNameHasNoDot) {
    EXPECT_EQ(ExeBaseName(L"C:\\my.dir\\corvalo"), L"");
    EXPECT_EQ(ExeBaseName(L"C:\\Tools\\"), L"");
    EXPECT_EQ(ExeBaseName(L""), L"");
}

}  // namespace
}  // namespace corvalo
