// The final save and the files it leaves: what the next start reads back, what a failing disk
// keeps. Through the window where it takes part, through the data files alone where it does not.
#include "app/data_files_win.h"
#include "app/main_window_win.h"
#include "base/error.h"
#include "base/text.h"
#include "launcher/locale_compare_win.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"
#include "support/held_icon_lookup_win.h"
#include "support/main_window_fixture_win.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvalo {
namespace {

using namespace test;

class FinalSaveTest : public MainWindowFixture {
  protected:
    std::wstring File(const wchar_t* extension) const {
        return folder.File(std::wstring(L"corvalo") + extension);
    }
};

// The data files without a window, where the window adds nothing: start-up's reading and the
// save of a close, as the main window runs them.
struct FilesAlone {
    explicit FilesAlone(const std::wstring& exePath)
        : files(exePath, WideToAnsi(exePath)), items(CompareInUserLocale) {
        files.ReadIconListFile();
        files.LoadSettings(window, items);
        files.MigrateLegacyList(items);
    }
    bool Close() { return files.SaveForClose(window, items, nullptr); }

    DataFiles files;
    WindowSettings window;
    LauncherList items;
};

TEST_F(FinalSaveTest, WritesWindowFontAlphaAndEveryItemButLeavesIconsAndStrayKeysAlone) {
    SetIniValue(File(L".ini"), L"MENU", L"Editor", L"notepad.exe /a");
    SetIniValue(File(L".ini"), L"ICONS", L"Editor", L"3");
    auto window = NewWindow();
    SetWindowPos(window->Window(), nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    window->LauncherList().AppendItem(L"Mail", L"mailto:a=b");
    window->FormMouseWheelUp(true);
    ASSERT_TRUE(window->FormCloseQuery());

    const std::wstring ini = File(L".ini");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"FormLeft"), L"100");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"FormTop"), L"120");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"FontName"), L"Tahoma");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"CharSet"), L"1");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"Color"), L"0");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"Size"), L"10");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"Style"), L"0");
    EXPECT_EQ(IniValue(ini, L"ADMIN", L"Alpha"), L"190");
    EXPECT_EQ(IniValue(ini, L"MENU", L"Editor"), L"notepad.exe /a");
    EXPECT_EQ(IniValue(ini, L"MENU", L"Mail"), L"mailto:a=b");  // split at the first "="
    EXPECT_EQ(IniValue(ini, L"ICONS", L"Editor"), L"3");
    EXPECT_TRUE(Exists(File(L".bmp")));
    EXPECT_TRUE(Exists(File(L".icons")));
    EXPECT_FALSE(Exists(File(L".bmp.new")));
    EXPECT_FALSE(Exists(File(L".icons.new")));
}

TEST_F(FinalSaveTest, ThePictureRoundTripsThroughACloseAndAStart) {
    Bitmap picture = NewSizedBitmap(90, 70, 0x00FFFFFF);
    for (int i = 0; i < 70; ++i)
        picture.SetPixel(i, i, 0x00102030);
    {
        auto window = NewWindow();
        window->Picture().SetPicture(picture);
        ASSERT_TRUE(window->FormCloseQuery());
    }
    const Bitmap written = ReadBmp(ReadBytes(File(L".bmp")));
    EXPECT_EQ(written.BitsPerPixel(), 24);
    auto window = NewWindow();
    EXPECT_TRUE(messages.errors.empty());
    const Bitmap* shown = window->Picture().PictureBitmap();
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->Width(), 90);
    ASSERT_EQ(shown->Height(), 70);
    for (int i = 0; i < 70; ++i)
        EXPECT_EQ(shown->PixelAt(i, i), 0x00102030u);
    EXPECT_EQ(shown->PixelAt(1, 0), 0x00FFFFFFu);
}

TEST_F(FinalSaveTest, TheBuiltInPictureIsSavedInItsOwnPixelFormat) {
    auto window = NewWindow();
    ASSERT_TRUE(window->FormCloseQuery());
    const Bitmap written = ReadBmp(ReadBytes(File(L".bmp")));
    EXPECT_EQ(written.BitsPerPixel(), 32);
    EXPECT_EQ(written.Width(), 256);
}

