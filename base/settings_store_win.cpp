#include "base/settings_store_win.h"

#include "base/settings_integer.h"
#include "base/error.h"
#include "base/file_io_win.h"
#include "base/scoped_win.h"
#include "base/settings_file_text.h"
#include "base/text.h"
#include "base/trace.h"

#include <windows.h>

namespace corvalo {
namespace {

constexpr DWORD kValueBufferChars = 2048;
constexpr DWORD kSectionBufferChars = 16384;

// A list of zero-ended strings the profile functions fill in, read through a buffer as large as it
// needs: a list cut to fit comes back two characters short of the buffer.
template <typename Read>
std::vector<std::wstring> ReadWholeList(Read read) {
    std::vector<wchar_t> buffer(kSectionBufferChars * 2, L'\0');
    DWORD length = 0;
    for (;;) {
        length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 26))
            break;
        buffer.assign(buffer.size() * 4, L'\0');
    }
    std::vector<std::wstring> items;
    const wchar_t* at = buffer.data();
    const wchar_t* end = buffer.data() + std::min<size_t>(length, buffer.size());
    while (at < end && *at) {
        const wchar_t* stop = at;
        while (stop < end && *stop)
            ++stop;
        items.emplace_back(at, stop);
        at = stop + 1;
    }
    return items;
}

}  // namespace

SettingsStore::SettingsStore(std::wstring path) : path_(std::move(path)) {
    if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) {
        TakeInAsUtf16IfMisread();
        return;
    }
    // A byte-order mark and one empty line: the profile functions then write this file in UTF-16.
    ScopedKernelHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD wrote = 0;
    if (!file ||
        !WriteFile(file.Get(), kUtf16SettingsStart, sizeof(kUtf16SettingsStart), &wrote, nullptr) ||
        wrote != sizeof(kUtf16SettingsStart)) {
        const DWORD code = GetLastError();
        file.Reset();
        throw Error(FillText(L"Cannot create file \"%s\". %s", {path_, SystemErrorText(code)}));
    }
}

// A file another editor saved in a form the profile functions would misread (an empty file,
// UTF-8) becomes the same text in UTF-16, its old bytes first kept in a backup beside it. A file
// that can't be read or backed up is left as it is.
void SettingsStore::TakeInAsUtf16IfMisread() {
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(path_);
        if (const std::optional<std::vector<uint8_t>> utf16 = SettingsFileAsUtf16(bytes))
            ReplaceWithUtf16(bytes, *utf16);
    } catch (...) {
        TraceCurrentException(L"The settings file stays in the form it has");
    }
}

void SettingsStore::ReplaceWithUtf16(const std::vector<uint8_t>& old,
                                     const std::vector<uint8_t>& utf16) {
    if (!old.empty())
        KeepBackup(path_ + L".bak", old);
    ReplaceFileContents(path_, utf16);
}

// Text the ANSI code page can't hold would be written as "?" into a file in that code page: the
// file becomes UTF-16 first, so nothing is lost.
void SettingsStore::MakeRoomFor(const std::wstring& text) {
    if (AnsiToWide(WideToAnsi(text)) == text)
        return;
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(path_);
        if (!IsUtf16SettingsFile(bytes))
            ReplaceWithUtf16(bytes, AnsiSettingsFileAsUtf16(bytes));
    } catch (...) {
        TraceCurrentException(L"The settings file could not become UTF-16");
    }
}

SettingsStore::~SettingsStore() {
    Flush();
}

std::wstring SettingsStore::ReadString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& fallback) const {
    wchar_t buffer[kValueBufferChars];
    const DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback.c_str(),
                                                  buffer, kValueBufferChars, path_.c_str());
    return std::wstring(buffer, length);
}

void SettingsStore::WriteString(const std::wstring& section, const std::wstring& key,
                                const std::wstring& text) {
    MakeRoomFor(section + key + text);
    if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), text.c_str(), path_.c_str())) {
        const DWORD code = GetLastError();
        throw Error(FillText(L"Unable to write to %s", {path_}), SystemErrorText(code));
    }
}

int32_t SettingsStore::ReadInteger(const std::wstring& section, const std::wstring& key,
                                   int32_t fallback) const {
    return ParseSettingsInteger(ReadString(section, key, L"")).value_or(fallback);
}

void SettingsStore::WriteInteger(const std::wstring& section, const std::wstring& key,
                                 int32_t value) {
    WriteString(section, key, FormatSettingsInteger(value));
}

bool SettingsStore::ReadBool(const std::wstring& section, const std::wstring& key,
                             bool fallback) const {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void SettingsStore::WriteBool(const std::wstring& section, const std::wstring& key, bool value) {
    WriteString(section, key, value ? L"1" : L"0");
}

std::vector<std::wstring> SettingsStore::ReadSection(const std::wstring& section) const {
    // The names are read whole, and then taken only as far as they fit in the section buffer
    // with their zero characters and the final one: the profile functions would cut the last name
    // short instead, and a cut name is an item nobody stored, written back at every close.
    std::vector<std::wstring> keys;
    size_t used = 1;
    for (std::wstring& key : ReadWholeList([&](wchar_t*buffer, DWORD size) {
             return GetPrivateProfileStringW(section.c_str(), nullptr, L"", buffer, size,
                                             path_.c_str());
         })) {
        used += key.size() + 1;
        if (used > kSectionBufferChars)
            break;
        keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<std::wstring> SettingsStore::ReadSectionValues(const std::wstring& section) const {
    std::vector<std::wstring> lines;
    for (const std::wstring& key : ReadSection(section)) {
        lines.push_back(key + L"=" + ReadString(section, key, L""));
    }
    return lines;
}

bool SettingsStore::SectionExists(const std::wstring& section) const {
    return !ReadSection(section).empty();
}

std::vector<std::wstring> SettingsStore::ReadSectionLines(const std::wstring& section) const {
    return ReadWholeList([&](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileSectionW(section.c_str(), buffer, size, path_.c_str());
    });
}

void SettingsStore::DeleteKey(const std::wstring& section, const std::wstring& key) {
    WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, path_.c_str());
}

void SettingsStore::Flush() {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path_.c_str());
}

}  // namespace corvalo
