// Times the launcher menu with many items, each beside the least the platform needs for the same:
//  1. RebuildMenu until every entry's icon has arrived from the lookup worker, beside the bare
//     calls it has to make for every item: the ICONS read of the settings file, the system icon
//     lookup of the item's 8-bit target, and the icon drawn onto white in a new 32 x 32 DIB
//     section. How long the window itself waited (RebuildMenu's return) is printed beside it.
//  2. Opening the built menu until its loop goes idle (shown and painted), beside a bare
//     owner-drawn popup menu of the same captions that measures and draws them with TextOutA in a
//     font made once; and the same right after a rebuild, while the icons are still arriving, as
//     a menu opened just after the program started is.
// Each measurement runs several times, alternating, and the median counts. Prints milliseconds
// and the ratio ours / bare; there is no pass or fail.
//
//   menu_bench.exe [items]      (default 1000; run through bench/menu/run.sh, on an X display)
//
// Everything it makes lives in a folder of its own in the temporary folder, deleted at the end.

#include "app/main_window_win.h"
#include "base/scoped_win.h"
#include "bench/figure.h"
#include "base/text.h"
#include "launcher/launcher_items_win.h"
#include "shell/sys_image_list_win.h"
#include "support/test_support_win.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace corvalo;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
// An opening takes a fifth of a second and varies by half of that from one to the next, in the
// bare menu as in ours, so it gets more rounds than a rebuild.
constexpr int kOpeningRounds = 15;
constexpr int kMenuTimeoutMs = 20000;
constexpr wchar_t kBareOwnerClass[] = L"CorvaloMenuBenchOwner";

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

using test::PumpMessages;

// Prints the messages the window showed since the last call, errors first, and forgets them.
void PrintMessages(const char* when, test::RecordingMessages& messages) {
    for (std::vector<std::wstring>* texts : {&messages.errors, &messages.notices}) {
        for (const std::wstring& text : *texts)
            std::printf("%s: %s\n", when, WideToAnsi(text).c_str());
        texts->clear();
    }
}

// --- The data: real files of a few types and the settings file listing them ---------------------

struct Workspace {
    std::wstring folder;
    std::vector<std::wstring> files;
    std::wstring settingsPath;
};

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        std::fprintf(stderr, "cannot create %ls\n", path.c_str());
        std::exit(1);
    }
    std::wstring content = L"\xFEFF" + text;
    std::vector<uint16_t> units;
    units.reserve(content.size());
    for (wchar_t ch : content)
        units.push_back(static_cast<uint16_t>(ch));
    DWORD written = 0;
    WriteFile(file.Get(), units.data(), static_cast<DWORD>(units.size() * 2), &written, nullptr);
}

Workspace MakeWorkspace(int items) {
    Workspace space;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    space.folder =
        std::wstring(temp) + L"corvalo-menu-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(space.folder.c_str(), nullptr);
    const wchar_t* extensions[] = {L".txt", L".exe", L".bat", L".ini", L".dll"};
    std::wstring menu = L"[ADMIN]\r\nHide=1\r\n[MENU]\r\n";
    for (int i = 0; i < items; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"item%04d", i);
        const std::wstring file = space.folder + L"\\" + name + extensions[i % 5];
        ScopedKernelHandle made(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        space.files.push_back(file);
        wchar_t caption[32];
        swprintf(caption, 32, L"Item %04d", i);
        menu += std::wstring(caption) + L"=" + file + L"\r\n";
    }
    // An ICONS section that assigns nothing to these items: every entry takes its system icon.
    menu += L"[ICONS]\r\nSomething else=0\r\n";
    space.settingsPath = space.folder + L"\\corvalo.ini";
    WriteUtf16File(space.settingsPath, menu);
    return space;
}

void RemoveWorkspace(const Workspace& space) {
    for (const std::wstring& file : space.files)
        DeleteFileW(file.c_str());
    for (const wchar_t* extra : {L"\\corvalo.ini", L"\\corvalo.icons", L"\\corvalo.bmp",
                                 L"\\corvalo.lst", L"\\corvalo.bak"}) {
        DeleteFileW((space.folder + extra).c_str());
    }
    if (!RemoveDirectoryW(space.folder.c_str()))
        std::printf("note: %ls was not removed completely\n", space.folder.c_str());
}

// --- 1. Building
// ----------------------------------------------------------------------------------

struct BarePass {
    double iconsReads = 0;
    double lookups = 0;
    double bitmaps = 0;
};

