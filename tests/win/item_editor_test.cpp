// The item editor as a user meets it: adding, updating and removing items, the overwrite question,
// the icon-index field and the icon buttons, with the question and the open dialog scripted and
// the editor's modal loop driven by a timer.
#include "app/main_window_win.h"
#include "base/color_mode_win.h"
#include "base/dpi_scale.h"
#include "base/dpi_win.h"
#include "editor/item_editor_win.h"
#include "launcher/launcher_items_win.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "support/item_editor_fixture_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace corvalo {
namespace {

using test::IconFile;
using test::IniValue;
using test::SetIniValue;
using test::WriteBytes;
using ItemEditorTest = test::EditorFixture;

RECT ClientRectIn(HWND control, HWND parent) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// --- The window ---------------------------------------------------------------------------------

TEST_F(ItemEditorTest, IsATopmostToolWindowWithItsControlsInPlaceAndInTabOrder) {
    HWND editor = Editor().Window();
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, 407);
    EXPECT_EQ(client.bottom, 138);
    EXPECT_EQ(TextOf(editor), L"Corvalo");
    const LONG_PTR exStyle = GetWindowLongPtrW(editor, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongPtrW(editor, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_FALSE(IsWindowVisible(editor));

    const RECT add = ClientRectIn(Editor().AddButton(), editor);
    EXPECT_EQ(add.left, 296);
    EXPECT_EQ(add.top, 23);
    EXPECT_EQ(add.right - add.left, 92);
    EXPECT_EQ(add.bottom - add.top, 25);
    const RECT caption = ClientRectIn(Editor().CaptionField(), editor);
    EXPECT_EQ(caption.left, 67);
    EXPECT_EQ(caption.top, 63);
    EXPECT_EQ(caption.right - caption.left, 213);
    EXPECT_EQ(TextOf(Editor().AddButton()), L"ADD/UPDATE");
    EXPECT_EQ(TextOf(Editor().RemoveButton()), L"REMOVE ITEM");
    EXPECT_EQ(TextOf(Editor().FindIconButton()), L"Find icon");
    EXPECT_EQ(TextOf(Editor().AddIconButton()), L"Add icon");
    EXPECT_FALSE(IsWindowEnabled(Editor().AddButton()));
    EXPECT_FALSE(IsWindowEnabled(Editor().RemoveButton()));
    EXPECT_EQ(TextOf(Editor().IconIndexField().Edit()), L"-1");

    // With both buttons enabled, Tab walks the fields and buttons in their order.
    Editor().SetFileNameText(L"x");
    Editor().SetCaptionText(L"y");
    const HWND order[] = {Editor().FileNameField(),  Editor().CaptionField(),
                          Editor().AddButton(),      Editor().RemoveButton(),
                          Editor().FindIconButton(), Editor().IconIndexField().Edit(),
                          Editor().AddIconButton(),  Editor().FileNameField()};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(GetNextDlgTabItem(editor, order[i], FALSE), order[i + 1]) << i;
}

TEST_F(ItemEditorTest, FirstShowingIsCentredAndLaterOnesKeepTheLastPosition) {
    RECT first{};
    WhileShown([&] {
        EXPECT_TRUE(IsWindowVisible(Editor().Window()));
        EXPECT_FALSE(IsWindowEnabled(window->Window()));  // modal over the picture
        GetWindowRect(Editor().Window(), &first);
        SetWindowPos(Editor().Window(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Editor().Close();
    });
    EXPECT_TRUE(IsWindowEnabled(window->Window()));
    EXPECT_FALSE(IsWindowVisible(Editor().Window()));
    EXPECT_NEAR((first.left + first.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((first.top + first.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    WhileShown([&] {
        RECT again{};
        GetWindowRect(Editor().Window(), &again);
        EXPECT_EQ(again.left, 10);
        EXPECT_EQ(again.top, 20);
        Editor().Close();
    });
}

// At 96 dpi every length is the one above; at 144 each is one and a half times it, rounded, and
// the font is 9 points at 144 dpi; at 120 and 192 nothing is clipped.
TEST_F(ItemEditorTest, IsLaidOutForItsMonitorsDpiAndExactlyAsBeforeBackAt96) {
    HWND editor = Editor().Window();  // made at this system's 96 dpi
    ASSERT_EQ(Editor().Dpi(), 96);
    Editor().Preview().SetBitmap(NewSizedBitmap(32, 32, 0x00FF00));
    DpiFunctions at144;
    at144.getDpiForMonitor = [](HMONITOR, int, UINT* x, UINT* y) -> HRESULT {
        *x = *y = 144;
        return S_OK;
    };
    const auto expectLayout = [&](int clientWidth, int clientHeight, RECT fileName, RECT add,
                                  RECT iconIndex, int previewLeft, int fontHeight) {
        RECT client{};
        GetClientRect(editor, &client);
        EXPECT_EQ(client.right, clientWidth);
        EXPECT_EQ(client.bottom, clientHeight);
        const auto expectAt = [&](HWND control, RECT expected) {
            const RECT r = ClientRectIn(control, editor);
            EXPECT_EQ(r.left, expected.left);
            EXPECT_EQ(r.top, expected.top);
            EXPECT_EQ(r.right, expected.right);
            EXPECT_EQ(r.bottom, expected.bottom);
        };
        expectAt(Editor().FileNameField(), fileName);
        expectAt(Editor().AddButton(), add);
        // The spin buttons end where the field's 96-dpi width ends, scaled, less the control's
        // own small gap.
        EXPECT_EQ(ClientRectIn(Editor().IconIndexField().Edit(), editor).left, iconIndex.left);
        EXPECT_NEAR(ClientRectIn(Editor().IconIndexField().Buttons(), editor).right,
                    iconIndex.right, 2);
        // A 32-pixel image fills the preview's 32-pixel square at any DPI.
        const RECT preview = ClientRectIn(Editor().Preview().Window(), editor);
        EXPECT_EQ(preview.left, previewLeft);
        EXPECT_EQ(preview.right - preview.left, DpiScaled(32, Editor().Dpi()));
        EXPECT_EQ(preview.bottom - preview.top, DpiScaled(32, Editor().Dpi()));
        LOGFONTW font{};
        GetObjectW(Editor().Font(), sizeof(font), &font);
        EXPECT_EQ(font.lfHeight, fontHeight);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(Editor().CaptionField(), WM_GETFONT, 0, 0)),
                  Editor().Font());
    };
    {
        // Opened on a monitor at 144 dpi: laid out for it, then centred there.
        const ScopedDpiFunctions monitor{at144};
        WhileShown([&] {
            EXPECT_EQ(Editor().Dpi(), 144);
            Editor().Preview().SetBitmap(NewSizedBitmap(32, 32, 0x00FF00));
            expectLayout(611, 207, {24, 36, 24 + 398, 36 + 33}, {444, 35, 444 + 138, 35 + 38},
                         {125, 150, 125 + 62, 0}, 24, -18);
            RECT bounds{};
            GetWindowRect(editor, &bounds);
            EXPECT_NEAR((bounds.left + bounds.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
            SIZE asked{};
            EXPECT_TRUE(SendMessageW(editor, kGetDpiScaledSizeMessage, 144,
                                     reinterpret_cast<LPARAM>(&asked)));
            EXPECT_EQ(asked.cx, bounds.right - bounds.left);
            EXPECT_EQ(asked.cy, bounds.bottom - bounds.top);
            Editor().Close();
        });
    }
    // Moved onto a monitor at 96 dpi: exactly the editor of a 96-dpi screen, where it was put.
    RECT suggested{30, 40, 30 + 500, 40 + 200};
    SendMessageW(editor, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(Editor().Dpi(), 96);
    expectLayout(407, 138, {16, 24, 16 + 265, 24 + 22}, {296, 23, 296 + 92, 23 + 25},
                 {83, 100, 83 + 41, 0}, 16, -12);
    RECT bounds{};
    GetWindowRect(editor, &bounds);
    EXPECT_EQ(bounds.left, 30);
    EXPECT_EQ(bounds.top, 40);

    // Nothing clipped at any scaling: every control inside the window, every text inside its
    // control.
    for (const int dpi : {96, 120, 144, 192}) {
        SendMessageW(editor, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
        RECT client{};
        GetClientRect(editor, &client);
        EXPECT_EQ(client.right, DpiScaled(407, dpi));
        EXPECT_EQ(client.bottom, DpiScaled(138, dpi));
        ScopedWindowDc dc(editor);
        ScopedSelectObject font(dc.Get(), Editor().Font());
        for (HWND child = GetWindow(editor, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const RECT r = ClientRectIn(child, editor);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right &&
                        r.bottom <= client.bottom)
                << dpi << " dpi: " << TextOf(child);
            SIZE text{};
            const std::wstring caption = TextOf(child);
            GetTextExtentPoint32W(dc.Get(), caption.c_str(), static_cast<int>(caption.size()),
                                  &text);
            EXPECT_LE(text.cx, r.right - r.left) << dpi << " dpi: " << TextOf(child);
            EXPECT_LE(text.cy, r.bottom - r.top) << dpi << " dpi: " << TextOf(child);
        }
    }
}

// Whether the played system's title bar takes attribute 19 (Windows 10 before 20H1).
bool titleBarKnows19 = false;

// The editor follows the user's colours at once: each kind of control is answered in the
// palette's colours in dark mode and high contrast, and left to the system in light mode.
TEST_F(ItemEditorTest, FollowsDarkModeAndHighContrastLiveForEveryKindOfControl) {
    HWND editor = Editor().Window();
    ASSERT_EQ(Editor().Colors().mode, ColorMode::Light);
    ScopedWindowDc dc(Editor().FileNameField());
    struct Kind {
        UINT message;
        HWND control;
    };
    const Kind kinds[] = {
        {WM_CTLCOLOREDIT, Editor().FileNameField()},
        {WM_CTLCOLORSTATIC, FindWindowExW(editor, nullptr, L"STATIC", L"Filename")},
        {WM_CTLCOLORBTN, Editor().AddButton()}};
    const auto expectPainted = [&](const Palette& colors) {
        for (const Kind& kind : kinds) {
            const bool field = kind.message == WM_CTLCOLOREDIT;
            const auto brush = reinterpret_cast<HBRUSH>(
                SendMessageW(editor, kind.message, reinterpret_cast<WPARAM>(dc.Get()),
                             reinterpret_cast<LPARAM>(kind.control)));
            LOGBRUSH fill{};
            ASSERT_TRUE(GetObjectW(brush, sizeof(fill), &fill)) << kind.message;
            const COLORREF back = field ? colors.fieldBackground : colors.editorBackground;
            const COLORREF text = field ? colors.fieldText : colors.editorText;
            EXPECT_EQ(fill.lbColor, back) << kind.message;
            EXPECT_EQ(GetBkColor(dc.Get()), back) << kind.message;
            EXPECT_EQ(GetTextColor(dc.Get()), text) << kind.message;
        }
        // The window's own ground, around the controls.
        ScopedMemoryDc memory(CreateCompatibleDC(dc.Get()));
        ScopedBitmapHandle canvas(CreateCompatibleBitmap(dc.Get(), 8, 8));
        ScopedSelectObject selected(memory.Get(), canvas.Get());
        SendMessageW(editor, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.Get()), 0);
        EXPECT_EQ(GetPixel(memory.Get(), 2, 2), colors.editorBackground);
    };
    {
        const ScopedColorMode dark(ColorMode::Dark);
        // A settings change about something else leaves the colours.
        SendMessageW(editor, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
        EXPECT_EQ(Editor().Colors().mode, ColorMode::Light);
        SendMessageW(editor, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
        ASSERT_EQ(Editor().Colors().mode, ColorMode::Dark);
        expectPainted(Editor().Colors());
        // What this system offers beyond the colours, for the record (Windows 7 neither).
        std::printf("[ figures  ] dark control theme: %s, dark title bar: %s\n",
                    UseDarkControlTheme(Editor().AddButton(), true) ? "yes" : "no",
                    UseDarkTitleBar(editor, true) ? "yes" : "no");
        EXPECT_GE(ContrastRatio(Editor().Colors().editorText, Editor().Colors().editorBackground),
                  4.5);
    }
    {
        const ScopedColorMode high(ColorMode::HighContrast);
        SendMessageW(editor, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        ASSERT_EQ(Editor().Colors().mode, ColorMode::HighContrast);
        EXPECT_EQ(Editor().Colors().fieldText, GetSysColor(COLOR_WINDOWTEXT));
        expectPainted(Editor().Colors());
    }
    {
        // A system without the dark title bar (Windows 10 before 1809; Windows 7 has no dark
        // setting at all) keeps the editor light; one that knows only attribute 19 gets it.
        const ScopedColorMode dark(ColorMode::Dark);
        static std::vector<DWORD> asked;
        ThemeFunctions refusing;
        refusing.setWindowAttribute = [](HWND, DWORD attribute, const void*, DWORD) -> HRESULT {
            asked.push_back(attribute);
            return attribute == 19 && titleBarKnows19 ? S_OK : E_INVALIDARG;
        };
        for (const bool knows19 : {false, true}) {
            titleBarKnows19 = knows19;
            asked.clear();
            const ScopedThemeFunctions system{refusing};
            SendMessageW(editor, WM_SYSCOLORCHANGE, 0, 0);
            EXPECT_EQ(Editor().Colors().mode, knows19 ? ColorMode::Dark : ColorMode::Light);
            EXPECT_EQ(asked, (std::vector<DWORD>{20, 19}));
        }
        const ScopedThemeFunctions none{ThemeFunctions{}};
        SendMessageW(editor, WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_EQ(Editor().Colors().mode, ColorMode::Light);
    }
    // Back to light: the system's own answers, as before.
    SendMessageW(editor, WM_SYSCOLORCHANGE, 0, 0);
    ASSERT_EQ(Editor().Colors().mode, ColorMode::Light);
    for (const Kind& kind : kinds) {
        const auto control = reinterpret_cast<LPARAM>(kind.control);
        const auto ours =
            SendMessageW(editor, kind.message, reinterpret_cast<WPARAM>(dc.Get()), control);
        EXPECT_EQ(ours, DefWindowProcW(editor, kind.message, reinterpret_cast<WPARAM>(dc.Get()),
                                       control));
    }
}

TEST_F(ItemEditorTest, ButtonsFollowTheFieldsUntrimmedAndClosingClearsBoth) {
    Editor().SetCaptionText(L" ");
    EXPECT_FALSE(IsWindowEnabled(Editor().AddButton()));
    EXPECT_TRUE(IsWindowEnabled(Editor().RemoveButton()));
    Editor().SetFileNameText(L"  ");
    EXPECT_TRUE(IsWindowEnabled(Editor().AddButton()));
    Editor().SetCaptionText(L"");
    EXPECT_FALSE(IsWindowEnabled(Editor().AddButton()));
    EXPECT_FALSE(IsWindowEnabled(Editor().RemoveButton()));

    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\Tools\\a.exe");
        Editor().SetCaptionText(L"A");
        PostMessageW(Editor().Window(), WM_CLOSE, 0, 0);  // the close box
    });
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(Editor().FileNameText(), L"");
    EXPECT_EQ(Editor().CaptionText(), L"");
    EXPECT_FALSE(IsWindowEnabled(Editor().AddButton()));
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"A"), L"<missing>");
}

// --- Adding, updating, removing -----------------------------------------------------------------

TEST_F(ItemEditorTest, AddStoresTheItemAtOnceRebuildsTheMenuAndCloses) {
    WhileShown(
        [&] {
            Editor().SetFileNameText(L"C:\\Tools\\tool.exe /x");
            Editor().SetCaptionText(L"Tool");
            Click(Editor().AddButton());
        },
        [&] { window->Menu().CommandItemClick(*window->Menu().FindCommand("Stuff2")); });
    EXPECT_TRUE(stepsRan);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(question.asked, 0);
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Tool"), L"C:\\Tools\\tool.exe /x");
    EXPECT_EQ(IniValue(Ini(), L"ICONS", L"Tool"), L"<missing>");
    EXPECT_EQ(window->LauncherList().TargetOf(L"Tool"), L"C:\\Tools\\tool.exe /x");
    EXPECT_EQ(MenuCaptions(), std::vector<std::wstring>{L"Tool"});
    EXPECT_EQ(Editor().CaptionText(), L"");
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(ItemEditorTest, SameCaptionInOtherCaseAsksAndYesReplacesNoKeepsEverything) {
    Item(L"Notes", L"C:\\old.txt");
    SetIniValue(Ini(), L"ICONS", L"Notes", L"0");
    Start();

    question.answer = false;
    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\new.txt");
        Editor().SetCaptionText(L"NOTES");
        Click(Editor().AddButton());
    });
    EXPECT_EQ(question.asked, 1);
    EXPECT_FALSE(question.topmostWhileAsked);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(Editor().FileNameText(), L"");
    EXPECT_EQ(window->LauncherList().Lines(), std::vector<std::wstring>{L"Notes=C:\\old.txt"});
    EXPECT_EQ(IniValue(Ini(), L"ICONS", L"Notes"), L"0");
    EXPECT_TRUE(GetWindowLongPtrW(Editor().Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    question.answer = true;
    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\new.txt");
        Editor().SetCaptionText(L"NOTES");
        Click(Editor().AddButton());
    });
    EXPECT_EQ(question.asked, 2);
    EXPECT_EQ(window->LauncherList().Lines(), std::vector<std::wstring>{L"NOTES=C:\\new.txt"});
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Notes"), L"C:\\new.txt");
    // The field was at -1 (no icon list), which takes the item's icon away.
    EXPECT_EQ(IniValue(Ini(), L"ICONS", L"Notes"), L"<missing>");
    EXPECT_EQ(MenuCaptions(), std::vector<std::wstring>{L"NOTES"});
}

TEST_F(ItemEditorTest, ShiftClickOpensTheItemAndOnlyANewCaptionMakesASecondItem) {
    Item(L"Tool", L"C:\\Tools\\tool.exe");
    Start();
    const auto openWithShift = [&] {
        test::HeldKeys shift(true, false);
        MenuEntry* entry = nullptr;
        for (const auto& e : window->Menu().TopLevel())
            if (e->caption == L"Tool")
                entry = e.get();
        ASSERT_NE(entry, nullptr);
        window->Menu().LauncherItemClick(*entry);
    };
    WhileShown(
        [&] {
            EXPECT_EQ(Editor().FileNameText(), L"C:\\Tools\\tool.exe");
            EXPECT_EQ(Editor().CaptionText(), L"Tool");
            EXPECT_TRUE(IsWindowEnabled(Editor().AddButton()));
            Editor().SetFileNameText(L"D:\\tool2.exe");
            Click(Editor().AddButton());
        },
        openWithShift);
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Tool"), L"D:\\tool2.exe");

    WhileShown(
        [&] {
            Editor().SetCaptionText(L"Tool 2");
            Click(Editor().AddButton());
        },
        openWithShift);
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(MenuCaptions().size(), 2u);
    EXPECT_EQ(window->LauncherList().TargetOf(L"Tool"), L"D:\\tool2.exe");
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Tool 2"), L"D:\\tool2.exe");
}

TEST_F(ItemEditorTest, RemoveDeletesBothKeysAtOnceAndANameOfNoItemOnlyRebuilds) {
    Item(L"Tool", L"C:\\tool.exe");
    Item(L"Other", L"C:\\other.exe");
    SetIniValue(Ini(), L"ICONS", L"Tool", L"3");
    Start();
    WhileShown([&] {
        Editor().SetCaptionText(L"tool");
        Click(Editor().RemoveButton());
    });
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Tool"), L"<missing>");
    EXPECT_EQ(IniValue(Ini(), L"ICONS", L"Tool"), L"<missing>");
    EXPECT_EQ(MenuCaptions(), std::vector<std::wstring>{L"Other"});

    WhileShown([&] {
        Editor().SetCaptionText(L"Settings...");
        Click(Editor().RemoveButton());
    });
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(MenuCaptions(), std::vector<std::wstring>{L"Other"});
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(ItemEditorTest, EnterInTheCaptionAddsOnlyWhenAddIsEnabled) {
    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\a.exe");
        SetFocus(Editor().CaptionField());
        PostMessageW(Editor().CaptionField(), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_TRUE(leftOpen);  // an empty caption: Enter did nothing
    EXPECT_EQ(window->LauncherList().ItemCount(), 0);

    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\a.exe");
        Editor().SetCaptionText(L"A");
        SetFocus(Editor().CaptionField());
        PostMessageW(Editor().CaptionField(), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"A"), L"C:\\a.exe");
}

TEST_F(ItemEditorTest, TextsTheSettingsFileCannotGiveBackAreRefusedWithTheEditorStillOpen) {
    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\a.exe");
        Editor().SetCaptionText(L"a=b");
        Click(Editor().AddButton());
        EXPECT_TRUE(Editor().Showing());
        EXPECT_EQ(Editor().CaptionText(), L"a=b");
        Editor().Close();
    });
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0], L"A caption cannot contain \"=\".");
    EXPECT_EQ(window->LauncherList().ItemCount(), 0);
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"a"), L"<missing>");
}

TEST_F(ItemEditorTest, AFailedSettingsWriteKeepsTheOldItemInTheListAndTheEditorOpen) {
    Item(L"Tool", L"C:\\old.exe");
    Start();
    // A folder where the settings file was: every write to it fails.
    ASSERT_TRUE(DeleteFileW(Ini().c_str()));
    ASSERT_TRUE(CreateDirectoryW(Ini().c_str(), nullptr));
    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\new.exe");
        Editor().SetCaptionText(L"Tool");
        Click(Editor().AddButton());
        EXPECT_TRUE(Editor().Showing());
        Editor().Close();
    });
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0], L"Unable to write to " + Ini());
    EXPECT_EQ(window->LauncherList().TargetOf(L"Tool"), L"C:\\old.exe");
    EXPECT_EQ(MenuCaptions(), std::vector<std::wstring>{L"Tool"});
}

