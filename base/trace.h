#pragma once

// The developer's trace channel: a line for everything the program lets go on purpose (a silent
// fallback, a failed registration, an ignored launch result), so that what happened can still be
// seen. On Windows it is the debug output (any debug-output viewer; under Wine with
// WINEDEBUG=+debugstr); natively it goes to standard error when CORVALO_TRACE is set. The user
// never sees it.

#include <exception>
#include <string_view>

namespace corvalo {

// One line: "Corvalo: <what>".
void Trace(std::wstring_view what);

// One line for an exception that is swallowed on purpose: what was being done, and the error's own
// message when it has one. Call it inside a catch block.
void TraceCurrentException(std::wstring_view doing);

}  // namespace corvalo