BarePass RunBareBuild(const std::vector<std::wstring>& captions,
                      const std::vector<std::string>& targets, const std::wstring& settingsPath) {
    BarePass pass;
    const size_t count = captions.size();

    auto start = Clock::now();
    wchar_t value[64];
    int assigned = 0;
    for (const std::wstring& caption : captions) {
        GetPrivateProfileStringW(L"ICONS", caption.c_str(), L"", value, 64, settingsPath.c_str());
        assigned += value[0] != L'\0';
    }
    pass.iconsReads = Milliseconds(Clock::now() - start);

    std::vector<int> indices(count);
    HIMAGELIST system = nullptr;
    start = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        SHFILEINFOA info{};
        system = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(
            targets[i].c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
        indices[i] = info.iIcon;
    }
    pass.lookups = Milliseconds(Clock::now() - start);

    // Every entry keeps its bitmap, as the menu does.
    std::vector<ScopedBitmapHandle> bitmaps;
    bitmaps.reserve(count);
    start = Clock::now();
    ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 32;
    format.bmiHeader.biHeight = 32;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    for (size_t i = 0; i < count; ++i) {
        void* bits = nullptr;
        ScopedBitmapHandle bitmap(
            CreateDIBSection(dc.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
        std::fill_n(static_cast<uint8_t*>(bits), 32 * 32 * 3, uint8_t{0xFF});
        ScopedSelectObject selected(dc.Get(), bitmap.Get());
        ImageList_Draw(system, indices[i], dc.Get(), 0, 0, ILD_TRANSPARENT);
        bitmaps.push_back(std::move(bitmap));
    }
    GdiFlush();
    pass.bitmaps = Milliseconds(Clock::now() - start);
    if (assigned != 0)
        std::printf("note: %d captions unexpectedly have an ICONS value\n", assigned);
    return pass;
}

void BenchBuild(MainWindow& window, const std::wstring& settingsPath) {
    const LauncherList& list = window.LauncherList();
    std::vector<std::wstring> captions;
    std::vector<std::string> targets;
    for (int i = 0; i < list.ItemCount(); ++i) {
        captions.push_back(list.ItemCaption(i));
        targets.push_back(WideToAnsi(list.ItemTarget(i)));
    }

    // Both sides warm: the window's start-up already built the menu once; one bare pass untimed.
    RunBareBuild(captions, targets, settingsPath);
    // Where our time goes: the product's own lookup and icon copy on the same names.
    auto ourParts = [&](double& readMs, double& findMs, double& lookupMs, double& copyMs) {
        auto start = Clock::now();
        int assigned = 0;
        for (const std::wstring& caption : captions)
            assigned += IconIndexOf(*window.Settings(), caption) >= 0;
        readMs = Milliseconds(Clock::now() - start);
        start = Clock::now();
        size_t found = 0;
        for (const std::wstring& caption : captions)
            found += list.TargetOf(caption).size();
        findMs = Milliseconds(Clock::now() - start);
        if (assigned != 0 || found == 0)
            std::printf("note: unexpected icon map or targets\n");
        std::vector<int> indices(targets.size());
        start = Clock::now();
        for (size_t i = 0; i < targets.size(); ++i)
            indices[i] = GetFileIconIndex(targets[i], false);
        lookupMs = Milliseconds(Clock::now() - start);
        std::vector<Bitmap> copies(targets.size());
        start = Clock::now();
        for (size_t i = 0; i < targets.size(); ++i)
            CopyIcon(window.SystemIcons().Handle(), indices[i], copies[i]);
        copyMs = Milliseconds(Clock::now() - start);
    };
    std::vector<double> ours, returned, reads, lookups, bitmaps, bare, ourReads, ourFinds,
        ourLookups, ourCopies;
    for (int round = 0; round < kRounds; ++round) {
        double readMs = 0, findMs = 0, lookupMs = 0, copyMs = 0;
        ourParts(readMs, findMs, lookupMs, copyMs);
        ourReads.push_back(readMs);
        ourFinds.push_back(findMs);
        ourLookups.push_back(lookupMs);
        ourCopies.push_back(copyMs);
        // The rebuild returns at once; its system icons arrive from the worker: the figure is
        // the time until the last one has.
        const auto start = Clock::now();
        window.Menu().RebuildMenu();
        returned.push_back(Milliseconds(Clock::now() - start));
        window.Menu().TopLevel();
        while (window.Menu().IconsPending()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            PumpMessages();
        }
        ours.push_back(Milliseconds(Clock::now() - start));
        const BarePass pass = RunBareBuild(captions, targets, settingsPath);
        reads.push_back(pass.iconsReads);
        lookups.push_back(pass.lookups);
        bitmaps.push_back(pass.bitmaps);
        bare.push_back(pass.iconsReads + pass.lookups + pass.bitmaps);
    }

    size_t withIcon = 0;
    for (const auto& entry : window.Menu().TopLevel())
        withIcon += entry->kind == MenuEntry::Kind::Launcher && !entry->bitmap.Empty();

    std::printf("\n1. RebuildMenu, %zu launcher items (%zu entries got an icon), median of %d\n",
                captions.size(), withIcon, kRounds);
    std::printf("   %-44s %9.1f ms\n", "RebuildMenu until every icon arrived (ours)", Median(ours));
    std::printf("   %-44s %9.1f ms\n", "  of which the window waited (RebuildMenu)",
                Median(returned));
    std::printf("   %-44s %9.1f ms\n", "bare: ICONS reads (GetPrivateProfileStringW)",
                Median(reads));
    std::printf("   %-44s %9.1f ms\n", "bare: system icon lookups (SHGetFileInfoA)",
                Median(lookups));
    std::printf("   %-44s %9.1f ms\n", "bare: icons into 32x32 DIBs (ImageList_Draw)",
                Median(bitmaps));
    std::printf("   %-44s %9.1f ms\n", "bare: all three (median of the sums)", Median(bare));
    std::printf("   ratio ours / bare: %.2f   (target 1.2 at most)\n", Median(ours) / Median(bare));
    const std::string rebuild = "Menu rebuild, " + std::to_string(captions.size()) + " items";
    corvalo::bench::PrintFigure(rebuild.c_str(), Median(ours), Median(bare), "platform calls", "ms",
                                "<=1.2");
    std::printf(
        "   parts of ours, each alone: IconIndexOf %.1f ms, TargetOf %.1f ms, "
        "GetFileIconIndex %.1f ms, CopyIcon %.1f ms\n",
        Median(ourReads), Median(ourFinds), Median(ourLookups), Median(ourCopies));
    std::printf("   all rounds, ours:");
    for (double v : ours)
        std::printf(" %.1f", v);
    std::printf("\n   all rounds, bare:");
    for (double v : bare)
        std::printf(" %.1f", v);
    std::printf("\n");
}

// --- 2. Opening
// -----------------------------------------------------------------------------------

// The moment the menu loop first goes idle; the hook then closes the menu.
bool gWaitingForIdle = false;
bool gTimedOut = false;
Clock::time_point gIdleAt;

LRESULT CALLBACK IdleHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && gWaitingForIdle) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU) {
            gIdleAt = Clock::now();
            gWaitingForIdle = false;
            EndMenu();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK MenuTimeout(HWND, UINT, UINT_PTR, DWORD) {
    if (gWaitingForIdle) {
        gTimedOut = true;
        gWaitingForIdle = false;
        EndMenu();
    }
}

// The bare owner: measures and draws each caption with TextOutA in one font.
struct BareOwner {
    HFONT font = nullptr;
    HDC screen = nullptr;
};
BareOwner gBare;

LRESULT CALLBACK BareOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        const auto* caption = reinterpret_cast<const std::string*>(measure->itemData);
        SIZE extent{};
        GetTextExtentPoint32A(gBare.screen, caption->c_str(), static_cast<int>(caption->size()),
                              &extent);
        measure->itemWidth = static_cast<UINT>(extent.cx + 32);
        measure->itemHeight = static_cast<UINT>(extent.cy + 8);
        return TRUE;
    }
    if (message == WM_DRAWITEM) {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const auto* caption = reinterpret_cast<const std::string*>(draw->itemData);
        ScopedSelectObject selected(draw->hDC, gBare.font);
        TextOutA(draw->hDC, draw->rcItem.left + 32, draw->rcItem.top + 4, caption->c_str(),
                 static_cast<int>(caption->size()));
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Runs `open` (which must open a popup menu and return when it closes) and returns the time from
// the call to the menu loop's first idle, or a negative value when the menu never went idle.
template <typename Open>
double TimeToIdle(Open&& open) {
    PumpMessages();
    gWaitingForIdle = true;
    gTimedOut = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, kMenuTimeoutMs, MenuTimeout);
    const auto start = Clock::now();
    open();
    KillTimer(nullptr, timer);
    const bool wentIdle = !gWaitingForIdle && !gTimedOut;
    gWaitingForIdle = false;
    PumpMessages();
    return wentIdle ? Milliseconds(gIdleAt - start) : -1.0;
}

