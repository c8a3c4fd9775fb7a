// The system icon list and the file icon lookup against the real shell.

#include "base/scoped_win.h"
#include "base/text.h"
#include "shell/sys_image_list_win.h"
#include "shell/version_info_win.h"
#include "support/registry_win.h"
#include "support/test_support_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace corvalo {
namespace {

using test::KeyExists;
using test::TempFolder;

// Extensions no system knows; the tests give the first a file type of their own.
constexpr char kKnownExtension[] = ".corvalotest";
constexpr char kUnknownExtension[] = ".corvalonone";

std::string Ansi(const std::wstring& text) {
    return WideToAnsi(text);
}

std::string WindowsFolder() {
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::wstring TemporaryFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, path);
    return path;
}

// Every name in a folder (given with its trailing backslash).
std::set<std::wstring> FolderNames(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.insert(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::set<std::wstring> TemporaryFolderNames() {
    return FolderNames(TemporaryFolder());
}

std::set<std::wstring> CurrentFolderNames() {
    wchar_t current[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring folder = current;
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return FolderNames(folder);
}

// The index the shell itself reports for a name, or -1.
int ShellIndexOf(const std::string& name, UINT flags = 0, DWORD attributes = 0) {
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(name.c_str(), attributes, &info, sizeof(info), SHGFI_SYSICONINDEX | flags))
        return -1;
    return info.iIcon;
}

int SpecialFolderIndex(int csidl) {
    LPITEMIDLIST itemIds = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &itemIds)))
        return -1;
    ScopedItemIdList owned(itemIds);
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(itemIds), 0, &info, sizeof(info),
                        SHGFI_SYSICONINDEX | SHGFI_PIDL)) {
        return -1;
    }
    return info.iIcon;
}

void CreateEmptyFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

// The tests' own file type, which no earlier run may have left behind and which leaves nothing.
class ScopedFileType {
  public:
    explicit ScopedFileType(const std::wstring& extension) : extension_(extension) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, extension_)) << "left over from an earlier run";
        type_.emplace(extension_, L"Corvalo.TestFile", L"shell32.dll,5");
    }
    ~ScopedFileType() {
        type_.reset();
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, extension_));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\" + extension_));
    }
    bool Ok() const { return type_->Ok(); }

  private:
    std::wstring extension_;
    std::optional<test::TemporaryFileType> type_;
};

// Runs `work` on a thread of its own with COM set up, and fails the test instead of hanging when
// it does not end in time.
void RunWithin(DWORD milliseconds, std::function<void()> work) {
    auto shared = std::make_shared<std::function<void()>>(std::move(work));
    auto* handOver = new std::shared_ptr<std::function<void()>>(shared);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            std::unique_ptr<std::shared_ptr<std::function<void()>>> job(
                static_cast<std::shared_ptr<std::function<void()>>*>(parameter));
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            (**job)();
            CoUninitialize();
            return 0;
        },
        handOver, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const DWORD waited = WaitForSingleObject(thread, milliseconds);
    if (waited != WAIT_OBJECT_0) {
        // The work refers to the caller's locals, which are about to go.
        TerminateThread(thread, 1);
    }
    CloseHandle(thread);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the lookups did not end within " << milliseconds << " ms";
}

// --- The list
// -------------------------------------------------------------------------------------

