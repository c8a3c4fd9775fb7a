#pragma once

// The settings file, read and written through the platform's profile functions. The store keeps
// nothing but the path: every read goes to the file, every write is on disk at once.

#include <cstdint>
#include <string>
#include <vector>

namespace corvalo {

class SettingsStore {
  public:
    // Creates the file with a UTF-16 byte-order mark and one empty line when it does not exist, so
    // the profile functions keep writing it in UTF-16. Throws "Cannot create file "%s". %s".
    // An existing file in a form the profile functions misread (empty, UTF-8 from another
    // editor) is turned into UTF-16 first, its old bytes kept in "<file>.bak" (or the next free
    // numbered backup); a file in the ANSI code page stays so until text it can't hold is
    // written, and then becomes UTF-16 the same way. No write ever turns a character into "?".
    explicit SettingsStore(std::wstring path);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::wstring& Path() const { return path_; }

    // At most 2047 characters come back, as through the profile functions' 2048-character buffer.
    std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& fallback) const;
    // Throws "Unable to write to %s" with the file's path.
    void WriteString(const std::wstring& section, const std::wstring& key,
                     const std::wstring& text);
    int32_t ReadInteger(const std::wstring& section, const std::wstring& key,
                        int32_t fallback) const;
    void WriteInteger(const std::wstring& section, const std::wstring& key, int32_t value);
    bool ReadBool(const std::wstring& section, const std::wstring& key, bool fallback) const;
    void WriteBool(const std::wstring& section, const std::wstring& key, bool value);
    // The section's key names in file order, as far as they fit whole in 16384 characters (each
    // followed by a zero character, and one more zero at the end); a name that does not fit is left
    // out with every name after it, never cut short.
    std::vector<std::wstring> ReadSection(const std::wstring& section) const;
    // One "key=value" line per key of ReadSection.
    std::vector<std::wstring> ReadSectionValues(const std::wstring& section) const;
    bool SectionExists(const std::wstring& section) const;
    // Every "key=value" line of the section in one read of the file, however long the section is.
    std::vector<std::wstring> ReadSectionLines(const std::wstring& section) const;
    void DeleteKey(const std::wstring& section, const std::wstring& key);
    void Flush();

  private:
    void TakeInAsUtf16IfMisread();
    void ReplaceWithUtf16(const std::vector<uint8_t>& old, const std::vector<uint8_t>& utf16);
    void MakeRoomFor(const std::wstring& text);

    std::wstring path_;
};

}  // namespace corvalo
