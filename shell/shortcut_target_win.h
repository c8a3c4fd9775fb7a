#pragma once

#include <string>

namespace corvalo {

// The file-system path a shortcut (.lnk) file points to. Empty when the file is not a shortcut,
// cannot be read, or points to something without a path (a control panel item). Works on any
// thread: COM is set up for the call and left as it was found.
std::wstring GetShortcutTarget(const std::wstring& fileName);

}  // namespace corvalo
