#pragma once

// The system's own words for a failed call, so that an error the user or a developer sees says
// why, not just what.

#include <windows.h>

#include <string>
#include <string_view>

namespace corvalo {

// The system's text for an error code, without the trailing line end.
std::wstring SystemErrorText(DWORD code);

// Throws Error("<what>. <the system's text for the calling thread's last error>").
[[noreturn]] void ThrowSystemError(std::wstring_view what);

}  // namespace corvalo
