#include "shell/special_folder_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <set>
#include <string>

namespace corvalo {
namespace {

int PositionOf(const char* name) {
    for (size_t i = 0; i < kSpecialFolders.size(); ++i) {
        if (std::string(kSpecialFolders[i].name) == name)
            return static_cast<int>(i);
    }
    return -1;
}

TEST(SpecialFolderTable, NamesEachIdentifierOnce) {
    std::set<int> identifiers;
    std::set<std::string> names;
    for (const SpecialFolder& folder : kSpecialFolders) {
        identifiers.insert(folder.csidl);
        names.insert(folder.name);
        EXPECT_GE(folder.csidl, 0x00);
        EXPECT_LE(folder.csidl, 0x3e);
    }
    EXPECT_EQ(identifiers.size(), kSpecialFolders.size());
    EXPECT_EQ(names.size(), kSpecialFolders.size());
}

TEST(SpecialFolderTable, PutsTheDesktopBeforeItsDirectory) {
    // Both have the same path; the one added first keeps it, so the desktop shows its own icon.
    ASSERT_GE(PositionOf("CSIDL_DESKTOP"), 0);
    ASSERT_GE(PositionOf("CSIDL_DESKTOPDIRECTORY"), 0);
    EXPECT_LT(PositionOf("CSIDL_DESKTOP"), PositionOf("CSIDL_DESKTOPDIRECTORY"));
    EXPECT_EQ(kSpecialFolders[PositionOf("CSIDL_DESKTOP")].csidl, 0x00);
    EXPECT_EQ(kSpecialFolders[PositionOf("CSIDL_DESKTOPDIRECTORY")].csidl, 0x10);
    EXPECT_EQ(kSpecialFolders[PositionOf("CSIDL_WINDOWS")].csidl, 0x24);
    // Personal and My Documents share a path too; My Documents comes first.
    EXPECT_LT(PositionOf("CSIDL_MYDOCUMENTS"), PositionOf("CSIDL_PERSONAL"));
}

TEST(SpecialFolderMap, FindsPathsWithoutRegardToCaseOrATrailingBackslash) {
    SpecialFolderMap map;
    EXPECT_TRUE(map.Add("C:\\windows", 0x24));
    EXPECT_TRUE(map.Add("C:\\users\\Public\\Desktop\\", 0x19));
    EXPECT_EQ(map.Find("C:\\windows"), 0x24);
    EXPECT_EQ(map.Find("c:\\WINDOWS"), 0x24);
    EXPECT_EQ(map.Find("C:\\Windows\\"), 0x24);
    EXPECT_EQ(map.Find("C:\\USERS\\public\\desktop"), 0x19);
    EXPECT_EQ(map.Find("C:\\Users\\Public\\Desktop\\"), 0x19);
    // Only the whole path counts.
    EXPECT_EQ(map.Find("C:\\Windows\\system32"), std::nullopt);
    EXPECT_EQ(map.Find("C:\\Window"), std::nullopt);
    EXPECT_EQ(map.Find("C:\\Windowsx"), std::nullopt);
    EXPECT_EQ(map.Find(""), std::nullopt);
    EXPECT_EQ(map.Find("\\"), std::nullopt);
}

TEST(SpecialFolderMap, TheFirstIdentifierAddedKeepsAPath) {
    SpecialFolderMap map;
    EXPECT_TRUE(map.Add("C:\\users\\me\\Desktop", 0x00));
    EXPECT_FALSE(map.Add("C:\\Users\\Me\\Desktop\\", 0x10));
    EXPECT_FALSE(map.Add("c:\\users\\me\\desktop", 0x19));
    EXPECT_EQ(map.Size(), 1u);
    EXPECT_EQ(map.Find("C:\\users\\me\\Desktop"), 0x00);
}

TEST(SpecialFolderMap, KeepsADriveRootWithoutItsBackslash) {
    SpecialFolderMap map;
    EXPECT_TRUE(map.Add("C:\\", 0x26));
    EXPECT_EQ(map.Find("C:"), 0x26);
    EXPECT_EQ(map.Find("c:\\"), 0x26);
    EXPECT_FALSE(map.Add("", 0x05));
    EXPECT_FALSE(map.Add("\\", 0x05));
    EXPECT_EQ(map.Size(), 1u);
}

// Filled in table order with the paths a real profile gives, the map answers every path with the
// first identifier of that path, whatever order the paths sort in.
TEST(SpecialFolderMap, AnswersLikeALinearSearchOverManyPaths) {
    std::mt19937 random(4711);
    const char letters[] = "abcXYZ. _/";
    SpecialFolderMap map;
    std::map<std::string, int> expected;  // lower-case path to the first identifier
    for (int i = 0; i < 600; ++i) {
        std::string path = "C:\\";
        const int length = 1 + static_cast<int>(random() % 6);
        for (int c = 0; c < length; ++c)
            path += letters[random() % (sizeof(letters) - 1)];
        if (random() % 3 == 0) {
            for (char& c : path)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        std::string key = path;
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const bool fresh = expected.emplace(key, i).second;
        EXPECT_EQ(map.Add(path, i), fresh) << path;
    }
    EXPECT_EQ(map.Size(), expected.size());
    for (const auto& [key, identifier] : expected) {
        EXPECT_EQ(map.Find(key), identifier) << key;
        EXPECT_EQ(map.Find(key + "\\"), identifier) << key;
    }
    EXPECT_EQ(map.Find("C:\\abcabcabc"), std::nullopt);
    EXPECT_EQ(map.Find("D:\\a"), std::nullopt);
}

}  // namespace
}  // namespace corvalo
