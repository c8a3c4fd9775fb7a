// The popup menu as a user meets it: its structure, ticks, commands and launches, with the shell
// and the common dialogs replaced by recorders.
#include "app/main_window_win.h"
#include "app/run_entry_win.h"
#include "base/error.h"
#include "base/system_error_win.h"
#include "base/text.h"
#include "editor/item_editor_win.h"
#include "launcher/hotkey_dialog_win.h"
#include "launcher/launcher_hotkey_win.h"
#include "launcher/launcher_items_win.h"
#include "launcher/locale_compare_win.h"
#include "launcher/split_target.h"
#include "picture/dib_win.h"
#include "picture/bmp_format.h"
#include "support/held_icon_lookup_win.h"
#include "support/main_window_fixture_win.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace corvalo {
namespace {

using test::IniValue;
using test::RecordingShell;
using test::ScriptedDialogs;
using test::SetIniValue;
using test::WriteBytes;

class LauncherMenuTest : public test::StartedWindowFixture {
  protected:
    void TearDown() override {
        window.reset();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           L"corvalo");
    }
    void Script(MainWindowOptions& options) override {
        options.shell = &shell;
        options.dialogs = &dialogs;
        options.iconLookup = iconLookup;
    }
    LauncherMenu& Menu() { return window->Menu(); }
    // The menu's system icons arrive from their worker: until then an entry shows the icon of an
    // unknown file type.
    // Opens the real menu with `watch` seeing every message sent to the thread's windows; the
    // watch ends the menu (EndMenu), or a time limit does.
    bool PopupWatched(HOOKPROC watch) {
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watch, nullptr, GetCurrentThreadId());
        if (!hook)
            return false;
        const UINT_PTR limit =
            SetTimer(nullptr, 0, 15000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
        Menu().Popup(POINT{200, 150});
        KillTimer(nullptr, limit);
        UnhookWindowsHookEx(hook);
        return true;
    }
    void WaitForIcons() {
        Menu().TopLevel();
        for (int tries = 0; tries < 2000 && Menu().IconsPending(); ++tries) {
            test::PumpMessages();
            Sleep(5);
        }
    }
    std::vector<std::wstring> TopCaptions() {
        std::vector<std::wstring> captions;
        for (const auto& entry : Menu().TopLevel())
            captions.push_back(entry->caption);
        return captions;
    }

    RecordingShell shell;
    ScriptedDialogs dialogs;
    IconLookupWorker::Lookup iconLookup;
};

TEST_F(LauncherMenuTest, AnEmptyListGivesOnlyTheSettingsEntryAndTheSpacer) {
    Start();
    ASSERT_EQ(Menu().TopLevel().size(), 2u);
    const MenuEntry& settings = *Menu().TopLevel()[0];
    EXPECT_EQ(settings.caption, L"Settings...");
    EXPECT_EQ(settings.name, "ADMIN");
    EXPECT_EQ(Menu().TopLevel()[1]->caption, L"");
    EXPECT_EQ(Menu().TopLevel()[1]->name, "Stuff6");
    std::vector<std::string> names;
    std::vector<std::wstring> captions;
    for (const auto& command : settings.submenu) {
        names.push_back(command->name);
        captions.push_back(command->caption);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Stuff1", "Stuff2", "IMAGE", "Stuff3", "HOTKEY",
                                               "Stuff4", "Stuff5"}));
    EXPECT_EQ(captions,
              (std::vector<std::wstring>{L"Start with Windows", L"New empty item", L"New image",
                                         L"Font", L"Hotkey...", L"Show in taskbar", L"Quit"}));
    EXPECT_TRUE(settings.submenu[0]->autoTick);
    EXPECT_TRUE(settings.submenu[5]->autoTick);
    EXPECT_FALSE(settings.submenu[6]->autoTick);
}

TEST_F(LauncherMenuTest, LauncherEntriesFollowTheCommandsInListOrder) {
    Item(L"zeta", L"z.exe");
    Item(L"Alpha", L"a.exe");
    Start();
    EXPECT_EQ(TopCaptions(), (std::vector<std::wstring>{L"Settings...", L"", L"Alpha", L"zeta"}));
    EXPECT_EQ(Menu().TopLevel()[2]->kind, MenuEntry::Kind::Launcher);
}

TEST_F(LauncherMenuTest, ShowInTaskbarFollowsTheStoredChoice) {
    Start();
    EXPECT_TRUE(Menu().FindCommand("Stuff4")->ticked);
    EXPECT_EQ(window->ActivationShowCommand(), SW_SHOW);
    SetIniValue(Ini(), L"ADMIN", L"Hide", L"0");
    Start();
    EXPECT_FALSE(Menu().FindCommand("Stuff4")->ticked);
    EXPECT_EQ(window->ActivationShowCommand(), SW_HIDE);
}

