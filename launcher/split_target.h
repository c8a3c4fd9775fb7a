#pragma once

// How a launcher item's target becomes what the shell is asked to open: the file part, the
// parameters after " /", and the folder the program starts in.

#include <string>
#include <string_view>

namespace corvalo {

struct LaunchCommand {
    std::wstring file;
    std::wstring parameters;
};

// Splits at the first " /": the file part loses its trailing blanks and control characters and
// every double quote; the parameters start after the slash and keep their quotes. A target
// without " /" that starts with a quoted part ("C:\Program Files\x.exe" --foo "a b") has that
// part as the file and the rest, trimmed, as the parameters with their quotes; any other target
// without " /" is the file, its quotes removed.
LaunchCommand SplitTarget(std::wstring_view target);

// The characters of file up to and including its last "\" or ":"; empty when it has neither.
std::wstring LaunchDirectory(std::wstring_view file);

}  // namespace corvalo
