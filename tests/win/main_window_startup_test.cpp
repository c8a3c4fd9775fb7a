// Start-up of the main window over a folder of data files: what a user sees and what lands on disk.
#include "app/main_window_win.h"
#include "base/dll_search_win.h"
#include "base/text.h"
#include "picture/bitmap.h"
#include "base/error.h"
#include "picture/bmp_format.h"
#include "support/main_window_fixture_win.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

using namespace test;

class StartupTest : public MainWindowFixture {
  protected:
    static RECT WorkArea() {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        return work;
    }
    static RECT Bounds(const MainWindow& window) {
        RECT bounds{};
        GetWindowRect(window.Window(), &bounds);
        return bounds;
    }
};

TEST_F(StartupTest, FirstStartUsesEveryDefaultAndCreatesAnEmptyUtf16SettingsFile) {
    auto window = NewWindow();
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(ReadBytes(Ini()), Bytes({0xFF, 0xFE, 0x0D, 0x00, 0x0A, 0x00}));

    RECT bounds{};
    GetWindowRect(window->Window(), &bounds);
    // At the default position, pulled fully onto a screen too narrow for it (the end-to-end run's
    // wide screen shows it at 1588 itself).
    EXPECT_EQ(bounds.left, std::min<LONG>(1588, WorkArea().right - 256));
    EXPECT_EQ(bounds.top, 251);
    // Frameless and of exactly the built-in picture's size.
    EXPECT_EQ(bounds.right - bounds.left, 256);
    EXPECT_EQ(bounds.bottom - bounds.top, 256);
    EXPECT_EQ(GetWindowLongPtrW(window->Window(), GWL_STYLE) & WS_CAPTION, 0);

    EXPECT_EQ(window->Alpha(), 200);
    EXPECT_TRUE(window->StayOnTop());
    EXPECT_EQ(window->Font().name, L"Tahoma");
    EXPECT_EQ(window->Font().size, 10);
    EXPECT_EQ(window->Font().charSet, 1);
    EXPECT_EQ(window->Font().style, 0);
    EXPECT_EQ(window->Font().color, 0);
    EXPECT_TRUE(window->LauncherList().Lines().empty());
    EXPECT_EQ(window->RunValueName(), L"corvalo");

    // The built-in picture on the button-face colour, nothing see-through.
    ASSERT_NE(window->Picture().PictureBitmap(), nullptr);
    EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 256);
    EXPECT_EQ(window->BackgroundColor(), GetSysColor(COLOR_BTNFACE));
    EXPECT_FALSE(window->ColorKeyEnabled());
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window->Window(), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 200);
    EXPECT_EQ(flags & LWA_COLORKEY, 0u);
    EXPECT_EQ(window->ActivationShowCommand(), SW_SHOW);
}

TEST_F(StartupTest, StoredKeysAreAppliedWithTheirIntegerRules) {
    SetIniValue(Ini(), L"ADMIN", L"FormLeft", L"0x20");
    SetIniValue(Ini(), L"ADMIN", L"FormTop", L"$20");
    SetIniValue(Ini(), L"ADMIN", L"Alpha", L"256");
    SetIniValue(Ini(), L"ADMIN", L"CharSet", L"256");
    SetIniValue(Ini(), L"ADMIN", L"Style", L"5");
    SetIniValue(Ini(), L"ADMIN", L"Size", L"abc");
    SetIniValue(Ini(), L"ADMIN", L"Color", L"-2147483633");
    SetIniValue(Ini(), L"ADMIN", L"FontName", L"Courier New");
    SetIniValue(Ini(), L"ADMIN", L"Hide", L"0");
    auto window = NewWindow();

    RECT bounds{};
    GetWindowRect(window->Window(), &bounds);
    EXPECT_EQ(bounds.left, 32);
    EXPECT_EQ(bounds.top, 32);
    EXPECT_EQ(window->Alpha(), 255) << "above 255 means 255, never a wrapped value";
    EXPECT_EQ(window->Font().charSet, 0);
    EXPECT_EQ(window->Font().style, 5);
    EXPECT_EQ(window->Font().size, 10);
    EXPECT_EQ(window->Font().color, -2147483633);
    EXPECT_EQ(window->Font().name, L"Courier New");
    EXPECT_EQ(window->ActivationShowCommand(), SW_HIDE);
}