TEST_F(LauncherMenuTest, ChoosingShowInTaskbarHidesTheButtonStoresItAndSurvivesActivation) {
    Start();
    window->Show();
    window->FormActivate();
    EXPECT_TRUE(IsWindowVisible(window->ApplicationWindowHandle()));
    Menu().Choose(*Menu().FindCommand("Stuff4"));
    EXPECT_FALSE(Menu().FindCommand("Stuff4")->ticked);
    EXPECT_FALSE(IsWindowVisible(window->ApplicationWindowHandle()));
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Hide"), L"0");
    window->FormActivate();
    EXPECT_FALSE(IsWindowVisible(window->ApplicationWindowHandle()));
    // As from the menu: the picture is in front, so showing the button's window activates it.
    SetForegroundWindow(window->Window());
    Menu().Choose(*Menu().FindCommand("Stuff4"));
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Hide"), L"1");
    EXPECT_TRUE(IsWindowVisible(window->ApplicationWindowHandle()));
    window->FormActivate();
    EXPECT_TRUE(IsWindowVisible(window->ApplicationWindowHandle()));
}

TEST_F(LauncherMenuTest, StartWithWindowsShowsTheRegistryAtEveryOpeningAndFlipsIt) {
    Start();
    MenuEntry& entry = *Menu().FindCommand("Stuff1");
    Menu().TntPopupMenu1Popup();
    EXPECT_FALSE(entry.ticked);
    Menu().Choose(entry);
    EXPECT_TRUE(entry.ticked);
    EXPECT_TRUE(RunEntryExists(L"corvalo", folder.ExePath()));
    // Another tool removes the value: the next opening shows it.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       L"corvalo");
    Menu().TntPopupMenu1Popup();
    EXPECT_FALSE(entry.ticked);
    SetRunEntry(L"corvalo", folder.ExePath(), true);
    Menu().TntPopupMenu1Popup();
    EXPECT_TRUE(entry.ticked);
    Menu().Choose(entry);  // ticked: choosing it removes the registration
    EXPECT_FALSE(RunEntryExists(L"corvalo", folder.ExePath()));
}

TEST_F(LauncherMenuTest, FontRebuildsTheMenuWhetherChosenOrCancelled) {
    Item(L"A", L"a.exe");
    Start();
    Menu().TopLevel()[2]->caption = L"marked before the rebuild";
    Menu().Choose(*Menu().FindCommand("Stuff3"));
    EXPECT_EQ(dialogs.fontDialogs, 1);
    EXPECT_EQ(window->Font().name, L"Tahoma");
    EXPECT_EQ(Menu().TopLevel().size(), 3u);
    EXPECT_EQ(Menu().TopLevel()[2]->caption, L"A") << "cancelled, and still rebuilt";

    MenuFont chosen;
    chosen.name = L"Courier New";
    chosen.size = 14;
    chosen.style = 3;
    dialogs.fontAnswer = chosen;
    Menu().Choose(*Menu().FindCommand("Stuff3"));
    EXPECT_EQ(window->Font().name, L"Courier New");
    EXPECT_EQ(window->Font().size, 14);
    EXPECT_EQ(window->Font().style, 3);
    ASSERT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"FontName"), L"Courier New");
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Style"), L"3");
}

TEST_F(LauncherMenuTest, NewImageLoadsTheChosenPictureAndCancellingKeepsTheOld) {
    Start();
    Menu().Choose(*Menu().FindCommand("IMAGE"));
    EXPECT_EQ(dialogs.lastExtension, L"bmp");
    EXPECT_EQ(dialogs.lastFilter.rfind(
                  L"Graphic Files|*.jpg;*.png;*.bmp;*.jp2;*.tga;*.gif;*.emf;*.webp|", 0),
              0u);
    EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 256);

    const std::wstring file = folder.File(L"new picture.bmp");
    WriteBytes(file, WriteBmp(NewSizedBitmap(77, 33, 0x00112233)));
    dialogs.pictureAnswer = file;
    Menu().Choose(*Menu().FindCommand("IMAGE"));
    EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 77);
    EXPECT_TRUE(messages.errors.empty());
}

// The pointer is usually where the dialog was, over some other program's window.
TEST_F(LauncherMenuTest, NewImageClicksNoWindowButTheProgramsOwn) {
    static int presses = 0;
    presses = 0;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_LBUTTONDOWN || message == WM_NCLBUTTONDOWN)
            ++presses;
        return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CorvaloTestOtherProgram";
    RegisterClassW(&windowClass);
    ScopedWindow other(CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Other",
                                       WS_POPUP | WS_VISIBLE, 600, 300, 200, 200, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(other);
    Start();
    SetWindowPos(window->Window(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(SetCursorPos(700, 400));
    ASSERT_EQ(WindowFromPoint(POINT{700, 400}), other.Get());

    Menu().Choose(*Menu().FindCommand("IMAGE"));  // the dialog is cancelled
    test::PumpMessages();
    EXPECT_EQ(presses, 0) << "a click reached another program's window";
}

TEST_F(LauncherMenuTest, ANewImageThatCannotBeReadIsReportedAndTheOldPictureStays) {
    Start();
    dialogs.pictureAnswer = folder.File(L"missing.bmp");
    HWND owner = window->Window();
    RunHandler(messages, owner, [&] { Menu().Choose(*Menu().FindCommand("IMAGE")); });
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0].rfind(L"Cannot open file \"", 0), 0u);
    EXPECT_EQ(window->Picture().PictureBitmap()->Width(), 256);
}

