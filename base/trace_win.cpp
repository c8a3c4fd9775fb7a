#include "base/trace.h"

#include <windows.h>

#include <string>

namespace corvalo {

void Trace(std::wstring_view what) {
    std::wstring line = L"Corvalo: ";
    line.append(what);
    line += L"\n";
    OutputDebugStringW(line.c_str());
}

}  // namespace corvalo