void BenchOpening(MainWindow& window) {
    window.Show();
    PumpMessages();

    // The same captions as Corvalo's top level, as 8-bit text.
    std::vector<std::string> captions;
    for (const auto& entry : window.Menu().TopLevel())
        captions.push_back(WideToAnsi(entry->caption));

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = BareOwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kBareOwnerClass;
    RegisterClassW(&windowClass);
    ScopedWindow owner(CreateWindowExW(0, kBareOwnerClass, L"bare", WS_POPUP | WS_VISIBLE, 0, 0,
                                       100, 100, nullptr, nullptr, windowClass.hInstance, nullptr));
    ScopedFont font(CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH, L"Tahoma"));
    ScopedWindowDc screen(nullptr);
    ScopedSelectObject screenFont(screen.Get(), font.Get());
    gBare.font = font.Get();
    gBare.screen = screen.Get();

    auto openBare = [&] {
        HMENU menu = CreatePopupMenu();
        for (size_t i = 0; i < captions.size(); ++i) {
            MENUITEMINFOA item{};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID;
            item.fType = MFT_OWNERDRAW;
            item.wID = static_cast<UINT>(i + 1);
            item.dwItemData = reinterpret_cast<ULONG_PTR>(&captions[i]);
            InsertMenuItemA(menu, static_cast<UINT>(i), TRUE, &item);
        }
        SetForegroundWindow(owner.Get());
        TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, 100,
                         100, owner.Get(), nullptr);
        DestroyMenu(menu);
    };
    auto openOurs = [&] { window.Menu().Popup(POINT{100, 100}); };

    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, IdleHook, nullptr, GetCurrentThreadId());
    // One untimed opening each first.
    TimeToIdle(openBare);
    TimeToIdle(openOurs);
    std::vector<double> ours, early, bare;
    int failed = 0;
    for (int round = 0; round < kOpeningRounds; ++round) {
        const double b = TimeToIdle(openBare);
        const double o = TimeToIdle(openOurs);
        window.Menu().RebuildMenu();
        const double e = TimeToIdle(openOurs);
        if (b < 0 || o < 0 || e < 0) {
            ++failed;
            continue;
        }
        bare.push_back(b);
        ours.push_back(o);
        early.push_back(e);
    }
    UnhookWindowsHookEx(hook);

    std::printf("\n2. Opening the menu of %zu entries to its first idle, median of %zu\n",
                captions.size(), ours.size());
    if (ours.empty()) {
        std::printf("   the menu loop never went idle within %d ms (%d rounds)\n", kMenuTimeoutMs,
                    failed);
        return;
    }
    std::printf("   %-44s %9.1f ms\n", "LauncherMenu::Popup (ours)", Median(ours));
    std::printf("   %-44s %9.1f ms\n", "bare owner-drawn menu (TextOutA)", Median(bare));
    std::printf("   ratio ours / bare: %.2f   (target 1.3 at most)\n", Median(ours) / Median(bare));
    const std::string opening = "Menu opening, " + std::to_string(captions.size()) + " entries";
    corvalo::bench::PrintFigure(opening.c_str(), Median(ours), Median(bare),
                                "bare owner-drawn menu", "ms", "<=1.3");
    std::printf("   %-44s %9.1f ms\n", "right after a rebuild, icons arriving (ours)",
                Median(early));
    const std::string earlyOpening =
        "Menu opening while icons arrive, " + std::to_string(captions.size()) + " entries";
    corvalo::bench::PrintFigure(earlyOpening.c_str(), Median(early), Median(bare),
                                "bare owner-drawn menu", "ms", "<=1.3");
    std::printf("   all rounds, ours:");
    for (double v : ours)
        std::printf(" %.1f", v);
    std::printf("\n   all rounds, icons arriving:");
    for (double v : early)
        std::printf(" %.1f", v);
    std::printf("\n   all rounds, bare:");
    for (double v : bare)
        std::printf(" %.1f", v);
    std::printf("\n");
    if (failed)
        std::printf("   %d rounds never went idle and are left out\n", failed);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int items = argc > 1 ? std::max(1, _wtoi(argv[1])) : 1000;
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    const Workspace space = MakeWorkspace(items);
    {
        test::RecordingMessages messages;
        MainWindow window(test::TestWindowOptions(space.folder + L"\\corvalo.exe", messages));
        PrintMessages("start-up reported", messages);
        if (window.LauncherList().ItemCount() != items) {
            std::printf("the window read %d launcher items instead of %d\n",
                        window.LauncherList().ItemCount(), items);
        } else {
            BenchBuild(window, space.settingsPath);
            BenchOpening(window);
        }
        PrintMessages("reported during the runs", messages);
    }
    RemoveWorkspace(space);
    OleUninitialize();
    return 0;
}
