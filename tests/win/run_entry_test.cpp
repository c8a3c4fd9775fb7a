// The Run-key registration, against a key of the test's own so the user's real Run key is
// untouched.
#include "app/data_paths.h"
#include "app/run_entry_win.h"
#include "base/error.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

constexpr wchar_t kTestKey[] = L"Software\\CorvaloTests\\Run";

class RunEntryTest : public ::testing::Test {
  protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\CorvaloTests"); }

    static ScopedRegistryKey Open(bool create, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        const LONG result = create ? RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0,
                                                     access, nullptr, &key, nullptr)
                                   : RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, access, &key);
        return ScopedRegistryKey(result == ERROR_SUCCESS ? key : nullptr);
    }
    RunKeyOpener opener = [](bool create) { return Open(create); };

    std::wstring StoredValue(const std::wstring& name) {
        ScopedRegistryKey key = Open(false);
        wchar_t data[512] = {};
        DWORD type = 0;
        DWORD size = sizeof(data);
        if (!key || RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
            return L"<none>";
        }
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size % 2, 0u);
        EXPECT_EQ(data[size / 2 - 1], L'\0') << "stored with its terminating zero";
        return data;
    }
};

TEST_F(RunEntryTest, WritesThePathUnquotedAndRemovesItAgain) {
    const std::wstring path = L"C:\\Program Files\\My Tools\\Launcher.exe";
    const std::wstring name = ExeBaseName(path);
    EXPECT_EQ(name, L"Launcher");
    EXPECT_FALSE(RunEntryExists(name, opener));
    SetRunEntry(name, path, true, opener);
    EXPECT_TRUE(RunEntryExists(name, opener));
    EXPECT_EQ(StoredValue(name), path);
    SetRunEntry(name, path, false, opener);
    EXPECT_FALSE(RunEntryExists(name, opener));
    SetRunEntry(name, path, false, opener);  // deleting a missing value is ignored
}

TEST_F(RunEntryTest, OnlyTheNameIsTestedAndAnotherToolsChangesShowAtOnce) {
    EXPECT_EQ(ExeBaseName(L"C:\\x\\my.tool.exe"), L"my");
    SetRunEntry(L"my", L"C:\\old\\my.tool.exe", true, opener);
    EXPECT_TRUE(RunEntryExists(L"my", opener));  // even though the program has moved
    SetRunEntry(L"my", L"D:\\new\\my.tool.exe", true, opener);
    EXPECT_EQ(StoredValue(L"my"), L"D:\\new\\my.tool.exe");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kTestKey, L"my");
    EXPECT_FALSE(RunEntryExists(L"my", opener));
}

TEST_F(RunEntryTest, ANameWithoutADotAddressesTheDefaultValue) {
    const std::wstring name = ExeBaseName(L"C:\\tools\\launcher");
    EXPECT_EQ(name, L"");
    SetRunEntry(name, L"C:\\tools\\launcher", true, opener);
    EXPECT_EQ(StoredValue(L""), L"C:\\tools\\launcher");
}

TEST_F(RunEntryTest, AMissingKeyReadsAsNotRegistered) {
    EXPECT_FALSE(RunEntryExists(L"Launcher", opener));
    RunKeyOpener failing = [](bool) { return ScopedRegistryKey(); };
    SetRunEntry(L"Launcher", L"C:\\a.exe", true, failing);  // nothing happens, nothing reported
    EXPECT_FALSE(RunEntryExists(L"Launcher", failing));
}

TEST_F(RunEntryTest, AWriteThatFailsIsReportedWithTheValueName) {
    Open(true);
    RunKeyOpener readOnly = [](bool) { return Open(false, KEY_READ); };
    try {
        SetRunEntry(L"Launcher", L"C:\\a.exe", true, readOnly);
        ADD_FAILURE() << "the write should fail";
    } catch (const Error& error) {
        EXPECT_EQ(error.Message(), L"Failed to set data for 'Launcher'");
    }
    EXPECT_FALSE(RunEntryExists(L"Launcher", opener));
}

}  // namespace
}  // namespace corvalo