TEST_F(FinalSaveTest, TheIconListRoundTripsWithAndWithoutImages) {
    {
        auto window = NewWindow();
        ASSERT_TRUE(window->FormCloseQuery());
    }
    const std::vector<uint8_t> empty = ReadBytes(File(L".icons"));
    ASSERT_GT(empty.size(), 10u);
    const std::string text(empty.begin(), empty.end());
    EXPECT_EQ(text.find("Bitmap"), std::string::npos);
    EXPECT_NE(text.find("dsTransparent"), std::string::npos);

    {
        auto window = NewWindow();
        EXPECT_EQ(ImageList_GetImageCount(window->IconList()), 0);
        Bitmap image = NewSizedBitmap(32, 32, 0x000000FF);
        image.SetPixel(3, 4, 0x0000FF00);
        ScopedBitmapHandle handle = GdiBitmapFrom(image);
        ASSERT_EQ(ImageList_Add(window->IconList(), handle.Get(), nullptr), 0);
        ASSERT_EQ(ImageList_Add(window->IconList(), handle.Get(), nullptr), 1);
        ASSERT_TRUE(window->FormCloseQuery());
    }
    auto window = NewWindow();
    ASSERT_EQ(ImageList_GetImageCount(window->IconList()), 2);
    IMAGEINFO info{};
    ASSERT_TRUE(ImageList_GetImageInfo(window->IconList(), 1, &info));
    const Bitmap strip = BitmapFromGdi(info.hbmImage);
    EXPECT_EQ(strip.PixelAt(info.rcImage.left + 3, info.rcImage.top + 4) & 0x00FFFFFF, 0x0000FF00u);
    EXPECT_EQ(strip.PixelAt(info.rcImage.left + 5, info.rcImage.top + 5) & 0x00FFFFFF, 0x000000FFu);
}

TEST_F(FinalSaveTest, ADamagedIconListFileIsIgnoredSilentlyButNeverDestroyed) {
    std::vector<uint8_t> damaged = {0xFF, 0x0A, 0x00, 'T',  'I',  'M',  'A',  'G',  'E',  'L', 'I',
                                    'S',  'T',  0x00, 0x30, 0x10, 0xFF, 0xFF, 0x00, 0x00, 'T', 'P'};
    WriteBytes(File(L".icons"), damaged);
    {
        auto window = NewWindow();
        EXPECT_TRUE(messages.errors.empty());
        EXPECT_EQ(ImageList_GetImageCount(window->IconList()), 0);
        ASSERT_TRUE(window->FormCloseQuery());
        EXPECT_EQ(ReadBytes(File(L".icons")), damaged) << "nothing was added: the file stays";
    }
    // Once the user adds an icon, the list is written and the old bytes are kept beside it.
    auto window = NewWindow();
    ScopedBitmapHandle image = GdiBitmapFrom(NewSizedBitmap(32, 32, 0x0000FF00));
    ASSERT_EQ(ImageList_Add(window->IconList(), image.Get(), nullptr), 0);
    ASSERT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(ReadBytes(File(L".icons.bak")), damaged);
    window = NewWindow();
    EXPECT_EQ(ImageList_GetImageCount(window->IconList()), 1);
}

TEST_F(FinalSaveTest, AFailedPictureWriteKeepsTheWindowOpenAndTheOldFilesIntact) {
    const std::vector<uint8_t> oldPicture = WriteBmp(NewSizedBitmap(40, 30, 0x00ABCDEF));
    WriteBytes(File(L".bmp"), oldPicture);
    auto window = NewWindow();
    window->Picture().SetPicture(NewSizedBitmap(50, 50, 0x00000000));
    // Something in the way of the new file: a folder of the temporary file's name.
    ASSERT_TRUE(CreateDirectoryW(File(L".bmp.new").c_str(), nullptr));

    try {
        window->FormCloseQuery();
        ADD_FAILURE() << "the save should have failed";
    } catch (const Error& error) {
        EXPECT_EQ(error.Message().rfind(L"Cannot create file \"", 0), 0u);
    }
    EXPECT_EQ(ReadBytes(File(L".bmp")), oldPicture);
    EXPECT_NE(window->Settings(), nullptr) << "the window goes on with its settings store";
    EXPECT_TRUE(IsWindow(window->Window()));

    // Once the way is clear, the next close saves everything.
    RemoveDirectoryW(File(L".bmp.new").c_str());
    EXPECT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(ReadBmp(ReadBytes(File(L".bmp"))).Width(), 50);
}

