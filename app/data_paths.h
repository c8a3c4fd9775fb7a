#pragma once

#include <string>
#include <string_view>

namespace corvalo {

// Replaces a path's extension: the last of ".", "\" and ":" decides. When it is a ".", everything
// from it on gives way to the new extension; otherwise (no "." in the file name, or no delimiter
// at all) the extension is appended. So "C:\my.dir\corvalo" gets the extension appended rather
// than losing ".dir\corvalo", and "corvalo.v2.exe" keeps "corvalo.v2".
std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view extension);

// The same rule for a path in the ANSI code page (the icon-list and picture files are opened
// through 8-bit names). The path is searched by characters, not bytes, so a double-byte character
// whose second byte happens to be 0x5C ("\") is not taken for a folder separator.
std::string ChangeFileExt(std::string_view path, std::string_view extension);

// The executable's full path without its extension: every data file is this plus its own
// extension.
std::wstring BasePath(std::wstring_view exePath);

// The executable's file name (after the last "\" or ":") up to, not including, its first ".";
// empty when the name has no "." at all. "C:\Tools\corvalo.v2.exe" gives "corvalo".
std::wstring ExeBaseName(std::wstring_view exePath);

// The text of the Run-key value that starts the executable at log-on: its path in double quotes.
// Bare, a path with spaces ("C:\Program Files\My Tools\corvalo.exe") would first be tried as
// "C:\Program.exe" with the rest as its arguments, so whoever can put a file there runs first.
std::wstring RunValueText(std::wstring_view exePath);

// Whether a Run-key value's text starts this executable: the path itself, in double quotes or bare
// as earlier versions wrote it, letters compared without case as the file system compares them.
// A value of the same name that another program wrote starts that program and does not count.
bool RunValueNamesExe(std::wstring_view value, std::wstring_view exePath);

}  // namespace corvalo
