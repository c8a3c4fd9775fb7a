#pragma once

// The font of all menu drawing, as the settings file stores it.

#include <cstdint>
#include <string>

namespace corvalo {

struct MenuFont {
    std::wstring name = L"Tahoma";
    uint8_t charSet = 1;  // the platform's default character set
    int32_t color = 0;    // 0x00BBGGRR, or a system colour when negative
    int32_t size = 10;    // points
    uint8_t style = 0;    // 1 bold, 2 italic, 4 underline, 8 strike-out
};

}  // namespace corvalo