// One file that can't be written (read-only, locked, a full disk) costs only itself: every other
// file is saved, the first close names each failure with its reason and stays open, the second
// says it again and ends.
TEST_F(FinalSaveTest, EveryFileIsSavedOnItsOwnAndEachFailureIsNamed) {
    auto window = NewWindow();
    window->LauncherList().AppendItem(L"A", L"a.exe");
    window->Picture().SetPicture(NewSizedBitmap(50, 50, 0x00000000));
    // The settings file is replaced by a folder while the program runs, and something stands in
    // the way of the icon list's new file.
    ASSERT_TRUE(DeleteFileW(File(L".ini").c_str()));
    ASSERT_TRUE(CreateDirectoryW(File(L".ini").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(File(L".icons.new").c_str(), nullptr));
    std::wstring first;
    try {
        window->FormCloseQuery();
        ADD_FAILURE() << "the save should have failed";
    } catch (const Error& error) {
        first = error.Message();
    }
    const std::wstring settingsLine = L"Unable to write to " + File(L".ini") + L". ";
    const std::wstring iconsLine = L"Cannot create file \"" + File(L".icons") + L"\". ";
    EXPECT_EQ(first.rfind(settingsLine, 0), 0u) << "with the system's reason after it";
    EXPECT_GT(first.size(), settingsLine.size() + 2);
    EXPECT_NE(first.find(L"\n\n" + iconsLine), std::wstring::npos);
    EXPECT_EQ(ReadBmp(ReadBytes(File(L".bmp"))).Width(), 50) << "the picture is saved anyway";
    EXPECT_NE(window->Settings(), nullptr) << "the window goes on with its settings store";
    EXPECT_TRUE(IsWindow(window->Window()));

    EXPECT_TRUE(window->FormCloseQuery()) << "the second close lets the user go";
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0], first);
    RemoveDirectoryW(File(L".icons.new").c_str());
    EXPECT_FALSE(Exists(File(L".icons")));
    window.reset();

    // Once the way is clear, the next start's close saves everything.
    RemoveDirectoryW(File(L".ini").c_str());
    messages.errors.clear();
    window = NewWindow();
    window->LauncherList().AppendItem(L"A", L"a.exe");
    EXPECT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(IniValue(File(L".ini"), L"MENU", L"A"), L"a.exe");
    EXPECT_TRUE(Exists(File(L".icons")));
}

