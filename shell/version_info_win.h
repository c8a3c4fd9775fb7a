#pragma once

// The version-info reader: the version information of one file at a time, as the main window
// uses it to give a dropped program its product name as caption.

#include "shell/version_block.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

class VersionInfoReader {
  public:
    // Reads the program's own executable, as an empty file name does.
    VersionInfoReader();

    // Takes a new file (8-bit, in the ANSI code page) and reads its version information at once;
    // the previous file's data is dropped. An empty name stands for the program's own executable,
    // whose full path then becomes the name. Reports no failure: a file that cannot be read simply
    // has no version information.
    void SetFileName(const std::string& ansiFileName);
    const std::string& FileName() const { return fileName_; }

    bool HasVersionInfo() const { return hasVersionInfo_; }
    // All zero when the file has none.
    const FixedFileInfo& FixedInfo() const { return fixedInfo_; }
    const std::vector<Translation>& Translations() const { return translations_; }
    // Index into Translations(): the first entry, or -1 when the table is empty. Only the first
    // translation is ever used, whatever the user's language.
    int CurrentTranslation() const { return currentTranslation_; }
    // The current translation as its string table's name ("040904b0"); empty when there is none.
    std::string CurrentTranslationKey() const;

    // One of the twelve predefined strings by its index in kStandardVersionStrings (9 is
    // "ProductName"), from the current translation's table, in the ANSI code page. Empty when the
    // file, the translation or the string is missing, and for an index outside 0..11.
    std::string StandardString(int index) const;

  private:
    void Read(const std::wstring* ownPath);
    size_t ResourceSize(const std::wstring* ownPath) const;
    VersionBlock Parsed() const;

    std::string fileName_;
    bool hasVersionInfo_ = false;
    std::vector<uint8_t> block_;  // as the version functions hand it out
    size_t validLength_ = 0;      // how much of it is the file's resource
    FixedFileInfo fixedInfo_;
    std::vector<Translation> translations_;
    int currentTranslation_ = -1;
};

// The product name of a file: its version information's "ProductName" of the first translation,
// read through `reader` (whose file it replaces). The name goes to the reader in the ANSI code
// page and the product name comes back through it, so a path the code page cannot spell gives an
// empty name. Empty when there is none: documents, folders, URLs, missing files. An empty name
// gives the program's own product name.
std::wstring GetProductName(VersionInfoReader& reader, const std::wstring& fileName);


}  // namespace corvalo
