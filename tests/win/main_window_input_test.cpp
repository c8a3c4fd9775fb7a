// The user's keys, wheel, double-click and paste on the main window, sent as real window messages.
#include "app/main_window_win.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"
#include "picture/resample.h"
#include "support/main_window_fixture_win.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

using test::HeldKeys;

class InputTest : public test::StartedWindowFixture {
  protected:
    void SetUp() override { Start(); }
    void Start() {
        StartedWindowFixture::Start();
        window->Show();
    }
    HWND Handle() const { return window->Window(); }
    void Key(WORD key) { SendMessageW(Handle(), WM_KEYDOWN, key, 0); }
    void Wheel(int delta, bool shift) {
        SendMessageW(Handle(), WM_MOUSEWHEEL, MAKEWPARAM(shift ? MK_SHIFT : 0, delta), 0);
    }
    // A start with the alpha value stored in the settings file.
    void StartWithAlpha(int alpha) {
        window.reset();
        test::SetIniValue(Ini(), L"ADMIN", L"Alpha", std::to_wstring(alpha));
        Start();
        ASSERT_EQ(window->Alpha(), alpha);
    }
    Size PictureSize() const {
        const Bitmap* bitmap = window->Picture().PictureBitmap();
        return bitmap ? Size{bitmap->Width(), bitmap->Height()} : Size{};
    }
    Size WindowSize() const {
        RECT bounds{};
        GetWindowRect(Handle(), &bounds);
        return Size{bounds.right - bounds.left, bounds.bottom - bounds.top};
    }
};

