#pragma once

#include <string>
#include <string_view>

namespace corvalo {

// The extension of a file name as the icon lookup sees it. Scanning backwards from the last
// character, the first ":", "\", "/" or "." met decides: when it is a "." that is not the name's
// first character, the extension is the text from that "." to the end ("C:\a\b.txt" gives ".txt",
// "C:\a.dir\b" and ".profile" give none, "name." gives "."). Empty when there is none.
//
// The name is in the ANSI code page. It is scanned by characters, not bytes, so the second byte of
// a double-byte character that happens to be 0x5C ("\") is not taken for a folder separator.
std::string FileExtension(std::string_view ansiName);

// The same rule on a wide name.
std::wstring FileExtension(std::wstring_view name);

}  // namespace corvalo
