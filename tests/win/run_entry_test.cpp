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

TEST_F(RunEntryTest, WritesThePathInQuotesAndRemovesItAgain) {
    const std::wstring path = L"C:\\Program Files\\My Tools\\Launcher.exe";
    const std::wstring name = ExeBaseName(path);
    EXPECT_EQ(name, L"Launcher");
    EXPECT_FALSE(RunEntryExists(name, path, opener));
    SetRunEntry(name, path, true, opener);
    EXPECT_TRUE(RunEntryExists(name, path, opener));
    // Quoted, so that "C:\Program.exe" is never started in its place at log-on.
    EXPECT_EQ(StoredValue(name), L"\"" + path + L"\"");
    SetRunEntry(name, path, false, opener);
    EXPECT_FALSE(RunEntryExists(name, path, opener));
    SetRunEntry(name, path, false, opener);  // deleting a missing value is ignored
}

TEST_F(RunEntryTest, OnlyAValueThatStartsThisExecutableIsItsRegistration) {
    const std::wstring path = L"C:\\Tools\\my.tool.exe";
    EXPECT_EQ(ExeBaseName(path), L"my");
    auto store = [](const wchar_t* text) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, L"my", REG_SZ, text,
                        static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    };
    // Another program's value of the same name shows no tick, and unticking leaves it alone.
    Open(true);
    store(L"\"C:\\Other\\my.exe\" /background");
    EXPECT_FALSE(RunEntryExists(L"my", path, opener));
    SetRunEntry(L"my", path, false, opener);
    EXPECT_EQ(StoredValue(L"my"), L"\"C:\\Other\\my.exe\" /background");
    // An earlier version's bare path counts, in any case, and is removed.
    store(L"c:\\TOOLS\\My.Tool.exe");
    EXPECT_TRUE(RunEntryExists(L"my", path, opener));
    SetRunEntry(L"my", path, false, opener);
    EXPECT_EQ(StoredValue(L"my"), L"<none>");
    // After the program has moved, its old value starts nothing of it; ticking writes the new path.
    SetRunEntry(L"my", L"C:\\Old\\my.tool.exe", true, opener);
    EXPECT_FALSE(RunEntryExists(L"my", path, opener));
    SetRunEntry(L"my", path, true, opener);
    EXPECT_TRUE(RunEntryExists(L"my", path, opener));
    // Another tool's changes show at once.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kTestKey, L"my");
    EXPECT_FALSE(RunEntryExists(L"my", path, opener));
}

TEST_F(RunEntryTest, ANameWithoutADotAddressesTheDefaultValue) {
    const std::wstring name = ExeBaseName(L"C:\\tools\\launcher");
    EXPECT_EQ(name, L"");
    SetRunEntry(name, L"C:\\tools\\launcher", true, opener);
    EXPECT_EQ(StoredValue(L""), L"\"C:\\tools\\launcher\"");
}

TEST_F(RunEntryTest, AMissingKeyReadsAsNotRegistered) {
    EXPECT_FALSE(RunEntryExists(L"Launcher", L"C:\\a.exe", opener));
    RunKeyOpener failing = [](bool) { return ScopedRegistryKey(); };
    SetRunEntry(L"Launcher", L"C:\\a.exe", true, failing);  // nothing happens, nothing reported
    EXPECT_FALSE(RunEntryExists(L"Launcher", L"C:\\a.exe", failing));
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
    EXPECT_FALSE(RunEntryExists(L"Launcher", L"C:\\a.exe", opener));
}

}  // namespace
}  // namespace corvalo