TEST_F(InputTest, ShiftDownGrowsAPictureNarrowerThan500) {
    window->Picture().SetPicture(NewSizedBitmap(495, 300, 0x00FFFFFF));
    HeldKeys shift(true, false);
    Key(VK_DOWN);
    EXPECT_EQ(PictureSize().width, 505);
    EXPECT_EQ(PictureSize().height, 306);
    EXPECT_EQ(WindowSize().width, 505);
    EXPECT_EQ(WindowSize().height, 306);
    Key(VK_DOWN);  // 505 is at the limit: nothing
    EXPECT_EQ(PictureSize().width, 505);

    // A step that would take it past its monitor's work area moves it: it touches the edge, and
    // all of it stays on the monitor.
    window->Picture().SetPicture(NewSizedBitmap(100, 100, 0x00FFFFFF));
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(Handle(), nullptr, work.right - 100, work.bottom - 105, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Key(VK_DOWN);
    RECT bounds{};
    GetWindowRect(Handle(), &bounds);
    EXPECT_EQ(bounds.right, work.right) << "moved left to stay inside";
    EXPECT_EQ(bounds.bottom, work.bottom) << "moved up to stay inside";
    // Grown to touch the edge exactly: where it was.
    window->Picture().SetPicture(NewSizedBitmap(100, 100, 0x00FFFFFF));
    SetWindowPos(Handle(), nullptr, work.left, work.bottom - 110, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Key(VK_DOWN);
    GetWindowRect(Handle(), &bounds);
    EXPECT_EQ(bounds.top, work.bottom - 110);
    EXPECT_EQ(bounds.left, work.left);
}

TEST_F(InputTest, ResizeStepsWorkWithAltHeldToo) {
    window->Picture().SetPicture(NewSizedBitmap(100, 80, 0x00FFFFFF));
    HeldKeys shift(true, false);
    // With Alt held the keys arrive as system keys.
    SendMessageW(Handle(), WM_SYSKEYDOWN, VK_DOWN, 1 << 29);
    EXPECT_EQ(PictureSize().width, 110);
    SendMessageW(Handle(), WM_SYSKEYDOWN, VK_UP, 1 << 29);
    EXPECT_EQ(PictureSize().width, 100);
}

TEST_F(InputTest, ShiftUpShrinksAPictureWiderThan50) {
    window->Picture().SetPicture(NewSizedBitmap(55, 40, 0x00FFFFFF));
    HeldKeys shift(true, false);
    Key(VK_UP);
    EXPECT_EQ(PictureSize().width, 45);
    Key(VK_UP);
    EXPECT_EQ(PictureSize().width, 45);
}

TEST_F(InputTest, ArrowsWithoutShiftAndOtherKeysDoNothing) {
    window->Picture().SetPicture(NewSizedBitmap(100, 100, 0x00FFFFFF));
    {
        HeldKeys none(false, false);
        Key(VK_DOWN);
        Key(VK_UP);
    }
    {
        HeldKeys shift(true, false);
        Key(VK_LEFT);
        Key('V');
    }
    EXPECT_EQ(PictureSize().width, 100);
}

TEST_F(InputTest, ResizeStepsAlwaysResampleFromTheMasterPicture) {
    Bitmap stripes = NewSizedBitmap(200, 100, 0x00FFFFFF);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; x += 2)
            stripes.SetPixel(x, y, 0x00000000);
    }
    window->Picture().SetPicture(stripes);
    HeldKeys shift(true, false);
    for (int i = 0; i < 10; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(PictureSize().width, 300);
    for (int i = 0; i < 10; ++i)
        Key(VK_UP);
    EXPECT_EQ(PictureSize().width, 200);
    EXPECT_EQ(PictureSize().height, 100);
    // Back at the master's size, the pixels are the master's own, not a copy of copies.
    const Bitmap& back = *window->Picture().PictureBitmap();
    const Bitmap& master = window->Picture().MasterPicture();
    EXPECT_EQ(master.Width(), 200);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(back.PixelAt(x, 50), master.PixelAt(x, 50)) << x;
}

TEST_F(InputTest, ShiftWheelStepsTheAlphaWithinItsLimits) {
    StartWithAlpha(55);
    Wheel(WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 45);
    Wheel(WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 45);
    StartWithAlpha(235);
    Wheel(-WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 245);
    Wheel(-WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 245);

    Wheel(WHEEL_DELTA, false);  // without Shift nothing happens
    EXPECT_EQ(window->Alpha(), 245);
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(Handle(), nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 245);
}

TEST_F(InputTest, WheelStopsAtTheExactBoundaries) {
    StartWithAlpha(60);
    Wheel(WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 50);
    Wheel(WHEEL_DELTA, true);  // 50 is not above 50
    EXPECT_EQ(window->Alpha(), 50);
    StartWithAlpha(240);
    Wheel(-WHEEL_DELTA, true);  // 240 is not below 240
    EXPECT_EQ(window->Alpha(), 240);
    StartWithAlpha(255);  // a stored 255 can only be lowered
    Wheel(-WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 255);
    Wheel(WHEEL_DELTA, true);
    EXPECT_EQ(window->Alpha(), 245);
}

TEST_F(InputTest, HalfNotchesOfAFineWheelAddUpToOneStep) {
    StartWithAlpha(100);
    Wheel(WHEEL_DELTA / 2, true);
    EXPECT_EQ(window->Alpha(), 100);
    Wheel(WHEEL_DELTA / 2, true);
    EXPECT_EQ(window->Alpha(), 90);
}

TEST_F(InputTest, DoubleClickSwitchesStayOnTopBackAndForth) {
    ASSERT_TRUE(window->StayOnTop());
    SendMessageW(Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(window->StayOnTop());
    SendMessageW(Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(window->StayOnTop());
}

class ClipboardTest : public InputTest {
  protected:
    void PutTextOnClipboard() {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 8 * sizeof(wchar_t));
        wcscpy(static_cast<wchar_t*>(GlobalLock(memory)), L"text");
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }
    void PutBitmapOnClipboard(int width, int height) {
        Bitmap picture = NewSizedBitmap(width, height, 0x00336699);
        ScopedBitmapHandle handle = GdiBitmapFrom(picture);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        if (SetClipboardData(CF_BITMAP, handle.Get()))
            handle.Release();
        CloseClipboard();
    }
};

TEST_F(ClipboardTest, CtrlVWithOnlyTextChangesNothing) {
    PutTextOnClipboard();
    HeldKeys control(false, true);
    Key('V');
    EXPECT_EQ(PictureSize().width, 256);
}

TEST_F(ClipboardTest, CtrlShiftVPastesABitmapAndKeysItsCornerColour) {
    PutBitmapOnClipboard(64, 48);
    HeldKeys both(true, true);
    Key('V');
    EXPECT_EQ(PictureSize().width, 64);
    EXPECT_EQ(PictureSize().height, 48);
    EXPECT_EQ(WindowSize().width, 64);
    EXPECT_TRUE(window->ColorKeyEnabled());
    EXPECT_EQ(window->BackgroundColor(), 0x00336699u);
    EXPECT_EQ(window->Picture().MasterPicture().Width(), 64);
}

// A new picture (a paste, New image, a Shift-drop) that the monitor's work area can't hold is shown
// at once at the largest size that fits, with the window moved wholly into the area; its full size
// stays the master picture, which the resize steps resample. The start-up picture is shown as it
// was left.
TEST_F(ClipboardTest, ANewPictureTooLargeForTheWorkAreaIsShownAtTheLargestSizeThatFits) {
    const RECT work = window->WorkArea();
    const int areaWidth = work.right - work.left, areaHeight = work.bottom - work.top;
    ASSERT_GT(areaWidth, 100);
    ASSERT_GT(areaHeight, 100);
    const Size fitted = FittedBounds(areaWidth * 2, areaHeight, areaWidth, areaHeight);
    ASSERT_EQ(fitted, (Size{areaWidth, (areaHeight + 1) / 2}));

    PutBitmapOnClipboard(areaWidth * 2, areaHeight);
    {
        HeldKeys control(false, true);
        Key('V');
    }
    EXPECT_EQ(PictureSize(), fitted);
    EXPECT_EQ(WindowSize(), fitted);
    const auto insideWorkArea = [&] {
        RECT bounds{};
        GetWindowRect(Handle(), &bounds);
        return bounds.left >= work.left && bounds.top >= work.top && bounds.right <= work.right &&
               bounds.bottom <= work.bottom;
    };
    EXPECT_TRUE(insideWorkArea());
    EXPECT_EQ(window->Picture().MasterPicture().Width(), areaWidth * 2);
    EXPECT_EQ(window->Picture().PictureBitmap()->PixelAt(10, 10), 0x00336699u);
    {
        HeldKeys shift(true, false);
        Key(VK_UP);  // a step measured on the shown picture, made from the full-size one
    }
    EXPECT_EQ(PictureSize(), ScaledBounds(fitted.width, fitted.height, -10));
    EXPECT_EQ(window->Picture().MasterPicture().Width(), areaWidth * 2);

    // New image: a picture file taller than the area; one that fits keeps its size.
    const std::wstring tall = folder.File(L"tall.bmp");
    test::WriteBytes(tall, WriteBmp(NewSizedBitmap(60, areaHeight + 40, 0x00102030)));
    window->ShowPictureFile(tall);
    EXPECT_EQ(PictureSize(), FittedBounds(60, areaHeight + 40, areaWidth, areaHeight));
    EXPECT_EQ(PictureSize().height, areaHeight);
    EXPECT_TRUE(insideWorkArea());
    const std::wstring small = folder.File(L"small.bmp");
    test::WriteBytes(small, WriteBmp(NewSizedBitmap(70, 50, 0x00102030)));
    window->ShowPictureFile(small);
    EXPECT_EQ(PictureSize(), (Size{70, 50}));

    // The picture as it was left at the last close, however large.
    const std::wstring pictureFile = window->PicturePath();
    window.reset();
    test::WriteBytes(pictureFile, WriteBmp(NewSizedBitmap(areaWidth + 30, 40, 0x00102030)));
    Start();
    EXPECT_EQ(PictureSize(), (Size{areaWidth + 30, 40}));
}

}  // namespace
}  // namespace corvalo