// Stored values that would hide the window: a place off every monitor, an alpha no wheel gives.
TEST_F(StartupTest, AWindowThatCouldNotBeSeenIsBroughtWhereTheUserCanReachIt) {
    const RECT work = WorkArea();
    SetIniValue(Ini(), L"ADMIN", L"FormLeft", L"abc");
    SetIniValue(Ini(), L"ADMIN", L"FormTop", L"-5000");
    SetIniValue(Ini(), L"ADMIN", L"Alpha", L"40");
    {
        auto window = NewWindow();
        const RECT bounds = Bounds(*window);
        EXPECT_EQ(bounds.top, work.top) << "moved fully onto the nearest monitor";
        EXPECT_EQ(bounds.left, std::min<LONG>(1588, work.right - 256));
        EXPECT_EQ(window->Alpha(), 41);

        // The monitors change while it runs: off them all, it comes back at once.
        SetWindowPos(window->Window(), nullptr, work.right + 400, 100, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(window->Window(), WM_DISPLAYCHANGE, 32, MAKELPARAM(work.right, work.bottom));
        EXPECT_EQ(Bounds(*window).left, work.right - 256);
        EXPECT_EQ(Bounds(*window).top, 100);
        ASSERT_TRUE(window->FormCloseQuery());
    }
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"FormLeft"), std::to_wstring(work.right - 256))
        << "the close stores where the window really is";

    // A window partly on a monitor is where the user put it.
    SetIniValue(Ini(), L"ADMIN", L"FormLeft", L"-200");
    SetIniValue(Ini(), L"ADMIN", L"FormTop", L"-100");
    auto window = NewWindow();
    EXPECT_EQ(Bounds(*window).left, -200);
    EXPECT_EQ(Bounds(*window).top, -100);
}

TEST_F(StartupTest, AnyTextInAnyKeyNeverCrashes) {
    const std::wstring junk[] = {L"",
                                 L"-",
                                 L"$",
                                 L"0x",
                                 L"99999999999999999999",
                                 L"$FFFFFFFFF",
                                 L"\u00e9\u4e2d",
                                 std::wstring(3000, L'9'),
                                 L" +- 1"};
    for (const std::wstring& value : junk) {
        for (const wchar_t* key : {L"FormLeft", L"Alpha", L"Size", L"Style", L"CharSet", L"Color",
                                   L"FontName", L"Hide"}) {
            SetIniValue(Ini(), L"ADMIN", key, value);
        }
        auto window = NewWindow();
        EXPECT_TRUE(messages.errors.empty());
        EXPECT_TRUE(window->FormCloseQuery());
    }
}

TEST_F(StartupTest, LauncherItemsAreReadAndSortedWithoutRegardToCase) {
    SetIniValue(Ini(), L"MENU", L"zeta", L"z.exe");
    SetIniValue(Ini(), L"MENU", L"Alpha", L"a.exe /x");
    SetIniValue(Ini(), L"MENU", L"beta", L"C:\\b.txt");
    auto window = NewWindow();
    EXPECT_EQ(window->LauncherList().Lines(),
              (std::vector<std::wstring>{L"Alpha=a.exe /x", L"beta=C:\\b.txt", L"zeta=z.exe"}));
}

TEST_F(StartupTest, AnUnreadablePictureFileIsReportedStartUpGoesOnAndTheFileSurvives) {
    const std::vector<uint8_t> damaged =
        Bytes({'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    WriteBytes(folder.File(L"corvalo.bmp"), damaged);
    {
        auto window = NewWindow();
        ASSERT_EQ(messages.errors.size(), 1u);
        EXPECT_TRUE(messages.errors[0] == L"Bitmap image is not valid" ||
                    messages.errors[0] == L"Stream read error")
            << std::string(messages.errors[0].begin(), messages.errors[0].end());
        // Start-up went on: the menu is built and the taskbar choice applied.
        EXPECT_EQ(window->ActivationShowCommand(), SW_SHOW);
        EXPECT_NE(window->Menu().FindCommand("Stuff5"), nullptr) << "Quit is there";
        // The built-in picture stays, on the button-face colour with nothing see-through.
        EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 256);
        EXPECT_FALSE(window->ColorKeyEnabled());
        EXPECT_EQ(window->BackgroundColor(), static_cast<Color>(GetSysColor(COLOR_BTNFACE)));
        // The close does not write the built-in picture over the file it could not read.
        EXPECT_TRUE(window->FormCloseQuery());
        EXPECT_EQ(ReadBytes(folder.File(L"corvalo.bmp")), damaged);
    }
    // Once the user sets a picture, the old bytes are kept beside the new file.
    messages.errors.clear();
    auto window = NewWindow();
    window->Picture().SetPicture(NewSizedBitmap(40, 30, 0x00FF0000));
    EXPECT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(ReadBytes(folder.File(L"corvalo.bmp.bak")), damaged);
    EXPECT_EQ(ReadBmp(ReadBytes(folder.File(L"corvalo.bmp"))).Width(), 40);
}

// A picture of no width or height would shrink the window to nothing and be saved at the close.
TEST_F(StartupTest, APictureOfNoSizeIsRefusedWhereverItComesFrom) {
    std::vector<uint8_t> flat = WriteBmp(NewSizedBitmap(3, 2, 0x00FFFFFF));
    flat[18] = flat[19] = flat[20] = flat[21] = 0;  // the header's width
    WriteBytes(folder.File(L"corvalo.bmp"), flat);
    auto window = NewWindow();
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0], L"Bitmap image is not valid");
    EXPECT_EQ(Bounds(*window).right - Bounds(*window).left, 256) << "the built-in picture stays";

    WriteBytes(folder.File(L"flat.bmp"), flat);
    EXPECT_THROW(window->DropComboTarget1Drop({folder.File(L"flat.bmp")}, "", MK_SHIFT), Error);
    EXPECT_THROW(window->Picture().SetPicture(Bitmap()), Error);
    EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 256);
    EXPECT_EQ(Bounds(*window).right - Bounds(*window).left, 256);
}

