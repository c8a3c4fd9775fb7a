#pragma once

#include <string>

namespace corvalo {

// The full path of the program's own executable, however long, in UTF-16 (its 8-bit form cannot
// spell every folder name).
std::wstring OwnExecutablePath();

}  // namespace corvalo
