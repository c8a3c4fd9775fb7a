#include "launcher/launcher_items_win.h"

#include "base/scoped_win.h"
#include "base/text.h"
#include "picture/dib_win.h"

namespace corvalo {
namespace {

const std::wstring kMenu = L"MENU";
const std::wstring kIcons = L"ICONS";

}  // namespace

void StoreItem(SettingsStore& settings, const std::wstring& caption, const std::wstring& target) {
    settings.WriteString(kMenu, caption, target);
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

int IconCount(HIMAGELIST list) {
    return list ? ImageList_GetImageCount(list) : 0;
}

bool CopyIcon(HIMAGELIST list, int index, Bitmap& bitmap) {
    return DrawListImage(list, index, bitmap);
}

void ResolveItemIcon(const SettingsStore& settings, const LauncherList& items,
                     const ItemIconSources& sources, const std::wstring& caption, Bitmap& bitmap) {
    bitmap = Bitmap();
    const int assigned = IconIndexOf(settings, caption);
    if (assigned >= 0) {
        CopyIcon(sources.iconList, assigned, bitmap);
        return;
    }
    if (!sources.systemIconIndex)
        return;
    const int systemIndex = sources.systemIconIndex(WideToAnsi(items.TargetOf(caption)));
    CopyIcon(sources.systemList, systemIndex, bitmap);
}

}  // namespace corvalo