TEST_F(LauncherMenuTest, SpacerAndSettingsEntryDoNothing) {
    Start();
    Menu().Choose(*Menu().TopLevel()[0]);
    Menu().Choose(*Menu().TopLevel()[1]);
    EXPECT_TRUE(shell.launches.empty());
    EXPECT_TRUE(IsWindow(window->Window()));
}

TEST_F(LauncherMenuTest, QuitClosesTheWindowThroughTheFinalSave) {
    Start();
    HWND handle = window->Window();
    Menu().Choose(*Menu().FindCommand("Stuff5"));
    test::PumpMessages();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Alpha"), L"200");
}

TEST_F(LauncherMenuTest, ALauncherEntryOpensItsSplitTargetThroughTheShell) {
    Item(L"Tool", L"\"C:\\Program Files\\Tool\\tool.exe\" /s /x");
    Item(L"Notes", L"notepad.exe /C:\\notes.txt");
    Item(L"Web", L"https://example.com/a=b");
    Start();
    for (size_t i = 2; i < Menu().TopLevel().size(); ++i)
        Menu().Choose(*Menu().TopLevel()[i]);
    ASSERT_EQ(shell.launches.size(), 3u);
    EXPECT_EQ(shell.launches[0].file, L"notepad.exe");
    EXPECT_EQ(shell.launches[0].parameters, L"C:\\notes.txt");
    EXPECT_EQ(shell.launches[0].directory, L"");
    EXPECT_EQ(shell.launches[1].file, L"C:\\Program Files\\Tool\\tool.exe");
    EXPECT_EQ(shell.launches[1].parameters, L"s /x");
    EXPECT_EQ(shell.launches[1].directory, L"C:\\Program Files\\Tool\\");
    EXPECT_EQ(shell.launches[2].file, L"https://example.com/a=b");
    EXPECT_EQ(shell.launches[2].directory, L"https:");
}

// A launch that fails says why, with the item's caption and target; one the user cancelled says
// nothing.
TEST_F(LauncherMenuTest, ALaunchThatFailsShowsTheCaptionTheTargetAndTheReason) {
    Item(L"Notes", L"C:\\missing\\notes.txt");
    Start();
    MenuEntry& entry = *Menu().TopLevel()[2];
    shell.answer = ERROR_FILE_NOT_FOUND;
    try {
        Menu().Choose(entry);
        ADD_FAILURE() << "the failure was not told";
    } catch (const Error& error) {
        EXPECT_EQ(error.Message(), L"Cannot open \"Notes\" (C:\\missing\\notes.txt). " +
                                       SystemErrorText(ERROR_FILE_NOT_FOUND));
    }
    shell.answer = ERROR_CANCELLED;
    EXPECT_NO_THROW(Menu().Choose(entry));
    EXPECT_EQ(shell.launches.size(), 2u);
}

// The real font dialog, answered OK at once: it opens at the menu's font and gives it back as it
// was, so OK without a change keeps the menu as it is.
// Set: the face the user picks in the list (its last one) before OK.
std::wstring gPickedFace;
bool gPickAFace = false;