// --- The icon-index field and the icon buttons --------------------------------------------------

TEST_F(ItemEditorTest, TheIconIndexFieldHoldsOnlyMinusOneOrAnExistingImage) {
    // An empty icon list: nothing but -1.
    WhileShown([&] {
        Editor().IconIndexField().SetValue(3);
        EXPECT_EQ(TextOf(Editor().IconIndexField().Edit()), L"-1");
        Editor().Close();
    });
    AddImages(2);
    WhileShown([&] {
        SpinEdit& field = Editor().IconIndexField();
        EXPECT_EQ(field.UpperBound(), 1);
        SetWindowTextW(field.Edit(), L"1");
        EXPECT_EQ(field.Value(), 1);
        ASSERT_NE(Editor().Preview().PictureBitmap(), nullptr);
        EXPECT_EQ(Editor().Preview().PictureBitmap()->Width(), 32);
        SetWindowTextW(field.Edit(), L"7");  // no such image
        EXPECT_EQ(TextOf(field.Edit()), L"-1");
        SetWindowTextW(field.Edit(), L"");
        EXPECT_EQ(TextOf(field.Edit()), L"-1");
        SetWindowTextW(field.Edit(), L"x");
        EXPECT_EQ(TextOf(field.Edit()), L"-1");
        // The up button steps by one and stops at the last image.
        for (int i = 0; i < 3; ++i) {
            NMUPDOWN step{};
            step.hdr.hwndFrom = field.Buttons();
            step.hdr.code = UDN_DELTAPOS;
            step.iDelta = 1;
            SendMessageW(Editor().Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&step));
        }
        EXPECT_EQ(field.Value(), 1);
        Editor().Close();
    });
}

