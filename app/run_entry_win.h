#pragma once

// "Start with Windows": the program's value in the current user's Run key. Nothing of it is cached
// or kept in the settings file; the registry is asked every time.

#include "base/scoped_win.h"

#include <functional>
#include <string>

namespace corvalo {

// Opens the Run key (creating it when asked); an invalid key when that fails. Tests pass their
// own to use a key of their own or a key opened without the right to write.
using RunKeyOpener = std::function<ScopedRegistryKey(bool create)>;

ScopedRegistryKey OpenUserRunKey(bool create);

// Whether the Run key holds a value of that name that starts this executable (RunValueNamesExe).
// Another program's value that happens to have the name is not this program's registration.
bool RunEntryExists(const std::wstring& valueName, const std::wstring& exePath,
                    const RunKeyOpener& open = OpenUserRunKey);

// on: writes the executable's path in double quotes (with its terminating zero) under the name;
// off: deletes the value only while it starts this executable, ignoring a failure, so another
// program's start at log-on is never taken away. A key that cannot be opened or created does
// nothing; a value that cannot be written throws "Failed to set data for '%s'".
void SetRunEntry(const std::wstring& valueName, const std::wstring& exePath, bool on,
                 const RunKeyOpener& open = OpenUserRunKey);

}  // namespace corvalo
