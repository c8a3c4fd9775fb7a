#pragma once

#include <string>
#include <string_view>

namespace corvalo {

// One line of the launcher list, "caption=target", split at its FIRST "=": a caption never holds
// an "=", a target may ("Calc=C:\Tools\calc.exe x=1").
//
// A line without "=" (only a hand-made legacy list file has one) has an empty caption and
// hasSeparator false; its target is the line without its first character, because the target
// always starts two characters after the end of the caption. Lookups by caption skip such lines,
// so that target is never opened; hasSeparator lets the final save tell these lines apart.
struct LauncherLine {
    std::wstring caption;
    std::wstring target;
    bool hasSeparator = false;
};

LauncherLine SplitLauncherLine(std::wstring_view line);

}  // namespace corvalo