TEST_F(ItemEditorTest, AStoredIndexBeyondTheListShowsTheLastImage) {
    Item(L"Tool", L"C:\\tool.exe");
    SetIniValue(Ini(), L"ICONS", L"Tool", L"9");
    Start();
    AddImages(3);
    Editor().SetFileNameText(L"C:\\tool.exe");
    Editor().SetCaptionText(L"Tool");
    WhileShown([&] {
        EXPECT_EQ(Editor().IconIndexField().Value(), 2);
        Editor().Close();
    });
}

TEST_F(ItemEditorTest, FindIconThenAddIconThenAddStoresTheNewIcon) {
    AddImages(1);
    WriteBytes(folder.File(L"big.ico"), IconFile(48));
    dialogs.pictureAnswer = folder.File(L"big.ico");
    WhileShown([&] {
        Editor().SetFileNameText(L"C:\\tool.exe");
        Editor().SetCaptionText(L"Tool");
        Click(Editor().FindIconButton());
        ASSERT_NE(Editor().Preview().PictureIcon(), nullptr);
        EXPECT_EQ(Editor().Preview().PictureIcon()->width, 48);
        EXPECT_EQ(IconCount(window->IconList()), 1);  // Find icon alone assigns nothing
        Click(Editor().AddIconButton());
        EXPECT_EQ(IconCount(window->IconList()), 2);
        EXPECT_EQ(Editor().IconIndexField().Value(), 1);
        Click(Editor().AddButton());
    });
    EXPECT_EQ(dialogs.lastFilter, L"Icon Files *.ico|*.ico");
    EXPECT_EQ(IniValue(Ini(), L"ICONS", L"Tool"), L"1");
    Bitmap image;
    ASSERT_TRUE(CopyIcon(window->IconList(), 1, image));
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.PixelAt(16, 16), Color(0xC06020));  // the icon's colour, scaled to 32 x 32
}

