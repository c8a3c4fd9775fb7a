#include "shell/version_info_win.h"

#include "base/text.h"
#include "shell/own_path_win.h"

#include <windows.h>

#include <climits>

namespace corvalo {

VersionInfoReader::VersionInfoReader() {
    SetFileName({});
}

void VersionInfoReader::SetFileName(const std::string& ansiFileName) {
    fileName_ = ansiFileName;
    hasVersionInfo_ = false;
    block_.clear();
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
        hasVersionInfo_ = false;
        block_.clear();
        fixedInfo_ = {};
        translations_.clear();
        currentTranslation_ = -1;
    }
}

void VersionInfoReader::Read(const std::wstring* ownPath) {
    if (!ownPath && fileName_.empty())
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
    const VersionBlock parsed(block_);
    fixedInfo_ = parsed.FixedInfo().value_or(FixedFileInfo{});
    translations_ = parsed.Translations();
    currentTranslation_ = translations_.empty() ? -1 : 0;
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
    return VersionBlock(block_).Text(path).value_or(std::string());
}

std::string AnsiFileName(std::wstring_view fileName) {
    if (fileName.empty() || fileName.size() > static_cast<size_t>(INT_MAX))
        return {};
    const int length = static_cast<int>(fileName.size());
    const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, fileName.data(), length,
                                           nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, fileName.data(), length, out.data(), needed,
                        nullptr, nullptr);
    return out;
}

std::wstring GetProductName(VersionInfoReader& reader, const std::wstring& fileName) {
    try {
        reader.SetFileName(AnsiFileName(fileName));
        return AnsiToWide(reader.StandardString(kProductNameIndex));
    } catch (...) {
        return {};
    }
}

}  // namespace corvalo
