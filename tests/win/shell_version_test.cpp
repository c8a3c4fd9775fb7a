// Shortcut targets and product names against the real shell and version functions, with small
// test programs built beside the test exe (tests/win/data).

#include "base/scoped_win.h"
#include "base/text.h"
#include "shell/shortcut_target_win.h"
#include "shell/version_info_win.h"
#include "support/test_support_win.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace corvalo {
namespace {

using test::SaveShortcut;
using test::TempFolder;
using test::TestProgram;

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The raw version resource of a program.
std::vector<uint8_t> VersionResourceOf(const std::wstring& program) {
    ScopedLibrary module(LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        return {};
    HRSRC found = FindResourceW(module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    HGLOBAL loaded = found ? LoadResource(module.Get(), found) : nullptr;
    const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!data)
        return {};
    return std::vector<uint8_t>(data, data + SizeofResource(module.Get(), found));
}

// A copy of the program without version information, given `resource` as its version resource.
std::wstring ProgramWithVersionResource(const TempFolder& folder, const std::wstring& name,
                                        const std::vector<uint8_t>& resource) {
    const std::wstring path = folder.File(name);
    EXPECT_TRUE(CopyFileW(TestProgram(L"shell_no_version").c_str(), path.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    EXPECT_NE(update, nullptr);
    if (!update)
        return path;
    EXPECT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                const_cast<uint8_t*>(resource.data()),
                                static_cast<DWORD>(resource.size())));
    EXPECT_TRUE(EndUpdateResourceW(update, FALSE));
    return path;
}

// Where a key of the 32-bit layout starts its node.
size_t NodeOfKey(const std::vector<uint8_t>& block, const char* key) {
    std::vector<uint8_t> pattern;
    for (const char* c = key; *c; ++c) {
        pattern.push_back(static_cast<uint8_t>(*c));
        pattern.push_back(0);
    }
    pattern.push_back(0);
    pattern.push_back(0);
    const auto at = std::search(block.begin(), block.end(), pattern.begin(), pattern.end());
    EXPECT_NE(at, block.end()) << key;
    return at == block.end() ? 0 : static_cast<size_t>(at - block.begin()) - 6;
}

void SetLength(std::vector<uint8_t>& block, size_t node, size_t length) {
    block[node] = static_cast<uint8_t>(length);
    block[node + 1] = static_cast<uint8_t>(length >> 8);
}

size_t LengthOf(const std::vector<uint8_t>& block, size_t node) {
    return block[node] | (block[node + 1] << 8);
}

// The same block with the translation table before the string tables (the two children of the
// root swapped).
std::vector<uint8_t> TranslationFirst(const std::vector<uint8_t>& block) {
    const size_t strings = NodeOfKey(block, "StringFileInfo");
    const size_t variables = NodeOfKey(block, "VarFileInfo");
    EXPECT_LT(strings, variables);
    auto padded = [&](size_t node) {
        std::vector<uint8_t> bytes(block.begin() + node,
                                   block.begin() + node + LengthOf(block, node));
        bytes.resize((bytes.size() + 3) & ~size_t(3), 0);
        return bytes;
    };
    std::vector<uint8_t> out(block.begin(), block.begin() + strings);
    for (size_t node : {variables, strings}) {
        const std::vector<uint8_t> bytes = padded(node);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    SetLength(out, 0, out.size());
    return out;
}

// Runs `work` on a thread of its own and fails instead of hanging when it does not end in time.
template <typename Work>
void RunOnThreadWithin(DWORD milliseconds, Work work) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread thread([&] {
        work();
        SetEvent(done);
    });
    const DWORD waited = WaitForSingleObject(done, milliseconds);
    CloseHandle(done);
    if (waited != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the lookups did not end within " << milliseconds << " ms";
        // The work refers to this frame: nothing sane is left but to end here.
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    thread.join();
}

// --- Shortcut targets ---------------------------------------------------------------------------

TEST(ShortcutTarget, AShortcutToAProgramGivesItsPathAndThatProgramsProductName) {
    TempFolder folder;
    const std::wstring program = TestProgram(L"shell_tool");
    const std::wstring shortcut = folder.File(L"Tool.lnk");
    SaveShortcut(shortcut, program);

    const std::wstring target = GetShortcutTarget(shortcut);
    EXPECT_TRUE(SameFile(target, program)) << target;
    VersionInfoReader reader;
    EXPECT_EQ(GetProductName(reader, target), L"Shell Test Tool");
}

TEST(ShortcutTarget, AFileThatIsNoShortcutGivesNothing) {
    TempFolder folder;
    const std::wstring text = folder.File(L"notes.lnk");
    test::WriteBytes(text, test::Bytes({'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'k'}));
    const std::wstring empty = folder.File(L"empty.lnk");
    test::WriteBytes(empty, {});
    RunOnThreadWithin(60000, [&] {
        for (const std::wstring& name :
             {text, empty, TestProgram(L"shell_tool"), folder.Path(), folder.File(L"missing.lnk"),
              std::wstring(), std::wstring(L"http://example.com/"), std::wstring(L"COM1"),
              std::wstring(L"AUX"), std::wstring(L"NUL"), std::wstring(L"CON"),
              std::wstring(L"\\\\.\\pipe\\corvalo-none"), std::wstring(5000, L'x')}) {
            EXPECT_EQ(GetShortcutTarget(name), L"") << name.substr(0, 80);
        }
    });
}

TEST(ShortcutTarget, AShortcutToSomethingWithoutAPathGivesNothing) {
    TempFolder folder;
    LPITEMIDLIST computer = nullptr;
    ASSERT_HRESULT_SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    ScopedItemIdList owned(computer);
    const std::wstring shortcut = folder.File(L"Computer.lnk");
    SaveShortcut(shortcut, {}, computer);
    EXPECT_EQ(GetShortcutTarget(shortcut), L"");
}

TEST(ShortcutTarget, WorksOnAnyThreadAndLeavesComAsItFoundIt) {
    TempFolder folder;
    const std::wstring program = TestProgram(L"shell_tool");
    const std::wstring shortcut = folder.File(L"Tool.lnk");
    SaveShortcut(shortcut, program);

    // A thread without COM: set up for the call and taken down again, so the thread is free to
    // choose its apartment afterwards.
    std::thread bare([&] {
        EXPECT_TRUE(SameFile(GetShortcutTarget(shortcut), program));
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
    bare.join();

    // A thread in the multithreaded apartment refuses the lookup's set-up; the lookup works all
    // the same and must not take down the thread's own COM.
    std::thread free([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_TRUE(SameFile(GetShortcutTarget(shortcut), program));
        ComPtr<IShellLinkW> link;
        EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IShellLinkW,
                                                  reinterpret_cast<void**>(link.Receive())));
        link.Reset();
        CoUninitialize();
        // One uninitialisation ended it: the lookup left no set-up of its own behind.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    });
    free.join();

    // The test's own thread, already set up: still set up afterwards.
    EXPECT_TRUE(SameFile(GetShortcutTarget(shortcut), program));
    EXPECT_TRUE(SameFile(GetShortcutTarget(shortcut), program));
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
}

// The shortcut's own name is read as UTF-16, so a name the ANSI code page cannot spell works.
// (The target here has a plain name: Wine's shortcut objects keep their target in 8-bit text.)
TEST(ShortcutTarget, WorksWithShortcutNamesOutsideTheCodePage) {
    TempFolder folder;
    const std::wstring greek = folder.File(L"\u03a9\u03bc\u03ad\u03b3\u03b1");
    ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
    const std::wstring program = TestProgram(L"shell_tool");
    const std::wstring shortcut =
        greek + L"\\\u03c3\u03c5\u03bd\u03c4\u03cc\u03bc\u03b5\u03c5\u03c3\u03b7.lnk";
    SaveShortcut(shortcut, program);
    EXPECT_TRUE(SameFile(GetShortcutTarget(shortcut), program));
    // Its 8-bit form names nothing.
    EXPECT_EQ(GetShortcutTarget(AnsiToWide(WideToAnsi(shortcut))), L"");
}

// --- Product names ------------------------------------------------------------------------------

TEST(ProductName, TheReaderStartsWithTheProgramsOwnFile) {
    VersionInfoReader reader;
    EXPECT_EQ(reader.FileName(), WideToAnsi(TestProgram(L"win_tests")));
    ASSERT_TRUE(reader.HasVersionInfo());
    EXPECT_EQ(reader.StandardString(kProductNameIndex), "Corvalo");
    EXPECT_EQ(reader.FixedInfo().signature, 0xFEEF04BDu);
    EXPECT_EQ(reader.FixedInfo().fileVersionMs, 0x00010000u);
    EXPECT_EQ(reader.Translations(), (std::vector<Translation>{{0x0409, 1252}}));
    EXPECT_EQ(reader.CurrentTranslation(), 0);
    EXPECT_EQ(reader.CurrentTranslationKey(), "040904e4");
}

TEST(ProductName, AnEmptyNameGivesTheProgramsOwn) {
    VersionInfoReader reader;
    EXPECT_EQ(GetProductName(reader, TestProgram(L"shell_tool")), L"Shell Test Tool");
    EXPECT_EQ(GetProductName(reader, L""), L"Corvalo");
    EXPECT_EQ(reader.FileName(), WideToAnsi(TestProgram(L"win_tests")));
}

TEST(ProductName, ReadsTheStringsOfTheFirstTranslation) {
    VersionInfoReader reader;
    reader.SetFileName(WideToAnsi(TestProgram(L"shell_tool")));
    ASSERT_TRUE(reader.HasVersionInfo());
    EXPECT_EQ(reader.FixedInfo().fileVersionMs, 0x00020003u);
    EXPECT_EQ(reader.FixedInfo().fileVersionLs, 0x00040005u);
    EXPECT_EQ(reader.Translations(), (std::vector<Translation>{{0x0409, 1200}}));
    EXPECT_EQ(reader.StandardString(1), "Corvalo test data");
    EXPECT_EQ(reader.StandardString(kProductNameIndex), "Shell Test Tool");
    EXPECT_EQ(reader.StandardString(10), "2.3");
    EXPECT_EQ(reader.StandardString(0), "");  // no comments
    EXPECT_EQ(reader.StandardString(-1), "");
    EXPECT_EQ(reader.StandardString(12), "");
}

TEST(ProductName, IsEmptyWithoutATranslationTable) {
    VersionInfoReader reader;
    EXPECT_EQ(GetProductName(reader, TestProgram(L"shell_no_translation")), L"");
    EXPECT_TRUE(reader.HasVersionInfo());
    EXPECT_TRUE(reader.Translations().empty());
    EXPECT_EQ(reader.CurrentTranslation(), -1);
    EXPECT_EQ(reader.CurrentTranslationKey(), "");
    EXPECT_EQ(reader.StandardString(1), "");
}

TEST(ProductName, ComesFromTheFirstTranslationOnly) {
    VersionInfoReader reader;
    EXPECT_EQ(GetProductName(reader, TestProgram(L"shell_second_translation")), L"");
    EXPECT_EQ(reader.Translations(), (std::vector<Translation>{{0x0409, 1200}, {0x0407, 1252}}));
    EXPECT_EQ(reader.CurrentTranslationKey(), "040904b0");
    EXPECT_EQ(reader.StandardString(1), "Corvalo test data");
}

TEST(ProductName, IsEmptyForFilesWithoutVersionInformation) {
    TempFolder folder;
    const std::wstring document = folder.File(L"letter.txt");
    test::WriteBytes(document, test::Bytes({'H', 'i'}));
    VersionInfoReader reader;
    RunOnThreadWithin(60000, [&] {
        for (const std::wstring& name :
             {TestProgram(L"shell_no_version"), document, folder.Path(), folder.Path() + L"\\",
              folder.File(L"missing.exe"), std::wstring(L"http://example.com/"),
              std::wstring(L"https://example.com/setup.exe"), std::wstring(L"COM1"),
              std::wstring(L"AUX"), std::wstring(L"NUL"), std::wstring(L"CON"),
              std::wstring(L"C:\\COM1.exe"), std::wstring(L"\\\\.\\pipe\\corvalo-none"),
              std::wstring(5000, L'x')}) {
            EXPECT_EQ(GetProductName(reader, name), L"") << name.substr(0, 80);
            EXPECT_FALSE(reader.HasVersionInfo()) << name.substr(0, 80);
            EXPECT_EQ(reader.FixedInfo(), FixedFileInfo{});
            EXPECT_TRUE(reader.Translations().empty());
        }
    });
}

TEST(ProductName, TravelsThroughTheCodePage) {
    const std::wstring stored = L"Caf\u00e9 \u03a9mega";
    const std::wstring expected = AnsiToWide(WideToAnsi(stored));
    ASSERT_NE(expected, stored);
    VersionInfoReader reader;
    const std::wstring name = GetProductName(reader, TestProgram(L"shell_wide_name"));
    EXPECT_EQ(name, expected);
    EXPECT_EQ(name.substr(0, 5), L"Caf\u00e9 ");
}

TEST(ProductName, APathOutsideTheCodePageGivesNothingNotAnotherFilesName) {
    TempFolder folder;
    // Greek capital alpha looks like "A"; a conversion that took the look-alike would read the
    // program in the folder "A" instead.
    const std::wstring lookAlike = folder.File(L"A");
    const std::wstring greek = folder.File(L"\u0391");
    ASSERT_TRUE(CreateDirectoryW(lookAlike.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
    ASSERT_TRUE(
        CopyFileW(TestProgram(L"shell_tool").c_str(), (lookAlike + L"\\tool.exe").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(TestProgram(L"shell_tool").c_str(), (greek + L"\\tool.exe").c_str(), FALSE));

    VersionInfoReader reader;
    EXPECT_EQ(GetProductName(reader, lookAlike + L"\\tool.exe"), L"Shell Test Tool");
    EXPECT_EQ(GetProductName(reader, greek + L"\\tool.exe"), L"");
    EXPECT_EQ(WideToAnsi(greek).back(), '?');
}

TEST(ProductName, DamagedVersionResourcesGiveNothing) {
    const std::vector<uint8_t> sound = VersionResourceOf(TestProgram(L"shell_tool"));
    ASSERT_GT(sound.size(), 200u);
    TempFolder folder;
    VersionInfoReader reader;
    // The way the damaged copies are made gives the sound resource its name back.
    EXPECT_EQ(GetProductName(reader, ProgramWithVersionResource(folder, L"sound.exe", sound)),
              L"Shell Test Tool");
    EXPECT_EQ(GetProductName(reader, ProgramWithVersionResource(folder, L"reordered.exe",
                                                                TranslationFirst(sound))),
              L"Shell Test Tool");

    const size_t product = NodeOfKey(sound, "ProductName");
    const size_t table = NodeOfKey(sound, "040904B0");
    const size_t strings = NodeOfKey(sound, "StringFileInfo");
    std::vector<std::pair<std::wstring, std::vector<uint8_t>>> damaged;
    auto add = [&](const wchar_t* what, std::vector<uint8_t> bytes) {
        damaged.emplace_back(what, std::move(bytes));
    };
    add(L"cut to its header", std::vector<uint8_t>(sound.begin(), sound.begin() + 6));
    add(L"cut in half", std::vector<uint8_t>(sound.begin(), sound.begin() + sound.size() / 2));
    // Cut in the middle of the product name's letters, and just before the resource's end.
    add(L"cut in the name", std::vector<uint8_t>(sound.begin(), sound.begin() + product + 40));
    add(L"cut at the end", std::vector<uint8_t>(sound.begin(), sound.end() - 4));
    {
        // With the translation table first, a cut in the name leaves the table whole: what is
        // left of the name must not pass for the name (the version functions hand out more
        // bytes than the resource holds, zeros after it).
        const std::vector<uint8_t> reordered = TranslationFirst(sound);
        const size_t name = NodeOfKey(reordered, "ProductName");
        add(L"cut in the name after the table",
            std::vector<uint8_t>(reordered.begin(), reordered.begin() + name + 40));
    }
    {
        std::vector<uint8_t> bytes = sound;
        SetLength(bytes, 0, 0xFFFF);
        add(L"root too long", bytes);
    }
    {
        std::vector<uint8_t> bytes = sound;
        SetLength(bytes, 0, 2);
        add(L"root too short", bytes);
    }
    for (size_t node : {product, table, strings}) {
        for (size_t length :
             {size_t(0), size_t(1), LengthOf(sound, node) + 0x100, size_t(0xFFFF)}) {
            std::vector<uint8_t> bytes = sound;
            SetLength(bytes, node, length);
            add(node == product ? L"name node"
                : node == table ? L"table node"
                                : L"strings node",
                bytes);
        }
    }
    int number = 0;
    for (const auto& [what, bytes] : damaged) {
        const std::wstring program = ProgramWithVersionResource(
            folder, L"damaged" + std::to_wstring(++number) + L".exe", bytes);
        EXPECT_EQ(GetProductName(reader, program), L"") << what << " " << number;
    }
}

}  // namespace
}  // namespace corvalo