TEST_F(ItemEditorTest, FindIconTakesTheLargeIconSizeAndThePreviewStaysInItsArea) {
    ASSERT_EQ(GetSystemMetrics(SM_CXICON), 32);
    // Most icon files carry a 256 x 256 image beside the smaller ones.
    WriteBytes(folder.File(L"modern.ico"),
               test::IconFileOf({{256, 0xFF0000FF}, {32, 0xFF00FF00}, {16, 0xFFFF0000}}));
    WriteBytes(folder.File(L"only48.ico"), IconFile(48));
    WriteBytes(folder.File(L"wide.bmp"), WriteBmp(NewSizedBitmap(96, 48, 0x00336699)));
    const RECT area{16, 57, 48, 89};  // where the preview was made
    auto previewRect = [&] {
        RedrawWindow(Editor().Preview().Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return ClientRectIn(Editor().Preview().Window(), Editor().Window());
    };
    auto expectWithinArea = [&](const RECT& r) {
        EXPECT_GE(r.left, area.left);
        EXPECT_GE(r.top, area.top);
        EXPECT_LE(r.right, area.right);
        EXPECT_LE(r.bottom, area.bottom);
    };
    WhileShown([&] {
        dialogs.pictureAnswer = folder.File(L"modern.ico");
        Click(Editor().FindIconButton());
        ASSERT_NE(Editor().Preview().PictureIcon(), nullptr);
        EXPECT_EQ(Editor().Preview().PictureIcon()->width, 32);
        expectWithinArea(previewRect());

        // Without an image of that size the nearest is taken, and drawn within the area.
        dialogs.pictureAnswer = folder.File(L"only48.ico");
        Click(Editor().FindIconButton());
        ASSERT_NE(Editor().Preview().PictureIcon(), nullptr);
        EXPECT_EQ(Editor().Preview().PictureIcon()->width, 48);
        const RECT scaledIcon = previewRect();
        expectWithinArea(scaledIcon);
        EXPECT_EQ(scaledIcon.right - scaledIcon.left, 32);

        // Any other picture keeps its proportions inside the area.
        dialogs.pictureAnswer = folder.File(L"wide.bmp");
        Click(Editor().FindIconButton());
        ASSERT_NE(Editor().Preview().PictureBitmap(), nullptr);
        EXPECT_EQ(Editor().Preview().PictureBitmap()->Width(), 96);
        const RECT scaledPicture = previewRect();
        expectWithinArea(scaledPicture);
        EXPECT_EQ(scaledPicture.right - scaledPicture.left, 32);
        EXPECT_EQ(scaledPicture.bottom - scaledPicture.top, 16);

        // The icon taken is the 32 x 32 one, not the 256 x 256 one shrunk by the icon list.
        dialogs.pictureAnswer = folder.File(L"modern.ico");
        Click(Editor().FindIconButton());
        Click(Editor().AddIconButton());
        Editor().Close();
    });
    EXPECT_TRUE(messages.errors.empty());
    Bitmap image;
    ASSERT_TRUE(CopyIcon(window->IconList(), 0, image));
    EXPECT_EQ(image.PixelAt(16, 16), Color(0x00FF00));
}

TEST_F(ItemEditorTest, AddIconRefusesSmallIconsAndAppendsNothingButAnIcon) {
    AddImages(1);
    WriteBytes(folder.File(L"small.ico"), IconFile(16));
    WriteBytes(folder.File(L"broken.ico"), {0, 0, 1, 0});
    WhileShown([&] {
        // A drawn image is not an icon: nothing is appended, the preview empties, and the field
        // stays at the last image.
        SetWindowTextW(Editor().IconIndexField().Edit(), L"0");
        ASSERT_NE(Editor().Preview().PictureBitmap(), nullptr);
        Click(Editor().AddIconButton());
        EXPECT_EQ(IconCount(window->IconList()), 1);
        EXPECT_TRUE(Editor().Preview().ShowsNothing());
        EXPECT_EQ(Editor().IconIndexField().Value(), 0);

        SetWindowTextW(Editor().IconIndexField().Edit(), L"-1");
        dialogs.pictureAnswer = folder.File(L"small.ico");
        Click(Editor().FindIconButton());
        Click(Editor().AddIconButton());
        EXPECT_EQ(IconCount(window->IconList()), 1);
        EXPECT_EQ(Editor().IconIndexField().Value(), -1);
        // The refused icon stays in view.
        ASSERT_NE(Editor().Preview().PictureIcon(), nullptr);
        EXPECT_EQ(Editor().Preview().PictureIcon()->width, 16);

        dialogs.pictureAnswer = folder.File(L"broken.ico");
        Click(Editor().FindIconButton());
        EXPECT_TRUE(Editor().Showing());
        Editor().Close();
    });
    ASSERT_EQ(messages.errors.size(), 2u);
    EXPECT_EQ(messages.errors[0], L"Invalid image size");
    EXPECT_EQ(messages.errors[1], L"Icon image is not valid");
}

// --- The real question --------------------------------------------------------------------------

struct QuestionAnswer {
    explicit QuestionAnswer(std::function<void(HWND dialog)> how) : answer(std::move(how)) {}
    std::function<void(HWND dialog)> answer;
    std::wstring text, yes, no;
    bool yesIsDefault = false;
};
QuestionAnswer* pendingAnswer = nullptr;

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"Confirm");
    if (!dialog)
        return;  // not open yet
    KillTimer(nullptr, id);
    QuestionAnswer& a = *pendingAnswer;
    wchar_t text[128] = {};
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, text, 128);
        if (std::wstring(text).find(L"overwrite") != std::wstring::npos)
            a.text = text;
    }
    a.yes = TextOf(GetDlgItem(dialog, IDYES));
    a.no = TextOf(GetDlgItem(dialog, IDNO));
    a.yesIsDefault =
        (GetWindowLongPtrW(GetDlgItem(dialog, IDYES), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
    a.answer(dialog);
}

bool AskAndAnswer(QuestionAnswer& answer) {
    pendingAnswer = &answer;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, &AnswerQuestion);
    const bool yes = DialogOverwriteQuestion().Ask(nullptr);
    KillTimer(nullptr, timer);
    return yes;
}