TEST_F(StartupTest, OnceThePictureIsOnScreenTheWindowTakesDrops) {
    auto window = NewWindow();
    window->Show();
    // Start-up leaves OLE until the picture is painted; it follows at once.
    const DWORD until = GetTickCount() + 1000;
    while (GetTickCount() < until) {
        test::PumpMessages();
        Sleep(10);
    }
    EXPECT_EQ(RegisterDragDrop(window->Window(), window->DropTarget().Target()),
              DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(StartupTest, AStoredPictureIsShownWithItsKeyColourSeeThrough) {
    Bitmap picture = NewSizedBitmap(120, 80, 0x00FF00FF);
    picture.SetPixel(10, 10, 0x00123456);
    const std::vector<uint8_t> file = WriteBmp(picture);
    WriteBytes(folder.File(L"corvalo.bmp"), file);
    auto window = NewWindow();
    EXPECT_TRUE(messages.errors.empty());
    RECT bounds{};
    GetWindowRect(window->Window(), &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 120);
    EXPECT_EQ(bounds.bottom - bounds.top, 80);
    EXPECT_TRUE(window->ColorKeyEnabled());
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window->Window(), &key, &alpha, &flags));
    EXPECT_EQ(key, 0x00FF00FFu);
    EXPECT_NE(flags & LWA_COLORKEY, 0u);
}

TEST_F(StartupTest, ASettingsFileThatCannotBeCreatedIsReportedAndTheWindowStillCloses) {
    CreateDirectoryW(Ini().c_str(), nullptr);  // a folder where the file should be
    auto window = NewWindow();
    EXPECT_TRUE(messages.errors.empty()) << "a folder counts as present; reads give defaults";
    RemoveDirectoryW(Ini().c_str());

    TempFolder missing;
    MainWindowOptions options =
        test::TestWindowOptions(missing.Path() + L"\\no such folder\\corvalo.exe", messages);
    MainWindow broken(std::move(options));
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0].rfind(L"Cannot create file \"", 0), 0u);
    EXPECT_EQ(broken.Settings(), nullptr);
    // Start-up went on without the store: the menu has its defaults and Quit.
    EXPECT_EQ(broken.RunValueName(), L"corvalo");
    EXPECT_EQ(broken.ActivationShowCommand(), SW_SHOW);
    EXPECT_NE(broken.Menu().FindCommand("Stuff5"), nullptr);
    // Nothing can be written there: the first close is refused with the reason, the second one
    // says it again and lets the user go.
    EXPECT_THROW(broken.FormCloseQuery(), Error);
    EXPECT_TRUE(broken.FormCloseQuery());
    EXPECT_EQ(messages.errors.size(), 2u);
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

// A system without the rule that limits DLL loading to its folder (Windows 7 before its security
// update): the delay-loaded DLLs come from the system folder by their full path, the common
// controls through the manifest's assembly, and nothing from beside the exe.
TEST(DllSearch, WithoutTheSystemsRuleEveryDllComesFromTheSystemFolderByPath) {
    EXPECT_EQ(LimitDllSearchToSystemFolder(nullptr), DllSearch::ByFullPath);
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    for (const char* name : {"msimg32.dll", "version.dll", "comctl32.dll"}) {
        HMODULE module = LoadSystemDll(name);
        ASSERT_NE(module, nullptr) << name;
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(module, path, MAX_PATH);
        if (lstrcmpiA(name, "comctl32.dll") != 0) {
            EXPECT_EQ(_wcsnicmp(path, system, wcslen(system)), 0) << WideToAnsi(path);
        }
    }
    EXPECT_EQ(LoadSystemDll("..\\corvalo.exe"), nullptr) << "only a bare name is loaded";
    // The program's own start takes the system's rule where it has one, as Wine does.
    EXPECT_EQ(LimitDllSearchToSystemFolder(), DllSearch::SystemFolderOnly);
}

}  // namespace
}  // namespace corvalo
