// Long runs of what a user repeats all day (menu rebuilds, menu openings, picture changes,
// resize steps, drops, shortcut and version lookups) must hand back every system object they
// take: the GDI and USER objects and kernel handles of the process stand where they stood before
// the run, and its private memory grows by no more than a small slack.
#include "app/main_window_win.h"
#include "base/text.h"
#include "launcher/drop_target_win.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"
#include "shell/shortcut_target_win.h"
#include "shell/version_info_win.h"
#include "support/main_window_fixture_win.h"
#include "support/process_resources_win.h"
#include "support/sample_pictures_win.h"
#include "support/test_data_object_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

namespace corvalo {
namespace {

using namespace test;

// How much private memory a run may add after its warm-up round. The heaps keep freed blocks for
// reuse and grow in steps of their own (and Wine's allocator rounds differently from Windows'), so
// a few hundred kilobytes come and go without any leak. A real leak in these runs costs far more:
// one 32 x 32 icon bitmap per launcher entry and rebuild is 40 MB over the thousand rebuilds, one
// copy of a 256 x 256 picture per change or step is 50 MB over two hundred.
constexpr size_t kMemorySlack = 2 * 1024 * 1024;

void Report(const char* run, const ResourceSnapshot& before, const ResourceSnapshot& after) {
    std::printf("[ figures  ] %s: before %s; after %s; memory %+.0f KB\n", run,
                Describe(before).c_str(), Describe(after).c_str(),
                (static_cast<double>(after.privateBytes) - before.privateBytes) / 1024.0);
}

// Runs `step` `warmUp` times untimed (caches, first-use tables, heap growth), then `times` times
// between two snapshots, and checks that nothing stayed behind. `settle`, when given, runs before
// each snapshot, so that work a step leaves to another thread is done when it is counted.
void ExpectNoLeak(const char* run, int warmUp, int times, const std::function<void(int)>& step,
                  const std::function<void()>& settle = {}) {
    for (int i = 0; i < warmUp; ++i)
        step(i);
    if (settle)
        settle();
    const ResourceSnapshot before = TakeResourceSnapshot();
    ASSERT_GE(before.gdi, 0) << "GDI objects cannot be counted here";
    ASSERT_GE(before.user, 0) << "USER objects cannot be counted here";
    ASSERT_GE(before.kernel, 0) << "kernel handles cannot be counted here";
    for (int i = 0; i < times; ++i)
        step(i);
    if (settle)
        settle();
    // Objects the system lets go of late (a worker thread ending, a window destroyed by a posted
    // message) may still be counted right after the last step: they get a moment to go. A leak
    // of these runs stays, and grows with the number of steps.
    ResourceSnapshot after = TakeResourceSnapshot();
    for (int wait = 0; wait < 20 && (after.gdi != before.gdi || after.user != before.user ||
                                     after.kernel != before.kernel);
         ++wait) {
        PumpMessages();
        Sleep(100);
        after = TakeResourceSnapshot();
    }
    Report(run, before, after);
    EXPECT_EQ(after.gdi, before.gdi) << run;
    EXPECT_EQ(after.user, before.user) << run;
    EXPECT_EQ(after.kernel, before.kernel) << run;
    EXPECT_LE(after.privateBytes, before.privateBytes + kMemorySlack) << run;
}

// The counters themselves, so that a run that keeps them still means something: each moves by
// exactly what is made and comes back when it is gone.
TEST(ProcessResources, CountersFollowWhatIsMadeAndDestroyed) {
    // The first of each kind may bring objects of the system's own along, which stay (the font
    // list, the input state a thread's windows share): with one of each made first, and one
    // window kept, those are out of the counts.
    const uint8_t andMask[32 * 4] = {};
    const uint8_t xorMask[32 * 4] = {};
    auto makeIcon = [&] { return ScopedIcon(CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask)); };
    auto makeWindow = [] {
        return ScopedWindow(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                            nullptr, nullptr, nullptr));
    };
    auto makeFont = [] {
        return ScopedFont(
            CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    };
    const ScopedWindow kept = makeWindow();
    makeIcon();
    makeFont();
    ScopedMemoryDc(CreateCompatibleDC(nullptr));
    DestroyMenu(CreatePopupMenu());
    ScopedKernelHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    const long gdi = GdiObjectCount();
    const long user = UserObjectCount();
    const long kernel = KernelHandleCount();
    const size_t memory = PrivateBytes();
    ASSERT_GT(gdi, 0);
    ASSERT_GE(user, 0);
    ASSERT_GT(kernel, 0);
    ASSERT_GT(memory, 0u);

    std::vector<ScopedBitmapHandle> bitmaps;
    for (int i = 0; i < 40; ++i)
        bitmaps.emplace_back(CreateBitmap(8, 8, 1, 32, nullptr));
    ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
    ScopedFont font = makeFont();
    EXPECT_EQ(GdiObjectCount(), gdi + 42);

    std::vector<HMENU> menus;
    for (int i = 0; i < 7; ++i)
        menus.push_back(CreatePopupMenu());
    ScopedIcon icon = makeIcon();
    ScopedWindow window = makeWindow();
    EXPECT_EQ(UserObjectCount(), user + 9);

    std::vector<ScopedKernelHandle> events;
    for (int i = 0; i < 25; ++i)
        events.emplace_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    EXPECT_EQ(KernelHandleCount(), kernel + 25);

    constexpr size_t kBlock = 8 * 1024 * 1024;
    void* block = VirtualAlloc(nullptr, kBlock, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, kBlock);
    EXPECT_GE(PrivateBytes(), memory + kBlock - kBlock / 8);

    VirtualFree(block, 0, MEM_RELEASE);
    events.clear();
    window.Reset();
    icon.Reset();
    for (HMENU menu : menus)
        DestroyMenu(menu);
    font.Reset();
    dc.Reset();
    bitmaps.clear();
    EXPECT_EQ(GdiObjectCount(), gdi);
    EXPECT_EQ(UserObjectCount(), user);
    EXPECT_EQ(KernelHandleCount(), kernel);
    EXPECT_LT(PrivateBytes(), memory + kBlock / 2);
}

// --- The main window ----------------------------------------------------------------------------

class WindowLeakTest : public StartedWindowFixture {
  protected:
    void SetUp() override {
        // Launcher items of every kind the menu draws: documents, a program with its own icon, a
        // folder, a missing file, an address, and two with images of the icon list.
        WriteBytes(folder.File(L"notes.txt"), {'n'});
        WriteBytes(folder.File(L"run.bat"), {'@'});
        CopyFileW(TestProgram(L"shell_tool").c_str(), folder.File(L"tool.exe").c_str(), FALSE);
        CreateDirectoryW(folder.File(L"projects").c_str(), nullptr);
        Item(L"Notes", folder.File(L"notes.txt"));
        Item(L"Batch", folder.File(L"run.bat") + L" /q");
        Item(L"Tool", folder.File(L"tool.exe"));
        Item(L"Projects", folder.File(L"projects"));
        Item(L"Gone", folder.File(L"missing.exe"));
        Item(L"Web", L"https://example.com/");
        Item(L"Mail", L"mailto:someone@example.com");
        Item(L"Calc", folder.File(L"calc.exe"));
        SetIniValue(Ini(), L"ICONS", L"Mail", L"0");
        SetIniValue(Ini(), L"ICONS", L"Calc", L"1");

        Start();
        for (Color color : {0x000000FFu, 0x0000FF00u}) {
            ScopedBitmapHandle image = GdiBitmapFrom(NewSizedBitmap(32, 32, color));
            ImageList_Add(window->IconList(), image.Get(), nullptr);
        }
        window->Show();
        // A running program makes its item editor just after the picture shows: the runs start
        // from there, so that making it is not counted as something a run left behind.
        window->Editor();
        LookupsDone();
    }
    // The menu's icons have arrived and their worker thread has ended, as it does once idle: a
    // thread's stacks and handles would otherwise come and go in the middle of a counted run.
    void LookupsDone() {
        for (int tries = 0; tries < 1000 && (window->Menu().IconsPending() ||
                                             window->SystemIconLookups().Running());
             ++tries) {
            PumpMessages();
            Sleep(5);
        }
    }
    void TearDown() override {
        window.reset();
        EXPECT_TRUE(messages.errors.empty()) << WideToAnsi(messages.errors.front());
    }
    void Repaint() {
        InvalidateRect(window->Window(), nullptr, FALSE);
        UpdateWindow(window->Window());
    }
};

TEST_F(WindowLeakTest, AThousandMenuRebuilds) {
    ASSERT_EQ(window->LauncherList().ItemCount(), 8);
    // Each rebuild drops the icon lookups of the one before; the last ones are let finish.
    ExpectNoLeak(
        "1000 menu rebuilds", 20, 1000, [&](int) { window->Menu().RebuildMenu(); },
        [&] { LookupsDone(); });
    size_t withIcon = 0;
    for (const auto& entry : window->Menu().TopLevel())
        withIcon += entry->kind == MenuEntry::Kind::Launcher && !entry->bitmap.Empty();
    EXPECT_GE(withIcon, 4u) << "the rebuilds made icons";
}

// Each start reads every file and builds everything anew; each close saves and lets all of it go.
TEST_F(WindowLeakTest, FiftyStartsAndCloses) {
    ASSERT_TRUE(window->FormCloseQuery());  // the icon list's two images go to its file
    ExpectNoLeak("50 starts and closes", 3, 50, [&](int) {
        Start();
        window->Show();
        Repaint();
        ASSERT_TRUE(window->FormCloseQuery());
        SendMessageW(window->Window(), WM_CLOSE, 0, 0);
        PumpMessages();
    });
    EXPECT_EQ(ImageList_GetImageCount(window->IconList()), 2) << "the icon list went round";
}

// The menu loop of one opening: ended by the hook as soon as it goes idle (everything shown has
// been measured and drawn by then), or by a timer should it never do.
struct OpeningWatch {
    HWND owner = nullptr;
    int measured = 0;
    int drawn = 0;
    bool timedOut = false;
};
OpeningWatch gOpening;

LRESULT CALLBACK WatchMenuMessages(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->hwnd == gOpening.owner) {
            if (sent->message == WM_MEASUREITEM)
                ++gOpening.measured;
            if (sent->message == WM_DRAWITEM)
                ++gOpening.drawn;
            if (sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU)
                EndMenu();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(WindowLeakTest, AThousandMenuOpeningsWithDrawing) {
    gOpening = OpeningWatch{window->Window()};
    HHOOK hook =
        SetWindowsHookExW(WH_CALLWNDPROC, WatchMenuMessages, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    ExpectNoLeak("1000 menu openings", 10, 1000, [&](int) {
        // A generous limit: a machine under load may take seconds for one opening.
        const UINT_PTR timer = SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) {
            gOpening.timedOut = true;
            EndMenu();
        });
        window->Menu().Popup(POINT{200, 150});
        KillTimer(nullptr, timer);
        PumpMessages();
    });
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(gOpening.timedOut) << "an opening never went idle";
    // Every opening measures and draws its visible top level: eight launcher entries, the
    // settings entry and the spacer.
    EXPECT_GE(gOpening.measured, 1010 * 10);
    EXPECT_GE(gOpening.drawn, 1010 * 10);
    std::printf("[ figures  ] %d measure and %d draw requests in 1010 openings\n",
                gOpening.measured, gOpening.drawn);
}

TEST_F(WindowLeakTest, TwoHundredPictureChanges) {
    // Every kind of reader: the portable BMP and GIF decoders, the system's metafile and icon
    // decoders, and the OLE picture loader for a file without an extension.
    Bitmap photo = NewSizedBitmap(180, 120, 0x00336699);
    for (int x = 0; x < 180; ++x)
        photo.SetPixel(x, x % 120, 0x00FFFFFF);
    const std::vector<std::wstring> files = {folder.File(L"photo.bmp"), folder.File(L"drawing.emf"),
                                             folder.File(L"app.ico"), folder.File(L"tiny.gif"),
                                             folder.File(L"picture")};
    WriteBytes(files[0], WriteBmp(photo));
    WriteBytes(files[1], EnhancedMetafile());
    WriteBytes(files[2], IconFile());
    WriteBytes(files[3], TinyGif());
    WriteBytes(files[4], TinyGif());

    ExpectNoLeak("200 picture changes", 10, 200, [&](int i) {
        const std::wstring& file = files[static_cast<size_t>(i) % files.size()];
        if (i % 2 == 0 && file != files[4]) {
            // A picture file dropped with Shift, through the window's drop target.
            auto source = TestDataObject::Create();
            source->Offer(CF_HDROP, DropFilesBlock({file}, true));
            PerformDrop(window->DropTarget().Target(), source.Get(), MK_SHIFT, DROPEFFECT_COPY);
        } else {
            // What the "New image" command does with the chosen file.
            window->Picture().SetPicture(window->LoadPicture(file));
        }
        Repaint();
    });
    EXPECT_EQ(window->Picture().MasterPicture().Width(), 2) << "the last picture is shown";
}

TEST_F(WindowLeakTest, TwoHundredResizeSteps) {
    window->Picture().SetPicture(NewSizedBitmap(200, 150, 0x00808040));
    HeldKeys shift(true, false);
    // Ten steps larger, ten smaller, over and over.
    auto step = [&](int i) {
        SendMessageW(window->Window(), WM_KEYDOWN, (i / 10) % 2 == 0 ? VK_DOWN : VK_UP, 0);
        Repaint();
    };
    ExpectNoLeak("200 resize steps", 20, 200, step);
    EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 200);
}

