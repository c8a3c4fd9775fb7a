#include "shell/version_info_win.h"

#include "base/trace.h"
#include "base/scoped_win.h"
#include "base/text.h"
#include "shell/file_checks_win.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace corvalo {

VersionInfoReader::VersionInfoReader() {
    SetFileName({});
}

void VersionInfoReader::SetFileName(const std::string& ansiFileName) {
    fileName_ = ansiFileName;
    hasVersionInfo_ = false;
    block_.clear();
    validLength_ = 0;
    fixedInfo_ = {};
    translations_.clear();
    currentTranslation_ = -1;
    try {
        if (ansiFileName.empty()) {
            // The program's own file is read by its UTF-16 path, which works in any folder.
            const std::wstring own = OwnExecutablePath();
            fileName_ = WideToAnsi(own);
            Read(&own);
        } else {
            Read(nullptr);
        }
    } catch (...) {
        // Out of memory: the file counts as one without version information.
        TraceCurrentException(L"A file's version information was not read");
        hasVersionInfo_ = false;
        block_.clear();
        validLength_ = 0;
        fixedInfo_ = {};
        translations_.clear();
        currentTranslation_ = -1;
    }
}

void VersionInfoReader::Read(const std::wstring* ownPath) {
    if (!ownPath && (fileName_.empty() || OpensAsDevice(fileName_)))
        return;
    DWORD ignored = 0;
    const DWORD size = ownPath ? GetFileVersionInfoSizeW(ownPath->c_str(), &ignored)
                               : GetFileVersionInfoSizeA(fileName_.c_str(), &ignored);
    if (size == 0)
        return;
    std::vector<uint8_t> block(size);
    const BOOL read = ownPath ? GetFileVersionInfoW(ownPath->c_str(), 0, size, block.data())
                              : GetFileVersionInfoA(fileName_.c_str(), 0, size, block.data());
    if (!read)
        return;
    hasVersionInfo_ = true;
    block_ = std::move(block);
    validLength_ = std::min(block_.size(), ResourceSize(ownPath));
    const VersionBlock parsed = Parsed();
    fixedInfo_ = parsed.FixedInfo().value_or(FixedFileInfo{});
    translations_ = parsed.Translations();
    currentTranslation_ = translations_.empty() ? -1 : 0;
}

size_t VersionInfoReader::ResourceSize(const std::wstring* ownPath) const {
    // The version functions hand out more bytes than the resource holds (room for their own use),
    // so a resource cut short would read on into that room. Where the file is a program or
    // library, its resource's own size is the real end of the block.
    const DWORD flags = LOAD_LIBRARY_AS_DATAFILE;
    ScopedLibrary module(ownPath ? LoadLibraryExW(ownPath->c_str(), nullptr, flags)
                                 : LoadLibraryExA(fileName_.c_str(), nullptr, flags));
    if (!module)
        return SIZE_MAX;  // an old 16-bit file: only the version functions can read it
    HRSRC resource = FindResourceW(module.Get(), MAKEINTRESOURCEW(VS_VERSION_INFO),
                                   MAKEINTRESOURCEW(16));  // RT_VERSION
    if (!resource)
        return SIZE_MAX;
    return SizeofResource(module.Get(), resource);
}

VersionBlock VersionInfoReader::Parsed() const {
    return VersionBlock(std::span<const uint8_t>(block_).first(validLength_));
}

std::string VersionInfoReader::CurrentTranslationKey() const {
    if (currentTranslation_ < 0 || currentTranslation_ >= static_cast<int>(translations_.size()))
        return {};
    return TranslationKey(translations_[static_cast<size_t>(currentTranslation_)]);
}

std::string VersionInfoReader::StandardString(int index) const {
    if (!hasVersionInfo_ || index < 0 || index >= static_cast<int>(kStandardVersionStrings.size()))
        return {};
    // Without a translation there is no string table to look in (the path would lose its
    // table's part and name a different node).
    const std::string key = CurrentTranslationKey();
    if (key.empty())
        return {};
    const std::string path = std::string("\\StringFileInfo\\") + key + "\\" +
                             kStandardVersionStrings[static_cast<size_t>(index)];
    return Parsed().Text(path).value_or(std::string());
}

std::wstring GetProductName(VersionInfoReader& reader, const std::wstring& fileName) {
    try {
        reader.SetFileName(WideToAnsi(fileName));
        return AnsiToWide(reader.StandardString(kProductNameIndex));
    } catch (...) {
        TraceCurrentException(L"A version text was not read");
        return {};
    }
}

}  // namespace corvalo