// A log-off is never held up or kept waiting by a message box, whatever can't be written.
TEST_F(FinalSaveTest, ALogOffSavesWhatItCanWithoutAWord) {
    auto window = NewWindow();
    ASSERT_TRUE(DeleteFileW(File(L".ini").c_str()));
    ASSERT_TRUE(CreateDirectoryW(File(L".ini").c_str(), nullptr));
    EXPECT_TRUE(SendMessageW(window->Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_TRUE(messages.errors.empty()) << "nothing waits for the user at a log-off";
    EXPECT_TRUE(Exists(File(L".bmp"))) << "what can be saved is saved";
    SendMessageW(window->Window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(IsWindow(window->Window()));
    RemoveDirectoryW(File(L".ini").c_str());
}

// A lookup the shell holds up (a target on a network share nobody answers for) must not keep the
// program from ending once the final save is done.
TEST_F(FinalSaveTest, TheCloseDoesNotWaitForAnIconLookupTheShellHoldsUp) {
    SetIniValue(File(L".ini"), L"MENU", L"Share", L"\\\\server\\share\\tool.exe");
    auto held = std::make_shared<test::HeldIconLookup>();
    MainWindowOptions options = test::TestWindowOptions(folder.ExePath(), messages);
    options.iconLookup = test::HeldIconLookup::Of(held);
    auto window = std::make_unique<MainWindow>(std::move(options));
    window->Menu().TopLevel();
    ASSERT_TRUE(held->WaitUntilEntered());
    ASSERT_TRUE(window->FormCloseQuery());
    window.reset();
    EXPECT_EQ(held->answered, 0) << "the end waited for the lookup";
    EXPECT_EQ(IniValue(File(L".ini"), L"MENU", L"Share"), L"\\\\server\\share\\tool.exe");
    held->Release();
}

// Key names past the section buffer are left out whole: a name cut short would be a new item.
TEST_F(FinalSaveTest, ItemsWhoseNamesDoNotFitTheSectionBufferAreLeftOutWhole) {
    for (int i = 0; i < 20; ++i) {
        wchar_t start[8];
        swprintf(start, 8, L"k%02d", i);
        SetIniValue(File(L".ini"), L"MENU", start + std::wstring(996, L'x'), L"t.exe");
    }
    FilesAlone start(folder.ExePath());
    // 16 names of 1000 characters, each with its zero, and the final zero fit in 16384.
    ASSERT_EQ(start.items.ItemCount(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(start.items.ItemCaption(i).size(), 999u);
    ASSERT_TRUE(start.Close());
    std::vector<wchar_t> names(1 << 16);
    const DWORD length =
        GetPrivateProfileStringW(L"MENU", nullptr, L"", names.data(),
                                 static_cast<DWORD>(names.size()), File(L".ini").c_str());
    EXPECT_EQ(length, 20u * 1000u) << "no new key appeared";
}

TEST_F(FinalSaveTest, AClosedWindowSavesThroughItsCloseRequest) {
    auto window = NewWindow();
    HWND handle = window->Window();
    SendMessageW(handle, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_TRUE(Exists(File(L".bmp")));
    EXPECT_EQ(IniValue(File(L".ini"), L"ADMIN", L"Alpha"), L"200");
}

TEST_F(FinalSaveTest, LogOffSavesExactlyOnce) {
    auto window = NewWindow();
    HWND handle = window->Window();
    EXPECT_TRUE(SendMessageW(handle, WM_QUERYENDSESSION, 0, 0));
    ASSERT_TRUE(Exists(File(L".bmp")));
    DeleteFileW(File(L".bmp").c_str());
    SendMessageW(handle, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(Exists(File(L".bmp"))) << "the end of the session must not save a second time";
}

TEST_F(FinalSaveTest, ACancelledLogOffLeavesAWorkingWindowThatSavesAgainAtItsClose) {
    auto window = NewWindow();
    HWND handle = window->Window();
    EXPECT_TRUE(SendMessageW(handle, WM_QUERYENDSESSION, 0, 0));
    SendMessageW(handle, WM_ENDSESSION, FALSE, 0);
    ASSERT_TRUE(IsWindow(handle));
    ASSERT_NE(window->Settings(), nullptr);
    window->LauncherList().AppendItem(L"Late", L"late.exe");
    SendMessageW(handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(IniValue(File(L".ini"), L"MENU", L"Late"), L"late.exe");
}

// Settings files as other editors leave them: Notepad's UTF-8 reads as what it says and becomes
// UTF-16 with its old bytes kept; an empty file starts as a new one; a file in the ANSI code page
// takes a caption the code page lacks. No character ever becomes "?", no line comes twice.
TEST_F(FinalSaveTest, SettingsFilesFromOtherEditorsKeepEveryCharacter) {
    const auto bytes = [](std::string_view text) {
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    const auto lines = [this] {
        FilesAlone start(folder.ExePath());
        return start.items.Lines();
    };
    const std::string utf8 =
        "[MENU]\r\nCaf\xC3\xA9 \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1=c.exe\r\n";
    WriteBytes(File(L".ini"), bytes(utf8));
    EXPECT_EQ(lines(),
              std::vector<std::wstring>{L"Caf\u00e9 \u03a9\u03bc\u03ad\u03b3\u03b1=c.exe"});
    EXPECT_EQ(ReadBytes(File(L".ini.bak")), bytes(utf8));
    EXPECT_EQ(ReadBytes(File(L".ini")).at(0), 0xFF) << "the file is UTF-16 now";

    const std::wstring greek = L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";
    const std::wstring japanese = L"\u65e5\u672c\u8a9e";
    for (const std::string& start : {std::string(), std::string("[MENU]\r\nCaf\xE9=c.exe\r\n")}) {
        WriteBytes(File(L".ini"), bytes(start));
        {
            FilesAlone session(folder.ExePath());
            session.items.AppendItem(greek, L"g.exe");
            session.items.AppendItem(japanese, L"j.exe");
            ASSERT_TRUE(session.Close());
        }
        std::vector<std::wstring> expected = {greek + L"=g.exe", japanese + L"=j.exe"};
        if (!start.empty())
            expected.push_back(L"Caf\u00e9=c.exe");
        std::vector<std::wstring> read = lines();
        std::sort(read.begin(), read.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(read, expected) << (start.empty() ? "an empty file" : "an ANSI file");
    }
}

// The older list file in each of its encodings and line-end forms.
struct LegacyCase {
    const char* name;
    std::vector<uint8_t> bytes;
};

class LegacyMigrationTest : public FinalSaveTest,
                            public ::testing::WithParamInterface<LegacyCase> {};

TEST_P(LegacyMigrationTest, MigratesOnceKeepsABackupBesideOlderOnesAndGoesAtTheNextClose) {
    const std::vector<uint8_t>& bytes = GetParam().bytes;
    WriteBytes(File(L".data"), bytes);
    WriteBytes(File(L".bak"), Bytes({'o', 'l', 'd'}));
    {
        FilesAlone start(folder.ExePath());
        EXPECT_EQ(start.items.Lines(),
                  (std::vector<std::wstring>{L"Zed=z.exe", L"caf\u00e9=c:\\caf\u00e9.txt"}));
        // An older backup of other bytes stays: the copy takes the next free name.
        EXPECT_EQ(ReadBytes(File(L".bak")), Bytes({'o', 'l', 'd'}));
        EXPECT_EQ(ReadBytes(File(L".1.bak")), bytes);
        ASSERT_TRUE(start.Close());
    }
    EXPECT_FALSE(Exists(File(L".2.bak"))) << "the same bytes are kept once";
    EXPECT_FALSE(Exists(File(L".data")));
    EXPECT_EQ(IniValue(File(L".ini"), L"MENU", L"caf\u00e9"), L"c:\\caf\u00e9.txt");
    FilesAlone start(folder.ExePath());
    EXPECT_EQ(start.items.Lines(),
              (std::vector<std::wstring>{L"caf\u00e9=c:\\caf\u00e9.txt", L"Zed=z.exe"}));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, LegacyMigrationTest,
    ::testing::Values(
        LegacyCase{"Ansi_CrLf", Bytes({'Z', 'e', 'd',  '=', 'z',  '.', 'e', 'x', 'e',  13,
                                       10,  'c', 'a',  'f', 0xE9, '=', 'c', ':', '\\', 'c',
                                       'a', 'f', 0xE9, '.', 't',  'x', 't', 13,  10})},
        LegacyCase{"Utf8_Lf", Bytes({0xEF, 0xBB, 0xBF, 'Z',  'e',  'd',  '=',  'z', '.', 'e', 'x',
                                     'e',  10,   'c',  'a',  'f',  0xC3, 0xA9, '=', 'c', ':', '\\',
                                     'c',  'a',  'f',  0xC3, 0xA9, '.',  't',  'x', 't'})},
        LegacyCase{"Utf16Le_Cr",
                   Bytes({0xFF, 0xFE, 'Z',  0, 'e', 0, 'd', 0, '=',  0, 'z', 0, '.', 0,
                          'e',  0,    'x',  0, 'e', 0, 13,  0, 'c',  0, 'a', 0, 'f', 0,
                          0xE9, 0,    '=',  0, 'c', 0, ':', 0, '\\', 0, 'c', 0, 'a', 0,
                          'f',  0,    0xE9, 0, '.', 0, 't', 0, 'x',  0, 't', 0, 13,  0})},
        LegacyCase{"Utf16Be_LineSeparator",
                   Bytes({0xFE, 0xFF, 0, 'Z',  0, 'e', 0,    'd',  0, '=',  0, 'z', 0, '.',
                          0,    'e',  0, 'x',  0, 'e', 0x20, 0x28, 0, 'c',  0, 'a', 0, 'f',
                          0,    0xE9, 0, '=',  0, 'c', 0,    ':',  0, '\\', 0, 'c', 0, 'a',
                          0,    'f',  0, 0xE9, 0, '.', 0,    't',  0, 'x',  0, 't'})}),
    [](const ::testing::TestParamInfo<LegacyCase>& info) { return std::string(info.param.name); });

TEST_F(FinalSaveTest, WithItemsInTheSettingsFileTheLegacyFileIsNotReadButGoesIntoTheBackup) {
    SetIniValue(File(L".ini"), L"MENU", L"Kept", L"k.exe");
    const std::vector<uint8_t> legacy = Bytes({'N', 'e', 'w', '=', 'n', '.', 'e', 'x', 'e'});
    WriteBytes(File(L".data"), legacy);
    // No backup can be made: the user's only copy stays.
    ASSERT_TRUE(CreateDirectoryW(File(L".bak.new").c_str(), nullptr));
    {
        FilesAlone start(folder.ExePath());
        EXPECT_EQ(start.items.Lines(), (std::vector<std::wstring>{L"Kept=k.exe"}));
        ASSERT_TRUE(start.Close());
        EXPECT_EQ(ReadBytes(File(L".data")), legacy);
    }
    RemoveDirectoryW(File(L".bak.new").c_str());
    FilesAlone start(folder.ExePath());
    ASSERT_TRUE(start.Close());
    EXPECT_FALSE(Exists(File(L".data")));
    EXPECT_EQ(ReadBytes(File(L".bak")), legacy) << "deleted only once the backup holds it";
    EXPECT_EQ(IniValue(File(L".ini"), L"MENU", L"New"), L"<missing>");
}

TEST_F(FinalSaveTest, AMenuSectionWithoutKeysCountsAsMissing) {
    WriteBytes(File(L".ini"), Bytes({'[', 'M', 'E', 'N', 'U', ']', 13, 10}));
    WriteBytes(File(L".data"), Bytes({'A', '=', 'a', '.', 'e', 'x', 'e'}));
    FilesAlone start(folder.ExePath());
    EXPECT_EQ(start.items.Lines(), (std::vector<std::wstring>{L"A=a.exe"}));
}

// Lines of the older list file meet the rules of what the editor stores: what the settings file
// would give back as something else stays only in the backup file.
TEST_F(FinalSaveTest, LegacyLinesTheSettingsFileCannotGiveBackStayOnlyInTheBackup) {
    const std::string text =
        "c:\\t.exe\n[Tools]\n padded=p.exe\n;remark=r.exe\nB=b\nCopied=\"C:\\a b\\c.exe\"\n";
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    WriteBytes(File(L".data"), bytes);
    {
        FilesAlone start(folder.ExePath());
        EXPECT_EQ(start.items.Lines(),
                  (std::vector<std::wstring>{L"B=b", L"Copied=\"C:\\a b\\c.exe\""}));
        ASSERT_TRUE(start.Close());
    }
    EXPECT_EQ(ReadBytes(File(L".bak")), bytes);
    EXPECT_FALSE(Exists(File(L".data")));
    FilesAlone start(folder.ExePath());
    EXPECT_EQ(start.items.Lines(),
              (std::vector<std::wstring>{L"B=b", L"Copied=\"C:\\a b\\c.exe\""}));
}

}  // namespace
}  // namespace corvalo
