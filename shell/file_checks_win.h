#pragma once

// Small facts about files that the shell lookups check before handing a name to the system.

#include <string>

namespace corvalo {

// The full path of the program's own executable, however long, in UTF-16 (its 8-bit form cannot
// spell every folder name).
std::wstring OwnExecutablePath();

// True when the name opens as a device or pipe rather than a file or folder on disk: "COM1",
// "AUX", "C:\Docs\com1.txt", "\\.\pipe\x". Reading such a name waits for data that may never come,
// so the lookups that read files leave them alone. False when the name does not open at all.
bool OpensAsDevice(const std::wstring& name);
bool OpensAsDevice(const std::string& ansiName);

}  // namespace corvalo