LRESULT CALLBACK PressOkWhenAWindowActivates(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND dialog = reinterpret_cast<HWND>(wParam);
        HWND faces = GetDlgItem(dialog, 0x470);
        const LRESULT count = SendMessageW(faces, CB_GETCOUNT, 0, 0);
        if (gPickAFace && count > 0) {
            wchar_t face[LF_FACESIZE] = {};
            SendMessageW(faces, CB_GETLBTEXT, count - 1, reinterpret_cast<LPARAM>(face));
            gPickedFace = face;
            SendMessageW(faces, CB_SETCURSEL, count - 1, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(faces));
        }
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(LauncherMenuTest, TheFontDialogStartsAtTheMenusFontAndOkWithoutAChangeKeepsIt) {
    Start();
    for (const MenuFont& font : {MenuFont{}, MenuFont{L"Courier New", 0, 0x000000FF, 14, 3},
                                 MenuFont{L"Tahoma", 1, 0x00102030, 8, 4}}) {
        MenuFont answered = font;
        HHOOK hook =
            SetWindowsHookExW(WH_CBT, PressOkWhenAWindowActivates, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        SystemCommonDialogs dialogs;
        const bool confirmed = dialogs.PickFont(window->Window(), answered);
        UnhookWindowsHookEx(hook);
        ASSERT_TRUE(confirmed) << WideToAnsi(font.name);
        EXPECT_EQ(answered.name, font.name);
        EXPECT_EQ(answered.size, font.size) << WideToAnsi(font.name);
        EXPECT_EQ(answered.style, font.style) << WideToAnsi(font.name);
        EXPECT_EQ(answered.color, font.color) << WideToAnsi(font.name);
        EXPECT_EQ(answered.charSet, font.charSet) << WideToAnsi(font.name);
    }
    // A face the user picks is taken.
    gPickAFace = true;
    MenuFont picked;
    HHOOK hook =
        SetWindowsHookExW(WH_CBT, PressOkWhenAWindowActivates, nullptr, GetCurrentThreadId());
    SystemCommonDialogs dialogs;
    EXPECT_TRUE(dialogs.PickFont(window->Window(), picked));
    UnhookWindowsHookEx(hook);
    gPickAFace = false;
    EXPECT_EQ(picked.name, gPickedFace);
}

// The click that closes the menu, which may reach the picture once the menu is gone, never
// starts a drag; a press after the menu has closed does.
HWND gMenuOwner = nullptr;
int gDragsStarted = 0;

LRESULT CALLBACK ClickToCloseTheMenu(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU) {
        PostMessageW(gMenuOwner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        EndMenu();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountDrags(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == gMenuOwner && sent->message == WM_SYSCOMMAND &&
        (sent->wParam & 0xFFF0) == SC_MOVE) {
        // A drag that started is ended again, as Escape ends it for the user.
        ++gDragsStarted;
        SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            PostMessageW(gMenuOwner, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(gMenuOwner, WM_LBUTTONUP, 0, 0);
        });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(LauncherMenuTest, TheClickThatClosesTheMenuNeverStartsADrag) {
    Start();
    window->Show();
    gMenuOwner = window->Window();
    gDragsStarted = 0;
    ASSERT_TRUE(PopupWatched(ClickToCloseTheMenu));
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountDrags, nullptr, GetCurrentThreadId());
    test::PumpMessages();
    EXPECT_EQ(gDragsStarted, 0) << "the click that closed the menu moved the picture";
    EXPECT_TRUE(Menu().PressedWhileOpen(static_cast<LONG>(GetTickCount()) - 1000));
    Sleep(20);
    EXPECT_FALSE(Menu().PressedWhileOpen(static_cast<LONG>(GetTickCount())));
    UnhookWindowsHookEx(hook);
}

TEST_F(LauncherMenuTest, CaptionsDifferingOnlyInCaseBothOpenTheFirstLine) {
    Start();
    window->LauncherList().SetLines({L"Mail=a.exe", L"mail=b.exe"});
    Menu().RebuildMenu();
    Menu().Choose(*Menu().TopLevel()[2]);
    Menu().Choose(*Menu().TopLevel()[3]);
    ASSERT_EQ(shell.launches.size(), 2u);
    EXPECT_EQ(shell.launches[0].file, L"a.exe");
    EXPECT_EQ(shell.launches[1].file, L"a.exe");
}

TEST(LocaleComparison, AComparisonTheLocaleCannotMakeIsOrdinalWithoutCase) {
    // A locale the system does not know makes its comparison fail, as a damaged one would.
    const LCID unknown = MAKELCID(MAKELANGID(0x3FF, 0x3F), SORT_DEFAULT);
    ASSERT_EQ(CompareStringW(unknown, NORM_IGNORECASE, L"a", 1, L"b", 1), 0);
    EXPECT_LT(CompareInLocale(unknown, L"Mail", L"news"), 0);
    EXPECT_GT(CompareInLocale(unknown, L"news", L"Mail"), 0);
    EXPECT_LT(CompareInLocale(unknown, L"Mail", L"Mailer"), 0);
    EXPECT_LT(CompareInLocale(unknown, L"apple", L"Banana"), 0);
    EXPECT_EQ(CompareInLocale(unknown, L"MAIL", L"mail"), 0);
    EXPECT_EQ(CompareInUserLocale(std::wstring_view(), L""), 0);
    EXPECT_LT(CompareInUserLocale(std::wstring_view(), L"a"), 0);
}

// A Shift+click opens the item in the editor instead of launching it; the timer reads the
// editor's fields inside its modal loop and closes it.
TEST_F(LauncherMenuTest, ShiftClickOpensTheItemInTheEditorInsteadOfLaunching) {
    Item(L"A", L"a.exe");
    Start();
    static MainWindow* shown = nullptr;
    static std::wstring seen;
    shown = window.get();
    seen.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        seen = shown->Editor().FileNameText() + L"|" + shown->Editor().CaptionText();
        shown->Editor().Close();
    });
    {
        test::HeldKeys shift(true, false);
        Menu().Choose(*Menu().TopLevel()[2]);
    }
    KillTimer(nullptr, timer);
    EXPECT_TRUE(shell.launches.empty());
    EXPECT_EQ(seen, L"a.exe|A");
    EXPECT_FALSE(window->Editor().Showing());
}

TEST_F(LauncherMenuTest, HugeAndOddSettingsStillBuildAndAct) {
    std::wstring ini = L"\xFEFF[MENU]\r\n";
    for (int i = 0; i < 5000; ++i)
        ini += L"item" + std::to_wstring(i) + L"=target" + std::to_wstring(i) + L"\r\n";
    ini += std::wstring(2047, L'c') + L"=long.exe\r\n";
    ini +=
        L"   "
        L"=spaces\r\n[ICONS]\r\nitem1=-5\r\nitem2=99999999999\r\nitem3=0x7fffffff\r\nitem4="
        L"text\r\n";
    std::vector<uint8_t> bytes;
    for (wchar_t ch : ini) {
        bytes.push_back(static_cast<uint8_t>(ch & 0xFF));
        bytes.push_back(static_cast<uint8_t>(ch >> 8));
    }
    WriteBytes(Ini(), bytes);
    Start();
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_GT(Menu().TopLevel().size(), 1000u);
    WaitForIcons();
    for (const auto& entry : Menu().TopLevel()) {
        if (entry->kind != MenuEntry::Kind::Launcher)
            continue;
        // An assigned index past the icon list, anything unreadable or negative: the target's
        // system icon.
        EXPECT_FALSE(entry->bitmap.Empty()) << entry->caption.substr(0, 20);
    }
    Menu().Choose(*Menu().TopLevel()[3]);
    EXPECT_EQ(shell.launches.size(), 1u);
}

// The menu really opens at the pointer and closes again: a timer of the test ends it.
bool gHotkeyMenuOpened = false;

// "Hotkey...": a combination another program holds is refused with the dialog still open and the
// next one taken; the hotkey opens the menu; it is stored as text at the close and registered
// again at the next start, where one taken meanwhile is said once and kept in the file; a value
// that names no hotkey is none; choosing none takes the key away.
TEST_F(LauncherMenuTest, HotkeyIsChosenRegisteredStoredAndOneTakenIsRefused) {
    Start();
    ASSERT_TRUE(window->MenuHotkey().Empty());  // none until the user chooses one
    // Another holder of Ctrl+Alt+J, as another program would be.
    ASSERT_TRUE(RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, 'J'));
    const Hotkey taken{kHotkeyControl | kHotkeyAlt, 'J'}, free{kHotkeyControl | kHotkeyAlt, 'K'};
    dialogs.hotkeyAnswers = {taken, free};
    Menu().Choose(*Menu().FindCommand("HOTKEY"));
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(messages.errors[0],
              L"The hotkey Ctrl+Alt+J is in use by another program. Choose another one.");
    EXPECT_EQ(window->MenuHotkey(), free);
    EXPECT_FALSE(RegisterHotKey(nullptr, 78, MOD_CONTROL | MOD_ALT, 'K')) << "ours now";

    // The hotkey opens the menu at the pointer.
    HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROC,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
            if (code == HC_ACTION && sent->message == WM_INITMENUPOPUP && !gHotkeyMenuOpened) {
                gHotkeyMenuOpened = true;
                // Pressed again while the menu is open: it closes.
                PostMessageW(sent->hwnd, WM_HOTKEY, LauncherHotkey::kId, 0);
            }
            return CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, GetCurrentThreadId());
    const UINT_PTR limit =
        SetTimer(nullptr, 0, 15000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
    const DWORD pressed = GetTickCount();
    SendMessageW(window->Window(), WM_HOTKEY, LauncherHotkey::kId, MAKELPARAM(MOD_CONTROL, 'K'));
    const DWORD open = GetTickCount() - pressed;
    KillTimer(nullptr, limit);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(gHotkeyMenuOpened);
    EXPECT_LT(open, 10000u) << "the second press closed the menu, not the time limit";

    ASSERT_TRUE(window->FormCloseQuery());
    Start();
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Hotkey"), L"Ctrl+Alt+K");
    EXPECT_EQ(window->MenuHotkey(), free);
    EXPECT_EQ(messages.errors.size(), 1u);

    window.reset();
    SetIniValue(Ini(), L"ADMIN", L"Hotkey", L"ctrl + alt + j");
    Start();
    ASSERT_EQ(messages.errors.size(), 2u);
    EXPECT_EQ(messages.errors[1],
              L"The hotkey Ctrl+Alt+J is in use by another program. Choose "
              L"another one under Settings... > Hotkey...");
    EXPECT_TRUE(window->MenuHotkey().Empty());
    ASSERT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Hotkey"), L"ctrl + alt + j") << "kept for later";
    UnregisterHotKey(nullptr, 77);

    SetIniValue(Ini(), L"ADMIN", L"Hotkey", L"Ctrl+Banana");
    Start();
    EXPECT_TRUE(window->MenuHotkey().Empty());
    EXPECT_EQ(messages.errors.size(), 2u) << "no error for a value that is no hotkey";
    dialogs.hotkeyAnswers = {Hotkey{}};
    Menu().Choose(*Menu().FindCommand("HOTKEY"));
    ASSERT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(IniValue(Ini(), L"ADMIN", L"Hotkey"), L"<missing>") << "none chosen: the key goes";
}

