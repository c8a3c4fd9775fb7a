#include "base/text.h"
#include "base/trace.h"

#include <windows.h>

#include <string>

namespace corvalo {
namespace {

// Wine's debug log shows only the 8-bit form of a debug string: under Wine the line goes that
// way, in UTF-8 so that nothing of a name is lost.
bool UnderWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

}  // namespace

void Trace(std::wstring_view what) {
    std::wstring line = L"Corvalo: ";
    line.append(what);
    line += L"\n";
    if (UnderWine()) {
        OutputDebugStringA(WideToUtf8(line).c_str());
    } else {
        OutputDebugStringW(line.c_str());
    }
}

}  // namespace corvalo