// --- Drops, shortcut and version lookups ---------------------------------------------------------

// One drop of each kind of data a target reads, each from a watched source: memory blocks, a
// stream, the shell's identifier lists, a shortcut file read from disk, text that is no address,
// and a drag that leaves again.
class DropLeakTest : public ::testing::Test {
  protected:
    DropLeakTest() {
        window_.Reset(CreateWindowExW(0, L"STATIC", L"drop", WS_POPUP, 300, 200, 100, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
        target_.Register(window_.Get());
        WriteBytes(folder_.File(L"a.txt"), {'a'});
        const std::string shortcut = "[InternetShortcut]\r\nURL=https://example.com/disk\r\n";
        WriteBytes(folder_.File(L"site.url"),
                   std::vector<uint8_t>(shortcut.begin(), shortcut.end()));
        idLists_ = ShellIdListBlock(folder_.Path(), {folder_.File(L"a.txt")});
    }

    ComPtr<TestDataObject> Source(int kind) {
        auto source = TestDataObject::Create();
        source->WatchMedia();
        switch (kind) {
            case 0:
                source->Offer(CF_HDROP, DropFilesBlock({folder_.File(L"a.txt")}, true));
                break;
            case 1: {
                const std::string text = "[InternetShortcut]\r\nURL=https://example.com/s\r\n";
                source->Offer(L"FileGroupDescriptorW",
                              FileGroupDescriptorBlock(L"Example.url", true));
                source->Offer(L"FileContents", std::vector<uint8_t>(text.begin(), text.end()), 0,
                              TYMED_ISTREAM);
                break;
            }
            case 2:
                source->Offer(L"Shell IDList Array", idLists_);
                break;
            case 3:
                source->Offer(CF_HDROP, DropFilesBlock({folder_.File(L"site.url")}, false));
                break;
            default:
                source->Offer(CF_TEXT, TextBlock("only words"));
                break;
        }
        return source;
    }

    // Drops (or, for every sixth, drags over and away) and checks that the target kept nothing.
    void DropAndCheck(int i) {
        const int kind = i % 6;
        auto source = Source(kind % 5);
        const POINTL point{307, 209};
        if (kind == 5) {
            DWORD effect = DROPEFFECT_COPY;
            target_.Target()->DragEnter(source.Get(), 0, point, &effect);
            target_.Target()->DragLeave();
        } else {
            PerformDrop(target_.Target(), source.Get(), 0, DROPEFFECT_COPY, {307, 209});
        }
        // The first four kinds deliver something, with the address where they carry one.
        static const char* const kAddresses[] = {"", "https://example.com/s", "",
                                                 "https://example.com/disk"};
        if (kind < 4) {
            EXPECT_EQ(delivered_, 1) << "kind " << kind;
            EXPECT_EQ(url_, kAddresses[kind]);
        } else {
            EXPECT_EQ(delivered_, 0) << "kind " << kind;
        }
        delivered_ = 0;
        EXPECT_EQ(ReferenceCount(source.Get()), 1u) << "kind " << kind;
        EXPECT_EQ(source->MediaHeld(), 0) << "kind " << kind;
        EXPECT_EQ(source->FormatListsHeld(), 0) << "kind " << kind;
    }

    TempFolder folder_;
    std::vector<uint8_t> idLists_;
    ScopedWindow window_;
    int delivered_ = 0;
    std::string url_;
    DropComboTarget target_{[this](DWORD, POINT, DWORD&) {
        ++delivered_;
        url_ = target_.DroppedUrl();
    }};
};

TEST_F(DropLeakTest, EveryDropGivesBackTheSourceItsMemoryStreamsAndHandles) {
    ASSERT_FALSE(idLists_.empty()) << "the shell parsed no identifier lists";
    ExpectNoLeak("200 drops", 12, 200, [&](int i) { DropAndCheck(i); });
}

TEST(LookupLeaks, TwoHundredShortcutAndVersionLookups) {
    TempFolder folder;
    const std::wstring program = TestProgram(L"shell_tool");
    const std::wstring shortcut = folder.File(L"tool.lnk");
    SaveShortcut(shortcut, program);
    WriteBytes(folder.File(L"plain.txt"), {'x'});
    const std::vector<std::wstring> shortcuts = {shortcut, folder.File(L"plain.txt"),
                                                 folder.File(L"missing.lnk")};
    const std::vector<std::wstring> programs = {program, TestProgram(L"shell_no_version"),
                                                folder.File(L"plain.txt"), folder.Path()};
    VersionInfoReader reader;
    auto lookUp = [&](int i) {
        const std::wstring target = GetShortcutTarget(shortcuts[static_cast<size_t>(i) % 3]);
        if (i % 3 == 0) {
            EXPECT_EQ(target, program);
        }
        const std::wstring name = GetProductName(reader, programs[static_cast<size_t>(i) % 4]);
        if (i % 4 == 0) {
            EXPECT_EQ(name, L"Shell Test Tool");
        }
    };
    ExpectNoLeak("200 shortcut and version lookups", 12, 200, lookUp);
}

}  // namespace
}  // namespace corvalo
