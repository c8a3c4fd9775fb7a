// The main window on screens of other pixel densities: the DPI functions and their fallbacks, the
// picture at a monitor's DPI (sent as the system sends it when the window moves), and the stored
// position in the units of a program that is not DPI aware.
#include "app/main_window_win.h"
#include "base/dpi_scale.h"
#include "base/dpi_win.h"
#include "picture/bitmap.h"
#include "picture/picture_file.h"
#include "support/main_window_fixture_win.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace corvalo {
namespace {

using test::HeldKeys;

TEST(DpiFunctions, WithoutTheNewerFunctionsEveryAnswerIsTheSystemDpis) {
    // What this system grants, for the record.
    using GetAwareness = int(WINAPI*)(void*);
    using GetContext = void*(WINAPI*)();
    HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto awareness = reinterpret_cast<GetAwareness>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    const auto context = reinterpret_cast<GetContext>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
    std::printf("[ figures  ] awareness %d, system %d dpi, monitor %d dpi\n",
                awareness && context ? awareness(context()) : -1, SystemDpi(), DpiAt(POINT{0, 0}));

    HDC screen = GetDC(nullptr);
    const int caps = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const RECT client{0, 0, 407, 138};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_TOOLWINDOW;
    RECT adjusted = client;
    AdjustWindowRectEx(&adjusted, style, FALSE, exStyle);
    {
        // Windows 7: none of them.
        const ScopedDpiFunctions none{DpiFunctions{}};
        EXPECT_EQ(SystemDpi(), caps);
        EXPECT_EQ(DpiAt(POINT{0, 0}), caps);
        EXPECT_EQ(WindowDpi(GetDesktopWindow()), caps);
        EXPECT_EQ(SystemMetricForDpi(SM_CXMENUCHECK, caps), GetSystemMetrics(SM_CXMENUCHECK));
        EXPECT_EQ(SystemMetricForDpi(SM_CXMENUCHECK, 2 * caps),
                  DpiScaled(DpiUnscaled(GetSystemMetrics(SM_CXMENUCHECK), caps), 2 * caps));
        const RECT bounds = WindowRectForClient(client, style, exStyle, 2 * caps);
        EXPECT_TRUE(EqualRect(&bounds, &adjusted));
    }
    {
        // Windows 8.1: a DPI per monitor, none per window; a window's DPI is its monitor's.
        DpiFunctions perMonitor;
        perMonitor.getDpiForMonitor = [](HMONITOR, int, UINT* x, UINT* y) -> HRESULT {
            *x = *y = 144;
            return S_OK;
        };
        const ScopedDpiFunctions granted{perMonitor};
        EXPECT_EQ(DpiAt(POINT{0, 0}), 144);
        EXPECT_EQ(WindowDpi(GetDesktopWindow()), 144);
        EXPECT_EQ(SystemDpi(), caps);
    }
    {
        // An answer of 0 (a window being destroyed, say) is no DPI: the next source answers.
        DpiFunctions broken = SystemDpiFunctions();
        broken.getDpiForWindow = [](HWND) -> UINT { return 0; };
        broken.getDpiForSystem = []() -> UINT { return 0; };
        broken.getDpiForMonitor = [](HMONITOR, int, UINT*, UINT*) -> HRESULT { return E_FAIL; };
        const ScopedDpiFunctions granted{broken};
        EXPECT_EQ(WindowDpi(GetDesktopWindow()), caps);
    }
    // The system's own, where it has them, agree with the fallbacks at the system DPI.
    EXPECT_EQ(SystemMetricForDpi(SM_CXMENUCHECK, SystemDpi()), GetSystemMetrics(SM_CXMENUCHECK));
    const RECT own = WindowRectForClient(client, style, exStyle, SystemDpi());
    EXPECT_TRUE(EqualRect(&own, &adjusted));
}

class DpiTest : public test::StartedWindowFixture {
  protected:
    void SetUp() override {
        Start();
        window->Show();
    }
    HWND Handle() const { return window->Window(); }
    // The user's close: the final save, then the window goes.
    void Close() {
        ASSERT_TRUE(window->FormCloseQuery());
        window.reset();
    }
    Size WindowSize() const {
        RECT bounds{};
        GetWindowRect(Handle(), &bounds);
        return Size{bounds.right - bounds.left, bounds.bottom - bounds.top};
    }
    // As the system sends it when the window has moved onto a monitor of another DPI.
    void MoveToDpi(int dpi) {
        SIZE size{};
        ASSERT_TRUE(
            SendMessageW(Handle(), kGetDpiScaledSizeMessage, dpi, reinterpret_cast<LPARAM>(&size)));
        RECT bounds{};
        GetWindowRect(Handle(), &bounds);
        RECT suggested{bounds.left, bounds.top, bounds.left + size.cx, bounds.top + size.cy};
        SendMessageW(Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    }
};

TEST_F(DpiTest, AtAnyDpiThePictureIsShownScaledWithNoFringeAndStays96InItsFile) {
    // A see-through picture: a red disc on its key colour (the bottom-left pixel).
    const Color key = MakeColor(0, 255, 0), red = MakeColor(220, 10, 10);
    Bitmap disc = NewSizedBitmap(100, 60, key);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            if ((x - 50) * (x - 50) + (y - 30) * (y - 30) < 600)
                disc.SetPixel(x, y, red);
    window->Picture().SetPicture(disc);
    for (int dpi : {120, 144, 192}) {
        MoveToDpi(dpi);
        EXPECT_EQ(WindowSize(), (Size{DpiScaled(100, dpi), DpiScaled(60, dpi)})) << dpi;
        EXPECT_EQ(window->Picture().Width(), 100);
        const Bitmap* shown = window->Picture().ShownBitmap();
        ASSERT_EQ(shown->Width(), DpiScaled(100, dpi));
        for (int y = 0; y < shown->Height(); ++y)
            for (int x = 0; x < shown->Width(); ++x)
                ASSERT_TRUE(shown->PixelAt(x, y) == key || shown->PixelAt(x, y) == red)
                    << dpi << ": " << x << "," << y;
    }
    // 150 %: a resize step is 10 pixels at 96 dpi, 15 on screen.
    MoveToDpi(144);
    EXPECT_EQ(WindowSize(), (Size{150, 90}));
    {
        HeldKeys shift(true, false);
        SendMessageW(Handle(), WM_KEYDOWN, VK_DOWN, 0);
    }
    EXPECT_EQ(window->Picture().Width(), 110);
    EXPECT_EQ(WindowSize(), (Size{165, 99}));
    // Back at 96 dpi: the picture itself, pixel for pixel, at its own size.
    MoveToDpi(96);
    EXPECT_EQ(WindowSize(), (Size{110, 66}));
    EXPECT_EQ(window->Picture().ShownBitmap(), window->Picture().PictureBitmap());
    MoveToDpi(192);
    const std::wstring picture = window->PicturePath();
    Close();
    const Bitmap saved = LoadPictureFile(picture);
    EXPECT_EQ(saved.Width(), 110);
    EXPECT_EQ(saved.Height(), 66);
}

TEST_F(DpiTest, TheStoredPositionIsInTheSystemDpisUnitsAndNeverCreeps) {
    // A system started at 144 dpi: the settings file's 200, 100 is where a program that is not
    // DPI aware was at 200, 100, on screen 300, 150.
    DpiFunctions at144 = SystemDpiFunctions();
    at144.getDpiForSystem = []() -> UINT { return 144; };
    const ScopedDpiFunctions system{at144};
    window.reset();
    test::SetIniValue(Ini(), L"ADMIN", L"FormLeft", L"200");
    test::SetIniValue(Ini(), L"ADMIN", L"FormTop", L"100");
    Start();
    RECT bounds{};
    GetWindowRect(Handle(), &bounds);
    EXPECT_EQ(bounds.left, 300);
    EXPECT_EQ(bounds.top, 150);
    Close();
    EXPECT_EQ(test::IniValue(Ini(), L"ADMIN", L"FormLeft"), L"200");
    EXPECT_EQ(test::IniValue(Ini(), L"ADMIN", L"FormTop"), L"100");
    // Dragged off the 96-dpi grid: stored as the nearest 96-dpi position, which then reads back
    // the same, start after start.
    Start();
    window->Show();
    SetWindowPos(Handle(), nullptr, 301, 149, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int start = 0; start < 3; ++start) {
        Close();
        EXPECT_EQ(test::IniValue(Ini(), L"ADMIN", L"FormLeft"), L"201");
        EXPECT_EQ(test::IniValue(Ini(), L"ADMIN", L"FormTop"), L"99");
        Start();
        GetWindowRect(Handle(), &bounds);
        EXPECT_EQ(bounds.left, 302);  // 301.5, the half going up
        EXPECT_EQ(bounds.top, 149);   // 148.5
    }
}

}  // namespace
}  // namespace corvalo