TEST(SysImageList, LargeIconsHaveTheSystemsLargeIconSize) {
    SysImageList list;
    ASSERT_NE(list.Handle(), nullptr);
    EXPECT_EQ(list.IconSize(), SysIconSize::Large);
    EXPECT_EQ(list.IconSet(), SysIconSet::System);
    EXPECT_EQ(list.ImageWidth(), GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(list.ImageHeight(), GetSystemMetrics(SM_CYICON));
    ASSERT_GT(list.Count(), 0);
    Bitmap drawn;
    ASSERT_TRUE(list.DrawInto(0, drawn));
    EXPECT_EQ(drawn.Width(), GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(drawn.Height(), GetSystemMetrics(SM_CYICON));
    EXPECT_EQ(drawn.BitsPerPixel(), 24);
}

TEST(SysImageList, AChangedIconSizeAttachesTheOtherList) {
    SysImageList list;
    const HIMAGELIST large = list.Handle();
    list.SetIconSize(SysIconSize::Small);
    EXPECT_NE(list.Handle(), large);
    EXPECT_EQ(list.ImageWidth(), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(list.ImageHeight(), GetSystemMetrics(SM_CYSMICON));
    // Both sizes number their images alike.
    EXPECT_EQ(list.FileIconIndex(WindowsFolder(), false), GetFileIconIndex(WindowsFolder(), false));
    Bitmap small;
    ASSERT_TRUE(list.DrawInto(list.FileIconIndex(WindowsFolder(), false), small));
    EXPECT_EQ(small.Width(), GetSystemMetrics(SM_CXSMICON));
    list.SetIconSize(SysIconSize::Large);
    EXPECT_EQ(list.Handle(), large);
    // Both lists are the shell's: a second component attaches to the same one, and letting a
    // component go destroys nothing.
    { SysImageList other; }
    EXPECT_EQ(SysImageList().Handle(), large);
    EXPECT_GT(ImageList_GetImageCount(large), 0);
}

TEST(SysImageList, DrawsAnImageOnWhiteWithItsTransparency) {
    SysImageList list;
    const int folder = GetFileIconIndex(WindowsFolder(), false);
    ASSERT_GT(list.Count(), folder);
    Bitmap drawn = NewSizedBitmap(3, 3, kBlack);
    drawn.SetTransparent(true);
    ASSERT_TRUE(list.DrawInto(folder, drawn));
    ASSERT_EQ(drawn.Width(), list.ImageWidth());
    ASSERT_EQ(drawn.Height(), list.ImageHeight());
    EXPECT_TRUE(drawn.Transparent());  // the bitmap's own settings stay

    // The same image drawn onto black: where that stays black and the bitmap is white, the image
    // is see-through and the white background shows; elsewhere the image covers it.
    BITMAPINFO description{};
    description.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    description.bmiHeader.biWidth = list.ImageWidth();
    description.bmiHeader.biHeight = -list.ImageHeight();
    description.bmiHeader.biPlanes = 1;
    description.bmiHeader.biBitCount = 24;
    description.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedBitmapHandle onBlack(
        CreateDIBSection(nullptr, &description, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(onBlack && dc && bits);
    {
        ScopedSelectObject select(dc.Get(), onBlack.Get());
        ASSERT_TRUE(ImageList_Draw(list.Handle(), folder, dc.Get(), 0, 0, ILD_TRANSPARENT));
    }
    GdiFlush();
    const size_t stride = DibStride(list.ImageWidth(), 24);
    int seeThrough = 0, covered = 0;
    for (int y = 0; y < drawn.Height(); ++y) {
        for (int x = 0; x < drawn.Width(); ++x) {
            const uint8_t* p = static_cast<const uint8_t*>(bits) + y * stride + x * 3;
            const Color black = MakeColor(p[2], p[1], p[0]);
            const Color white = drawn.PixelAt(x, y);
            if (black == kBlack && white == kWhite)
                ++seeThrough;
            if (black == white && white != kWhite)
                ++covered;
            // Over white every channel is at least as light as over black.
            EXPECT_GE(RedOf(white), RedOf(black)) << x << "," << y;
            EXPECT_GE(GreenOf(white), GreenOf(black)) << x << "," << y;
            EXPECT_GE(BlueOf(white), BlueOf(black)) << x << "," << y;
        }
    }
    EXPECT_GT(seeThrough, 0);
    EXPECT_GT(covered, 0);
}

TEST(SysImageList, RefusesAnIndexOutsideTheListAndLeavesTheBitmapAlone) {
    SysImageList list;
    Bitmap target = NewSizedBitmap(5, 7, MakeColor(200, 10, 10));
    const Bitmap before = target;
    for (int index : {-1, INT_MIN, list.Count(), list.Count() + 1000, INT_MAX}) {
        EXPECT_FALSE(list.DrawInto(index, target)) << index;
        EXPECT_EQ(target, before) << index;
    }
}

TEST(SysImageList, TheToolbarSetShowsTheCommonControlsImages) {
    SysImageList list(SysIconSize::Small, SysIconSet::Toolbar);
    ASSERT_NE(list.Handle(), nullptr);
    EXPECT_EQ(list.ImageWidth(), 16);
    // The standard (15), view (12) and history (5) images.
    EXPECT_GE(list.Count(), 15 + 12 + 5);
    Bitmap drawn;
    EXPECT_TRUE(list.DrawInto(0, drawn));
    EXPECT_EQ(drawn.Width(), 16);

    list.SetIconSize(SysIconSize::Large);
    EXPECT_EQ(list.ImageWidth(), 24);
    list.SetIconSet(SysIconSet::System);
    EXPECT_EQ(list.Handle(), SysImageList().Handle());
}

// --- Special folders
// ------------------------------------------------------------------------------

TEST(FileIconIndex, TheWindowsFolderGetsItsSpecialFolderIcon) {
    const int expected = SpecialFolderIndex(CSIDL_WINDOWS);
    ASSERT_GE(expected, 0);
    const std::string windows = WindowsFolder();
    EXPECT_EQ(GetFileIconIndex(windows, false), expected);
    EXPECT_EQ(GetFileIconIndex(windows + "\\", false), expected);
    std::string upper = windows;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_EQ(GetFileIconIndex(upper, false), expected);
}

TEST(FileIconIndex, TheDesktopDirectoryGetsTheDesktopsIcon) {
    char desktop[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    // The desktop and its directory share the path; the desktop comes first and keeps it, so the
    // lookup shows the desktop's own icon, not that of a plain folder.
    const int desktopIcon = SpecialFolderIndex(CSIDL_DESKTOP);
    TempFolder plain;
    const int folderIcon = ShellIndexOf(Ansi(plain.Path()));
    ASSERT_NE(desktopIcon, folderIcon) << "the shell shows the desktop like any folder";
    EXPECT_EQ(GetFileIconIndex(desktop, false), desktopIcon);
    EXPECT_EQ(GetFileIconIndex(std::string(desktop) + "\\", false), desktopIcon);
}

// --- Existing and missing files
// --------------------------------------------------------------------

TEST(FileIconIndex, ExistingFilesAndFoldersGetTheIconTheShellShows) {
    ScopedFileType type(AnsiToWide(kKnownExtension));
    ASSERT_TRUE(type.Ok());
    TempFolder folder;
    const std::wstring file = folder.File(L"letter" + AnsiToWide(kKnownExtension));
    CreateEmptyFile(file);

    const int fileIcon = GetFileIconIndex(Ansi(file), false);
    EXPECT_GT(fileIcon, 0);
    EXPECT_EQ(fileIcon, ShellIndexOf(Ansi(file)));

    const int folderIcon = GetFileIconIndex(Ansi(folder.Path()), false);
    EXPECT_GT(folderIcon, 0);
    EXPECT_EQ(folderIcon, ShellIndexOf(Ansi(folder.Path())));
    EXPECT_NE(folderIcon, fileIcon);
    // The "open" variant is the one the shell gives for it.
    EXPECT_EQ(GetFileIconIndex(Ansi(folder.Path()), true),
              ShellIndexOf(Ansi(folder.Path()), SHGFI_OPENICON));
}

TEST(FileIconIndex, AMissingFileOfAKnownTypeGetsItsTypesIconWithoutATemporaryFile) {
    ScopedFileType type(AnsiToWide(kKnownExtension));
    ASSERT_TRUE(type.Ok());
    TempFolder folder;
    const std::wstring existing = folder.File(L"present" + AnsiToWide(kKnownExtension));
    CreateEmptyFile(existing);
    const int typeIcon = GetFileIconIndex(Ansi(existing), false);
    ASSERT_GT(typeIcon, 0);

    const std::set<std::wstring> before = TemporaryFolderNames();
    ScopedKernelHandle changes(FindFirstChangeNotificationW(TemporaryFolder().c_str(), FALSE,
                                                            FILE_NOTIFY_CHANGE_FILE_NAME));
    ASSERT_TRUE(changes);
    const std::string missing = Ansi(folder.File(L"absent" + AnsiToWide(kKnownExtension)));
    EXPECT_EQ(GetFileIconIndex(missing, false), typeIcon);
    EXPECT_EQ(
        GetFileIconIndex("Z:\\no\\such\\folder\\letter" + std::string(kKnownExtension), false),
        typeIcon);
    // The type answered: no file came and went in the temporary folder.
    EXPECT_EQ(WaitForSingleObject(changes.Get(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
    FindCloseChangeNotification(changes.Release());
    EXPECT_EQ(TemporaryFolderNames(), before);
}

TEST(FileIconIndex, AMissingFileOfAnUnknownTypeGoesThroughATemporaryFileThatDoesNotStay) {
    TempFolder folder;
    const std::wstring existing = folder.File(L"present" + AnsiToWide(kUnknownExtension));
    CreateEmptyFile(existing);
    const int existingIcon = GetFileIconIndex(Ansi(existing), false);

    const std::set<std::wstring> before = TemporaryFolderNames();
    ScopedKernelHandle changes(FindFirstChangeNotificationW(TemporaryFolder().c_str(), FALSE,
                                                            FILE_NOTIFY_CHANGE_FILE_NAME));
    ASSERT_TRUE(changes);
    const std::string missing = Ansi(folder.File(L"absent" + AnsiToWide(kUnknownExtension)));
    // The icon of a file of that type as it exists.
    EXPECT_EQ(GetFileIconIndex(missing, false), existingIcon);
    EXPECT_EQ(WaitForSingleObject(changes.Get(), 2000), WAIT_OBJECT_0)
        << "no temporary file was made";
    FindCloseChangeNotification(changes.Release());
    EXPECT_EQ(TemporaryFolderNames(), before);
}

TEST(FileIconIndex, NamesThatNameNothingGiveTheFirstImage) {
    EXPECT_EQ(GetFileIconIndex("", false), 0);
    EXPECT_EQ(GetFileIconIndex("", true), 0);
    EXPECT_EQ(GetFileIconIndex("Z:\\no\\such\\folder", false), 0);
    EXPECT_EQ(GetFileIconIndex("C:\\no-such-folder-of-corvalo\\sub", false), 0);
    EXPECT_EQ(GetFileIconIndex("no-such-thing-of-corvalo", false), 0);
}

// The 8-bit form of such a name has "?" where the code page has no letter, so it names no file;
// a file of a known type still shows its type's icon. (Wine's shell may even find the file, taking
// the "?" for a wildcard; either way the icon is that of the type.)
TEST(FileIconIndex, ANameOutsideTheCodePageFallsThroughToItsExtension) {
    ScopedFileType type(AnsiToWide(kKnownExtension));
    ASSERT_TRUE(type.Ok());
    TempFolder folder;
    const std::wstring greek = folder.File(L"\u03a9\u03bc\u03ad\u03b3\u03b1");
    ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
    const std::wstring plain = folder.File(L"plain");
    ASSERT_TRUE(CreateDirectoryW(plain.c_str(), nullptr));
    ASSERT_NE(Ansi(greek).find('?'), std::string::npos);

    // A file of a known type shows its type's icon all the same.
    const std::wstring file = greek + L"\\\u03b1" + AnsiToWide(kKnownExtension);
    CreateEmptyFile(file);
    const std::wstring twin = plain + L"\\a" + AnsiToWide(kKnownExtension);
    CreateEmptyFile(twin);
    EXPECT_EQ(GetFileIconIndex(Ansi(file), false), GetFileIconIndex(Ansi(twin), false));
    EXPECT_GT(GetFileIconIndex(Ansi(file), false), 0);
}

// --- Bad input
// -------------------------------------------------------------------------------------

TEST(FileIconIndex, StrangeNamesGiveAnIndexAndLeaveNothingBehind) {
    ScopedFileType type(AnsiToWide(kKnownExtension));
    ASSERT_TRUE(type.Ok());
    const std::string known = kKnownExtension;
    const std::string unknown = kUnknownExtension;
    const std::string windows = WindowsFolder();
    const std::vector<std::string> names = {
        // Longer than any path may be, with and without extensions.
        std::string(300, 'a'),
        "C:\\" + std::string(1000, 'b') + unknown,
        "C:\\" + std::string(40000, 'c') + known,
        windows + "\\" + std::string(5000, 'd'),
        "C:\\x." + std::string(300, 'e'),
        "C:\\x." + std::string(200, 'f'),
        std::string(MAX_PATH - 1, 'g') + unknown,
        // Trailing full stops, spaces and colons.
        "letter.",
        "letter...",
        windows + ".",
        windows + "\\.",
        "letter" + unknown + ".",
        "letter" + unknown + " ",
        "letter. ",
        "letter:",
        "letter" + unknown + ":",
        "C:",
        "C:\\",
        ":",
        ".",
        "..",
        "\\",
        "\\\\",
        "\\\\?\\",
        // Wildcards.
        "*",
        "*.*",
        "?",
        "C:\\*" + known,
        "C:\\*" + unknown,
        "letter.t*t",
        "letter.<>|\"",
        windows + "\\*",
        // Devices.
        "NUL",
        "CON",
        "COM1",
        "AUX",
        "PRN",
        "LPT1",
        "NUL" + unknown,
        "CON" + known,
        "COM1" + unknown,
        "C:\\COM1" + unknown,
        "\\\\.\\NUL",
        "\\\\.\\COM1",
        "\\\\.\\pipe\\corvalo" + unknown,
        // A zero byte ends the name.
        std::string("C:\\\0", 4) + unknown,
    };
    const std::set<std::wstring> before = TemporaryFolderNames();
    const std::set<std::wstring> current = CurrentFolderNames();
    std::vector<int> results(names.size(), -1);
    RunWithin(120000, [&] {
        for (size_t i = 0; i < names.size(); ++i) {
            results[i] = GetFileIconIndex(names[i], false);
            GetFileIconIndex(names[i], true);
        }
    });
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_GE(results[i], 0) << names[i].substr(0, 80);
    EXPECT_EQ(TemporaryFolderNames(), before);
    // Nothing was made where the relative names point either.
    EXPECT_EQ(CurrentFolderNames(), current);
}

TEST(FileIconIndex, ManyThreadsLookUpAlikeAndLeaveNothingBehind) {
    ScopedFileType type(AnsiToWide(kKnownExtension));
    ASSERT_TRUE(type.Ok());
    const std::vector<std::string> names = {
        WindowsFolder(),
        "Z:\\missing\\a" + std::string(kKnownExtension),
        "Z:\\missing\\b" + std::string(kUnknownExtension),
        "Z:\\missing\\c.corvalother",
        "",
    };
    std::vector<int> expected;
    for (const std::string& name : names)
        expected.push_back(GetFileIconIndex(name, false));

    const std::set<std::wstring> before = TemporaryFolderNames();
    constexpr int kThreads = 4;
    std::vector<std::vector<int>> seen(kThreads);
    RunWithin(120000, [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                for (int round = 0; round < 5; ++round) {
                    for (const std::string& name : names)
                        seen[t].push_back(GetFileIconIndex(name, false));
                }
                CoUninitialize();
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    });
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), 5 * names.size());
        for (size_t i = 0; i < seen[t].size(); ++i)
            EXPECT_EQ(seen[t][i], expected[i % names.size()]) << names[i % names.size()];
    }
    EXPECT_EQ(TemporaryFolderNames(), before);
}

}  // namespace
}  // namespace corvalo
