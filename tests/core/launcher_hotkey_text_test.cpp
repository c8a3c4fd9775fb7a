#include "launcher/hotkey_text.h"

#include <gtest/gtest.h>

namespace corvalo {
namespace {

TEST(HotkeyText, ReadsWhatAPersonWritesAndRefusesWhatIsNoHotkey) {
    const Hotkey ctrlAltK{kHotkeyControl | kHotkeyAlt, 'K'};
    EXPECT_EQ(ParseHotkey(L"Ctrl+Alt+K"), ctrlAltK);
    EXPECT_EQ(ParseHotkey(L"  alt + ctrl +k "), ctrlAltK);  // any order of modifiers, any case
    EXPECT_EQ(ParseHotkey(L"Control+Alt+k"), ctrlAltK);
    EXPECT_EQ(FormatHotkey(ctrlAltK), L"Ctrl+Alt+K");
    EXPECT_EQ(ParseHotkey(L"Win+Shift+F5"), (Hotkey{kHotkeyWin | kHotkeyShift, 0x74}));
    EXPECT_EQ(FormatHotkey(Hotkey{kHotkeyWin | kHotkeyShift, 0x74}), L"Shift+Win+F5");
    EXPECT_EQ(ParseHotkey(L"F9"), (Hotkey{0, 0x78}));  // a function key may stand alone
    EXPECT_EQ(ParseHotkey(L"Ctrl+F24"), (Hotkey{kHotkeyControl, 0x87}));
    EXPECT_EQ(ParseHotkey(L"Ctrl+Key 254"), (Hotkey{kHotkeyControl, 254}));

    for (const wchar_t* none :
         {L"",         L"   ",     L"Ctrl",     L"Ctrl+Alt",     L"Ctrl+",
          L"+K",       L"Ctrl++K", L"Ctrl+Foo", L"Hyper+K",      L"K",
          L"Shift+K",  L"Space",   L"Shift+1",  L"K+Ctrl",       L"Ctrl+K+L",
          L"Ctrl+F25", L"Ctrl+F0", L"Ctrl+F01", L"Ctrl+Key 255", L"Ctrl+Key 0",
          L"Ctrl+Key", L"Ctrl+KK"}) {
        EXPECT_EQ(ParseHotkey(none), std::nullopt) << '"' << testing::PrintToString(none) << '"';
    }
    EXPECT_EQ(FormatHotkey(Hotkey{}), L"");
}

TEST(HotkeyText, EveryKeyWrittenReadsBackTheSame) {
    for (uint32_t key = 1; key <= 254; ++key) {
        for (const uint32_t modifiers :
             {uint32_t{kHotkeyControl}, uint32_t{kHotkeyAlt | kHotkeyWin},
              uint32_t{kHotkeyControl | kHotkeyAlt | kHotkeyShift | kHotkeyWin}}) {
            const Hotkey hotkey{modifiers, key};
            EXPECT_EQ(ParseHotkey(FormatHotkey(hotkey)), hotkey) << FormatHotkey(hotkey).size();
        }
    }
}

}  // namespace
}  // namespace corvalo
