#include "launcher/launcher_items_win.h"

#include "launcher/item_text_rules.h"

#include "base/settings_integer.h"
#include "base/error.h"
#include "base/scoped_win.h"
#include "base/text.h"
#include "picture/dib_win.h"

namespace corvalo {
namespace {

const std::wstring kMenu = L"MENU";
const std::wstring kIcons = L"ICONS";

}  // namespace

void StoreItem(SettingsStore& settings, const std::wstring& caption, const std::wstring& target) {
    settings.WriteString(kMenu, caption, ProfileValueFor(target));
}

void UnstoreItem(SettingsStore& settings, const std::wstring& caption) {
    settings.DeleteKey(kIcons, caption);
    settings.DeleteKey(kMenu, caption);
}

int IconIndexOf(const SettingsStore& settings, const std::wstring& caption) {
    return settings.ReadInteger(kIcons, caption, -1);
}

void SetIconIndex(SettingsStore& settings, const std::wstring& caption, int index) {
    if (index >= 0) {
        settings.WriteInteger(kIcons, caption, index);
    } else {
        settings.DeleteKey(kIcons, caption);
    }
}

namespace {

// The profile functions compare keys without regard to case. Letters beyond ASCII fold differently
// on different systems, so only all-ASCII captions are answered from the snapshot; the rest are
// read from the file as before.
bool IsAscii(const std::wstring& text) {
    for (wchar_t ch : text) {
        if (static_cast<uint32_t>(ch) > 0x7F)
            return false;
    }
    return true;
}

std::wstring AsciiKeyOf(std::wstring text) {
    for (wchar_t& ch : text) {
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
    }
    return text;
}

}  // namespace

IconMapSnapshot::IconMapSnapshot(const SettingsStore& settings) : settings_(settings) {
    for (const std::wstring& line : settings.ReadSectionLines(kIcons)) {
        const size_t separator = line.find(L'=');
        const std::wstring key = line.substr(0, separator);
        if (!IsAscii(key))
            continue;
        const std::wstring value =
            separator == std::wstring::npos ? L"" : line.substr(separator + 1);
        indexes_.emplace(AsciiKeyOf(key), ParseSettingsInteger(value).value_or(-1));
    }
}

int IconMapSnapshot::IconIndexOf(const std::wstring& caption) const {
    if (!IsAscii(caption))
        return corvalo::IconIndexOf(settings_, caption);
    const auto found = indexes_.find(AsciiKeyOf(caption));
    return found == indexes_.end() ? -1 : found->second;
}

int IconCount(HIMAGELIST list) {
    return list ? ImageList_GetImageCount(list) : 0;
}

void AddIcon(HIMAGELIST list, HICON icon, int width, int height) {
    if (!icon)
        return;
    if (width < 32 || height < 32)
        throw Error(L"Invalid image size");
    if (!list || ImageList_AddIcon(list, icon) < 0)
        throw Error(L"Failed to add an icon to the icon list");
}

bool CopyIcon(HIMAGELIST list, int index, Bitmap& bitmap) {
    return DrawListImage(list, index, bitmap);
}

}  // namespace corvalo
