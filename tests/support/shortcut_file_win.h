#pragma once

// Shortcut files made through the shell's own link object, for the tests and the end-to-end tool
// that drags one onto the picture.

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace corvalo::test {

// Writes a shortcut to `shortcut`; with `itemIds` it points to that item, otherwise to `target`.
// COM must be initialised on the calling thread. The first failing step's result is returned.
HRESULT WriteShortcutFile(const std::wstring& shortcut, const std::wstring& target,
                          LPCITEMIDLIST itemIds = nullptr);

}  // namespace corvalo::test