TEST(OverwriteQuestion, AsksWithYesAsDefaultAndTakesNoEscapeAndTheCloseBoxAsNo) {
    QuestionAnswer clickYes{[](HWND d) { SendMessageW(GetDlgItem(d, IDYES), BM_CLICK, 0, 0); }};
    EXPECT_TRUE(AskAndAnswer(clickYes));
    EXPECT_EQ(clickYes.text, L"You are about to overwrite an item.  Continue?");
    EXPECT_EQ(clickYes.yes, L"&Yes");
    EXPECT_EQ(clickYes.no, L"&No");
    EXPECT_TRUE(clickYes.yesIsDefault);

    QuestionAnswer clickNo{[](HWND d) { SendMessageW(GetDlgItem(d, IDNO), BM_CLICK, 0, 0); }};
    EXPECT_FALSE(AskAndAnswer(clickNo));
    QuestionAnswer escape{
        [](HWND d) { PostMessageW(GetDlgItem(d, IDYES), WM_KEYDOWN, VK_ESCAPE, 0); }};
    EXPECT_FALSE(AskAndAnswer(escape));
    QuestionAnswer enter{
        [](HWND d) { PostMessageW(GetDlgItem(d, IDYES), WM_KEYDOWN, VK_RETURN, 0); }};
    EXPECT_TRUE(AskAndAnswer(enter));
    QuestionAnswer closeBox{[](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }};
    EXPECT_FALSE(AskAndAnswer(closeBox));
}

}  // namespace
}  // namespace corvalo
