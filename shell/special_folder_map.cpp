#include "shell/special_folder_map.h"

#include "base/text.h"

namespace corvalo {

const std::array<SpecialFolder, 58> kSpecialFolders = {{
    {"CSIDL_ADMINTOOLS", 0x30},
    {"CSIDL_ALTSTARTUP", 0x1d},
    {"CSIDL_APPDATA", 0x1a},
    {"CSIDL_BITBUCKET", 0x0a},
    {"CSIDL_CDBURN_AREA", 0x3b},
    {"CSIDL_COMMON_ADMINTOOLS", 0x2f},
    {"CSIDL_COMMON_ALTSTARTUP", 0x1e},
    {"CSIDL_COMMON_APPDATA", 0x23},
    {"CSIDL_COMMON_DESKTOPDIRECTORY", 0x19},
    {"CSIDL_COMMON_DOCUMENTS", 0x2e},
    {"CSIDL_COMMON_FAVORITES", 0x1f},
    {"CSIDL_COMMON_MUSIC", 0x35},
    {"CSIDL_COMMON_OEM_LINKS", 0x3a},
    {"CSIDL_COMMON_PICTURES", 0x36},
    {"CSIDL_COMMON_PROGRAMS", 0x17},
    {"CSIDL_COMMON_STARTMENU", 0x16},
    {"CSIDL_COMMON_STARTUP", 0x18},
    {"CSIDL_COMMON_TEMPLATES", 0x2d},
    {"CSIDL_COMMON_VIDEO", 0x37},
    {"CSIDL_COMPUTERSNEARME", 0x3d},
    {"CSIDL_CONNECTIONS", 0x31},
    {"CSIDL_CONTROLS", 0x03},
    {"CSIDL_COOKIES", 0x21},
    {"CSIDL_DESKTOP", 0x00},
    {"CSIDL_DESKTOPDIRECTORY", 0x10},
    {"CSIDL_DRIVES", 0x11},
    {"CSIDL_FAVORITES", 0x06},
    {"CSIDL_FONTS", 0x14},
    {"CSIDL_HISTORY", 0x22},
    {"CSIDL_INTERNET", 0x01},
    {"CSIDL_INTERNET_CACHE", 0x20},
    {"CSIDL_LOCAL_APPDATA", 0x1c},
    {"CSIDL_MYDOCUMENTS", 0x0c},
    {"CSIDL_MYMUSIC", 0x0d},
    {"CSIDL_MYPICTURES", 0x27},
    {"CSIDL_MYVIDEO", 0x0e},
    {"CSIDL_NETHOOD", 0x13},
    {"CSIDL_NETWORK", 0x12},
    {"CSIDL_PERSONAL", 0x05},
    {"CSIDL_PRINTERS", 0x04},
    {"CSIDL_PRINTHOOD", 0x1b},
    {"CSIDL_PROFILE", 0x28},
    {"CSIDL_PROFILES", 0x3e},
    {"CSIDL_PROGRAM_FILES", 0x26},
    {"CSIDL_PROGRAM_FILESX86", 0x2a},
    {"CSIDL_PROGRAM_FILES_COMMON", 0x2b},
    {"CSIDL_PROGRAM_FILES_COMMONX86", 0x2c},
    {"CSIDL_PROGRAMS", 0x02},
    {"CSIDL_RECENT", 0x08},
    {"CSIDL_RESOURCES", 0x38},
    {"CSIDL_RESOURCES_LOCALIZED", 0x39},
    {"CSIDL_SENDTO", 0x09},
    {"CSIDL_STARTMENU", 0x0b},
    {"CSIDL_STARTUP", 0x07},
    {"CSIDL_SYSTEM", 0x25},
    {"CSIDL_SYSTEMX86", 0x29},
    {"CSIDL_TEMPLATES", 0x15},
    {"CSIDL_WINDOWS", 0x24},
}};

std::wstring SpecialFolderMap::KeyOf(std::string_view ansiPath) {
    // Work on characters: in a double-byte code page the last byte of a path can be 0x5C as the
    // second half of a character, which is no backslash.
    std::wstring key = AnsiToWide(ansiPath);
    if (!key.empty() && key.back() == L'\\')
        key.pop_back();
    return LowerCase(key);
}

std::vector<SpecialFolderMap::Entry>::const_iterator SpecialFolderMap::LowerBound(
    const std::wstring& key) const {
    size_t low = 0;
    size_t high = entries_.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (entries_[middle].key < key) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return entries_.begin() + static_cast<std::ptrdiff_t>(low);
}

bool SpecialFolderMap::Add(std::string_view ansiPath, int csidl) {
    std::wstring key = KeyOf(ansiPath);
    if (key.empty())
        return false;
    const auto position = LowerBound(key);
    if (position != entries_.end() && position->key == key)
        return false;
    entries_.insert(position, Entry{std::move(key), csidl});
    return true;
}

std::optional<int> SpecialFolderMap::Find(std::string_view ansiPath) const {
    const std::wstring key = KeyOf(ansiPath);
    if (key.empty())
        return std::nullopt;
    const auto position = LowerBound(key);
    if (position == entries_.end() || position->key != key)
        return std::nullopt;
    return position->csidl;
}

}  // namespace corvalo
