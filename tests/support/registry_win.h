#pragma once

// Registry keys for the shell tests and benchmarks: default values, and a file type of their own
// that lasts one scope.

#include <windows.h>

#include <string>

namespace corvalo::test {

// Creates the key if need be and sets its default value; false when either fails.
bool SetDefaultValue(HKEY root, const std::wstring& key, const std::wstring& value);
bool KeyExists(HKEY root, const std::wstring& key);
// Deletes the key with everything below it.
void DeleteKey(HKEY root, const std::wstring& key);

// A file type for one scope: the extension, its type and the type's icon, in the user's classes.
// Where the system's merged view of the classes does not show the user's (Wine 8 does not), the
// same keys go into that view too. Everything is removed again; the shell hears of both changes.
class TemporaryFileType {
  public:
    TemporaryFileType(const std::wstring& extension, const std::wstring& typeName,
                      const std::wstring& icon);
    ~TemporaryFileType();
    TemporaryFileType(const TemporaryFileType&) = delete;
    TemporaryFileType& operator=(const TemporaryFileType&) = delete;

    // Whether every key was written.
    bool Ok() const { return ok_; }

  private:
    std::wstring extension_;
    std::wstring typeName_;
    bool userClassesExisted_;
    bool ok_ = false;
    bool merged_ = false;
};

}  // namespace corvalo::test