struct HotkeyDialogScript {
    WORD shown = 0;
    int tries = 0;
    bool cancel = false;
} gHotkeyScript;

// The real dialog, driven as a user would: the field shows the current hotkey; OK with a
// combination the taker refuses leaves the dialog open, OK with the next one closes it; Escape
// leaves everything.
TEST(HotkeyDialog, ShowsTheCurrentOneAndStaysOpenUntilOneIsTaken) {
    const Hotkey current{kHotkeyControl | kHotkeyAlt, 'K'};
    const Hotkey refused{kHotkeyControl | kHotkeyAlt, 'J'}, taken{kHotkeyShift, 0x74};
    EXPECT_EQ(HotkeyFromField(FieldValueOf(taken)), taken);
    EXPECT_EQ(HotkeyFromField(FieldValueOf(Hotkey{kHotkeyAlt, 0x25})), (Hotkey{kHotkeyAlt, 0x25}));
    EXPECT_TRUE(HotkeyFromField(0).Empty());
    for (const bool cancel : {false, true}) {
        gHotkeyScript = HotkeyDialogScript{};
        gHotkeyScript.cancel = cancel;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
            HWND dialog = FindWindowW(nullptr, kHotkeyDialogTitle);
            if (!dialog)
                return;
            HWND field = GetDlgItem(dialog, kHotkeyFieldId);
            if (!gHotkeyScript.shown)
                gHotkeyScript.shown = static_cast<WORD>(SendMessageW(field, HKM_GETHOTKEY, 0, 0));
            if (gHotkeyScript.cancel) {
                SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            const Hotkey next = gHotkeyScript.tries == 0 ? Hotkey{kHotkeyControl | kHotkeyAlt, 'J'}
                                                         : Hotkey{kHotkeyShift, 0x74};
            SendMessageW(field, HKM_SETHOTKEY, FieldValueOf(next), 0);
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        std::vector<Hotkey> tried;
        const std::optional<Hotkey> chosen =
            RunHotkeyDialog(nullptr, current, [&](HWND dialog, const Hotkey& hotkey) {
                EXPECT_NE(dialog, nullptr);
                tried.push_back(hotkey);
                ++gHotkeyScript.tries;
                return hotkey != refused;
            });
        KillTimer(nullptr, timer);
        EXPECT_EQ(gHotkeyScript.shown, FieldValueOf(current));
        if (cancel) {
            EXPECT_EQ(chosen, std::nullopt);
            EXPECT_TRUE(tried.empty());
        } else {
            EXPECT_EQ(chosen, taken);
            EXPECT_EQ(tried, (std::vector<Hotkey>{refused, taken}));
        }
    }
}

TEST_F(LauncherMenuTest, ThePopupOpensAndEndsWithoutChoosingAnything) {
    Item(L"A", L"a.exe");
    Start();
    window->Show();
    const UINT_PTR timer =
        SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
    Menu().Popup(POINT{1600, 300});
    KillTimer(nullptr, timer);
    EXPECT_TRUE(shell.launches.empty());
    EXPECT_TRUE(messages.errors.empty());
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

// One real launch through the shell: a small program that writes what it was given.
TEST(ShellLaunch, OpensAProgramWithItsParametersInItsOwnFolder) {
    test::TempFolder folder;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring tools(self);
    tools.resize(tools.find_last_of(L'\\') + 1);
    const std::wstring program = folder.File(L"write marker.exe");
    const std::string markerName = CORVALO_WRITE_MARKER_EXE;
    ASSERT_TRUE(CopyFileW((tools + std::wstring(markerName.begin(), markerName.end())).c_str(),
                          program.c_str(), FALSE));

    const LaunchCommand command = SplitTarget(L"\"" + program + L"\" /one \"two three\"");
    ShellExecuteLauncher().Open(command.file, command.parameters, LaunchDirectory(command.file));

    const std::wstring marker = folder.File(L"marker.txt");
    for (int i = 0; i < 100 && !test::Exists(marker); ++i)
        Sleep(50);
    Sleep(100);
    const std::vector<uint8_t> bytes = test::ReadBytes(marker);
    const std::string text(bytes.begin(), bytes.end());
    std::string expectedFolder;
    for (wchar_t ch : folder.Path())
        expectedFolder += static_cast<char>(ch);
    EXPECT_EQ(text, "one \"two three\"\n" + expectedFolder + "\n");
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

// The real common dialogs, answered by a timer of the test the way a user would cancel them.
BOOL CALLBACK CancelDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

bool cancelledDialog = false;

void CALLBACK CancelOpenDialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog,
                      reinterpret_cast<LPARAM>(&cancelledDialog));
}

TEST(SystemDialogs, CancellingTheFontAndPictureDialogsChangesNothing) {
    test::TempFolder folder;
    test::RecordingMessages messages;
    MainWindowOptions options = test::TestWindowOptions(folder.ExePath(), messages);
    MainWindow window(std::move(options));
    window.Show();
    SystemCommonDialogs dialogs;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, CancelOpenDialogs);

    cancelledDialog = false;
    MenuFont font = window.Font();
    EXPECT_FALSE(dialogs.PickFont(window.Window(), font));
    EXPECT_TRUE(cancelledDialog);
    EXPECT_EQ(font.name, L"Tahoma");

    cancelledDialog = false;
    EXPECT_FALSE(dialogs.OpenPicture(window.Window(), kPictureFilter, L"bmp").has_value());
    EXPECT_TRUE(cancelledDialog);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(messages.errors.empty());
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

TEST_F(LauncherMenuTest, EntriesShowTheirAssignedIconOrElseTheTargetsSystemIcon) {
    Item(L"Own", L"C:\\a.exe");
    Item(L"Past", L"C:\\b.exe");
    Item(L"System", L"C:\\c.txt");
    SetIniValue(Ini(), L"ICONS", L"Own", L"1");
    SetIniValue(Ini(), L"ICONS", L"Past", L"2");
    Start();
    Bitmap red = NewSizedBitmap(32, 32, 0x000000FF);
    Bitmap green = NewSizedBitmap(32, 32, 0x0000FF00);
    for (const Bitmap* image : {&red, &green}) {
        ScopedBitmapHandle handle = GdiBitmapFrom(*image);
        ASSERT_GE(ImageList_Add(window->IconList(), handle.Get(), nullptr), 0);
    }
    Menu().RebuildMenu();
    WaitForIcons();
    const auto& entries = Menu().TopLevel();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[2]->caption, L"Own");
    ASSERT_EQ(entries[2]->bitmap.Width(), 32);
    EXPECT_EQ(entries[2]->bitmap.PixelAt(16, 16), 0x0000FF00u);
    Bitmap ownIcon;
    CopyIcon(window->SystemIcons().Handle(), GetFileIconIndex("C:\\b.exe", false), ownIcon);
    EXPECT_EQ(entries[3]->bitmap, ownIcon)
        << "index 2 is past a list of two: the target's own icon, as for -1";
    const SysImageList& system = window->SystemIcons();
    EXPECT_EQ(entries[4]->bitmap.Width(), system.ImageWidth());
    EXPECT_EQ(entries[4]->bitmap.Height(), system.ImageHeight());
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

// The icon map read once per build answers exactly as the key-by-key reads do.
TEST(IconMapSnapshot, AnswersLikeTheKeyByKeyReads) {
    test::TempFolder folder;
    const std::wstring ini = folder.File(L"corvalo.ini");
    std::wstring text =
        L"\xFEFF[ICONS]\r\nMail=3\r\nmail=7\r\n Spaced = 4 \r\nJunk=abc\r\nNeg=-5\r\n"
        L"Hex=$10\r\nBig=99999999999\r\ncaf\u00e9=2\r\nNoValue\r\n";
    for (int i = 0; i < 3000; ++i)
        text += L"k" + std::to_wstring(i) + L"=" + std::to_wstring(i) + L"\r\n";
    std::vector<uint8_t> bytes;
    for (wchar_t ch : text) {
        bytes.push_back(static_cast<uint8_t>(ch & 0xFF));
        bytes.push_back(static_cast<uint8_t>(ch >> 8));
    }
    test::WriteBytes(ini, bytes);
    SettingsStore settings(ini);
    const IconMapSnapshot snapshot(settings);
    for (const wchar_t* caption :
         {L"Mail", L"MAIL", L"mail", L"Spaced", L"Junk", L"Neg", L"Hex", L"Big", L"CAF\u00c9",
          L"NoValue", L"missing", L"", L"k0", L"K2999", L"k1500"}) {
        EXPECT_EQ(snapshot.IconIndexOf(caption), IconIndexOf(settings, caption)) << caption;
    }
    EXPECT_EQ(snapshot.IconIndexOf(L"MAIL"), 3);
    EXPECT_EQ(snapshot.IconIndexOf(L"K2999"), 2999);
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

Bitmap SystemIcon(const MainWindow& window, int index) {
    Bitmap icon;
    CopyIcon(window.SystemIcons().Handle(), index, icon);
    return icon;
}

struct OpenMenuWatch {
    HWND owner = nullptr;
    const MenuEntry* entry = nullptr;
    Bitmap unknown, own;
    std::shared_ptr<test::HeldIconLookup> lookup;
    bool drewUnknown = false, drewOwn = false, released = false;
};
OpenMenuWatch gWatch;

LRESULT CALLBACK WatchOpenMenu(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == gWatch.owner) {
        if (sent->message == WM_DRAWITEM) {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(sent->lParam);
            if (draw->itemData == reinterpret_cast<ULONG_PTR>(gWatch.entry)) {
                gWatch.drewUnknown |= gWatch.entry->bitmap == gWatch.unknown;
                gWatch.drewOwn |= gWatch.entry->bitmap == gWatch.own;
            }
        }
        // The menu is open and idle: the held lookup may come back; once the entry has been
        // drawn with its own icon, the menu ends.
        if (sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU) {
            if (!gWatch.released && gWatch.drewUnknown) {
                gWatch.released = true;
                gWatch.lookup->Release();
            } else if (gWatch.drewOwn) {
                EndMenu();
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The window never waits for the shell: an entry shows the shell's icon for an unknown file type
// until its own arrives, and an open menu draws it again then.
TEST_F(LauncherMenuTest, AnOpenMenusEntryIsDrawnWithItsIconWhenTheLookupArrives) {
    Item(L"Projects", folder.Path());
    auto held = std::make_shared<test::HeldIconLookup>();
    iconLookup = test::HeldIconLookup::Of(held);
    Start();
    window->Show();
    const MenuEntry* entry = Menu().TopLevel()[2].get();
    gWatch = OpenMenuWatch{window->Window(), entry, SystemIcon(*window, UnknownFileTypeIconIndex()),
                           SystemIcon(*window, GetFileIconIndex(WideToAnsi(folder.Path()), false)),
                           held};
    ASSERT_NE(gWatch.unknown, gWatch.own) << "a folder's icon is not that of an unknown type";

    ASSERT_TRUE(PopupWatched(WatchOpenMenu));
    held->Release();
    EXPECT_TRUE(gWatch.drewUnknown);
    EXPECT_TRUE(gWatch.drewOwn) << "the open menu never showed the icon that arrived";
    EXPECT_EQ(entry->bitmap, gWatch.own) << "once arrived, the entry is what it always was";
}

// Rebuilding while lookups are pending drops them: what they find goes nowhere, and every entry
// of the new menu gets the icon of its own target.
TEST_F(LauncherMenuTest, ARebuildDuringPendingLookupsNeverDrawsAnotherEntrysIcon) {
    Item(L"A folder", folder.Path());
    auto held = std::make_shared<test::HeldIconLookup>();
    iconLookup = test::HeldIconLookup::Of(held);
    Start();
    Menu().TopLevel();
    ASSERT_TRUE(held->WaitUntilEntered()) << "the folder's lookup is under way";

    // The folder's item goes and another takes its place in the menu, many times over.
    window->LauncherList().DeleteItem(0);
    window->LauncherList().AppendItem(L"A program", L"C:\\nowhere\\tool.exe");
    for (int i = 0; i < 50; ++i)
        Menu().RebuildMenu();
    held->Release();
    WaitForIcons();
    ASSERT_FALSE(Menu().IconsPending());
    ASSERT_EQ(Menu().TopLevel().size(), 3u);
    EXPECT_EQ(Menu().TopLevel()[2]->bitmap,
              SystemIcon(*window, GetFileIconIndex("C:\\nowhere\\tool.exe", false)));
    EXPECT_NE(Menu().TopLevel()[2]->bitmap,
              SystemIcon(*window, GetFileIconIndex(WideToAnsi(folder.Path()), false)));
}

// A lookup the shell holds up (a share nobody answers for) does not hold back the next menu's
// icons: that batch gets a thread of its own.
TEST_F(LauncherMenuTest, ALookupTheShellHoldsUpDoesNotHoldBackTheNextMenusIcons) {
    Item(L"Share", L"\\\\server\\share\\tool.exe");
    auto held = std::make_shared<test::HeldIconLookup>();
    held->only = "\\\\server";
    iconLookup = test::HeldIconLookup::Of(held);
    Start();
    Menu().TopLevel();
    ASSERT_TRUE(held->WaitUntilEntered());
    Sleep(400);  // long enough to count as held up

    window->LauncherList().DeleteItem(0);
    window->LauncherList().AppendItem(L"A program", L"C:\\nowhere\\tool.exe");
    Menu().RebuildMenu();
    WaitForIcons();
    EXPECT_FALSE(Menu().IconsPending()) << "the new menu's icons waited for the held lookup";
    EXPECT_EQ(Menu().TopLevel()[2]->bitmap,
              SystemIcon(*window, GetFileIconIndex("C:\\nowhere\\tool.exe", false)));
    EXPECT_EQ(held->answered, 0);
    held->Release();
}

}  // namespace
}  // namespace corvalo

namespace corvalo {
namespace {

struct TypedWatch {
    HWND owner = nullptr;
    HMENU top = nullptr;
    bool checked = false;
    std::vector<std::wstring> texts, submenuTexts;
    LRESULT m1 = 0, m2 = 0, s = 0, z = 0, q = 0;
};
TypedWatch gTyped;

std::vector<std::wstring> MenuTexts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

LRESULT Typed(wchar_t letter, HMENU menu) {
    return SendMessageW(gTyped.owner, WM_MENUCHAR, MAKEWPARAM(letter, MF_POPUP),
                        reinterpret_cast<LPARAM>(menu));
}

LRESULT CALLBACK WatchTyping(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == gTyped.owner) {
        if (sent->message == WM_INITMENUPOPUP && !gTyped.top)
            gTyped.top = reinterpret_cast<HMENU>(sent->wParam);
        if (sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU && !gTyped.checked &&
            gTyped.top) {
            gTyped.checked = true;
            gTyped.texts = MenuTexts(gTyped.top);
            gTyped.submenuTexts = MenuTexts(GetSubMenu(gTyped.top, 0));
            gTyped.m1 = Typed(L'm', gTyped.top);
            gTyped.s = Typed(L'S', gTyped.top);
            gTyped.z = Typed(L'z', gTyped.top);
            gTyped.q = Typed(L'q', GetSubMenu(gTyped.top, 0));
            EndMenu();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The keyboard and screen readers: letters select and choose entries, and each entry carries its
// caption as its text, while the program still draws every pixel of it.
TEST_F(LauncherMenuTest, TypedLettersSelectAndChooseAndEveryEntryIsNamed) {
    Item(L"Mail", L"mail.exe");
    Item(L"music", L"music.exe");
    Start();
    window->Show();
    gTyped = TypedWatch();
    gTyped.owner = window->Window();
    ASSERT_TRUE(PopupWatched(WatchTyping));
    ASSERT_TRUE(gTyped.checked) << "the menu never went idle";

    EXPECT_EQ(gTyped.texts, (std::vector<std::wstring>{L"Settings...", L"", L"Mail", L"music"}));
    EXPECT_EQ(gTyped.submenuTexts,
              (std::vector<std::wstring>{L"Start with Windows", L"New empty item", L"New image",
                                         L"Font", L"Hotkey...", L"Show in taskbar", L"Quit"}));
    EXPECT_EQ(gTyped.m1, MAKELRESULT(2, MNC_SELECT)) << "two entries start with M";
    EXPECT_EQ(gTyped.s, MAKELRESULT(0, MNC_EXECUTE)) << "only Settings... starts with S";
    EXPECT_EQ(HIWORD(gTyped.z), MNC_IGNORE) << "no entry starts with Z";
    EXPECT_EQ(gTyped.q, MAKELRESULT(6, MNC_EXECUTE)) << "Q chooses Quit";
    EXPECT_TRUE(shell.launches.empty());
}

}  // namespace
}  // namespace corvalo
