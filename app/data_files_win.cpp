#include "app/data_files_win.h"

#include "app/data_paths.h"
#include "app/icon_list_file_win.h"
#include "app/legacy_list.h"
#include "base/error.h"
#include "base/file_io_win.h"
#include "base/text.h"
#include "base/trace.h"
#include "launcher/item_text_rules.h"
#include "launcher/launcher_items_win.h"
#include "launcher/launcher_line.h"
#include "picture/bmp_format.h"

#include <algorithm>

namespace corvalo {
namespace {

const std::wstring kAdmin = L"ADMIN";
const std::wstring kMenu = L"MENU";

}  // namespace

DataFiles::DataFiles(const std::wstring& exePath, const std::string& ansiExePath)
    : settingsPath_(ChangeFileExt(exePath, L".ini")),
      legacyListPath_(ChangeFileExt(exePath, L".data")),
      picturePath_(ChangeFileExt(exePath, L".bmp")),
      iconListPath_(ChangeFileExt(ansiExePath, ".icons")),
      runValueName_(ExeBaseName(exePath)) {}

void DataFiles::ReadIconListFile() {
    iconListRead_ = true;
    if (!FileExists(iconListPath_))
        return;
    // Not taken in until its bytes have made a list (IconList).
    iconListState_ = FileState::NotTakenIn;
    try {
        iconListFile_ = ReadWholeFile(iconListPath_);
    } catch (...) {
        TraceCurrentException(L"The icon-list file was not read");
    }
}

HIMAGELIST DataFiles::IconList() {
    if (!iconList_ && iconListRead_) {
        ScopedImageList list = CreateIconList();
        if (iconListFile_) {
            // A damaged or foreign file is ignored without a message: the empty list stays, and
            // the file itself stays until the user adds an icon (WriteIconList).
            try {
                list = IconListFromFile(*iconListFile_);
                iconListState_ = FileState::TakenIn;
            } catch (...) {
                TraceCurrentException(L"The icon-list file was not taken in");
            }
            iconListFile_.reset();
        }
        iconList_ = std::move(list);
    }
    return iconList_.Get();
}

void DataFiles::LoadSettings(WindowSettings& window, LauncherList& items) {
    settings_ = std::make_unique<SettingsStore>(settingsPath_);
    settingsOpened_ = true;
    window.left = settings_->ReadInteger(kAdmin, L"FormLeft", window.left);
    window.top = settings_->ReadInteger(kAdmin, L"FormTop", window.top);
    MenuFont& font = window.font;
    // The face name goes through the 8-bit code page, as fonts are chosen by 8-bit names.
    font.name = AnsiToWide(WideToAnsi(settings_->ReadString(kAdmin, L"FontName", font.name)));
    font.charSet = static_cast<uint8_t>(settings_->ReadInteger(kAdmin, L"CharSet", font.charSet));
    font.color = settings_->ReadInteger(kAdmin, L"Color", font.color);
    font.size = settings_->ReadInteger(kAdmin, L"Size", font.size);
    font.style = static_cast<uint8_t>(settings_->ReadInteger(kAdmin, L"Style", font.style));
    // A hand-edited value beyond a byte means the most opaque, not what is left of it.
    const int32_t alpha = settings_->ReadInteger(kAdmin, L"Alpha", window.alpha);
    window.alpha = static_cast<uint8_t>(std::clamp<int32_t>(alpha, kLowestStartAlpha, 255));
    // A hand-edited value that names no hotkey is no hotkey, never a reason not to start; it
    // stays in the file as the user wrote it.
    const std::wstring hotkey = settings_->ReadString(kAdmin, kHotkeyKey, L"");
    if (const std::optional<Hotkey> parsed = ParseHotkey(hotkey)) {
        window.hotkey = *parsed;
    } else if (!hotkey.empty()) {
        Trace(L"The settings file's hotkey is not one, so there is none: " + hotkey);
    }

    items.SetLines(settings_->ReadSectionValues(kMenu));
    items.SortItems();
    // With items in the settings file the older list file is not read, and it goes at the close
    // (its bytes kept in the backup file first). The section exists exactly when it gave items.
    legacyListDue_ = !items.Lines().empty();
}

void DataFiles::MigrateLegacyList(LauncherList& items) {
    if (!settings_ || legacyListDue_ || !FileExists(legacyListPath_))
        return;
    const std::vector<uint8_t> bytes = ReadWholeFile(legacyListPath_);
    // The backup is a byte-for-byte copy, never in place of an older backup of other bytes; a
    // failed copy does not stop the migration, and the older file then stays until a backup
    // holds it (RetireLegacyList).
    try {
        KeepBackup(ChangeFileExt(legacyListPath_, L".bak"), bytes);
    } catch (...) {
        TraceCurrentException(L"The older list file was not copied to its backup");
    }
    // Only what the settings file gives back unchanged becomes an item: a line without "=", or
    // one whose caption would read back as a section or a remark, would come back as something
    // else at every start. The backup keeps such lines as they were.
    std::vector<std::wstring> lines = DecodeLegacyList(bytes);
    std::erase_if(lines, [](const std::wstring& line) {
        if (IsStorableLine(line))
            return false;
        Trace(L"A line of the older list file cannot be an item: " + line);
        return true;
    });
    items.SetLines(std::move(lines));
    legacyListDue_ = true;
}

std::optional<Bitmap> DataFiles::ReadPictureFile() {
    const std::string path = WideToAnsi(picturePath_);
    if (!FileExists(path))
        return std::nullopt;
    // Until it has become the picture, the file is the user's and no close replaces it.
    pictureState_ = FileState::NotTakenIn;
    Bitmap picture = ReadBmp(ReadWholeFile(path));
    if (picture.Empty())
        throw Error(L"Bitmap image is not valid");
    pictureState_ = FileState::TakenIn;
    return picture;
}

bool DataFiles::SaveForClose(const WindowSettings& window, const LauncherList& items,
                             const Bitmap* picture) {
    lastError.clear();
    // Every file is tried on its own: one that can't be written (read-only, locked, a full disk)
    // costs only itself. Whatever fails is named, each file with the system's reason.
    std::vector<std::wstring> failures;
    const auto attempt = [&](auto&& write) {
        try {
            write();
            return true;
        } catch (...) {
            failures.push_back(CurrentExceptionMessage());
            return false;
        }
    };
    if (attempt([&] { WriteSettings(window, items); })) {
        settings_.reset();
        RetireLegacyList();
    }
    attempt([&] { WritePicture(picture); });
    attempt([&] { WriteIconList(); });
    if (failures.empty())
        return true;

    std::wstring message;
    for (const std::wstring& failure : failures)
        message += (message.empty() ? L"" : L"\n\n") + failure;
    // The first close that meets a failure keeps the window open with its store, so the user can
    // fix the cause and close again; a later one says it again and lets the user go, every file
    // it could write written.
    if (saveFailedBefore_) {
        settings_.reset();
        lastError = message;
        return true;
    }
    saveFailedBefore_ = true;
    ReopenSettings();
    throw Error(message);
}

void DataFiles::SaveForSessionEnd(const WindowSettings& window, const LauncherList& items,
                                  const Bitmap* picture) {
    bool settingsWritten = false;
    try {
        WriteSettings(window, items);
        settingsWritten = true;
    } catch (...) {
        TraceCurrentException(L"The settings were not saved at the end of the session");
    }
    settings_.reset();
    if (settingsWritten)
        RetireLegacyList();
    try {
        WritePicture(picture);
    } catch (...) {
        TraceCurrentException(L"The picture was not saved at the end of the session");
    }
    try {
        WriteIconList();
    } catch (...) {
        TraceCurrentException(L"The icon list was not saved at the end of the session");
    }
}

void DataFiles::ReopenSettings() {
    if (settings_ || !settingsOpened_)
        return;
    try {
        settings_ = std::make_unique<SettingsStore>(settingsPath_);
    } catch (...) {
        TraceCurrentException(L"The settings file did not open again");
    }
}

void DataFiles::WriteSettings(const WindowSettings& window, const LauncherList& items) {
    if (!settings_) {
        if (!settingsOpened_) {
            Trace(L"No settings store: the window's settings and the items are not saved");
            return;
        }
        // Start-up had the store, and an earlier attempt let it go: it opens again, or the
        // failure is this save's.
        settings_ = std::make_unique<SettingsStore>(settingsPath_);
    }
    settings_->WriteInteger(kAdmin, L"FormLeft", window.left);
    settings_->WriteInteger(kAdmin, L"FormTop", window.top);
    settings_->WriteString(kAdmin, L"FontName", window.font.name);
    settings_->WriteInteger(kAdmin, L"CharSet", window.font.charSet);
    settings_->WriteInteger(kAdmin, L"Color", window.font.color);
    settings_->WriteInteger(kAdmin, L"Size", window.font.size);
    settings_->WriteInteger(kAdmin, L"Style", window.font.style);
    settings_->WriteInteger(kAdmin, L"Alpha", window.alpha);
    if (!window.hotkey.Empty()) {
        settings_->WriteString(kAdmin, kHotkeyKey, FormatHotkey(window.hotkey));
    } else if (window.hotkeyCleared) {
        settings_->DeleteKey(kAdmin, kHotkeyKey);
    }
    // Every item comes from the settings file, the editor or the migration, each of which takes
    // only what the file gives back; a line that could not be stored unchanged is never written.
    for (const std::wstring& line : items.Lines()) {
        const LauncherLine item = SplitLauncherLine(line);
        if (item.hasSeparator && !item.caption.empty()) {
            StoreItem(*settings_, item.caption, item.target);
        } else {
            Trace(L"A launcher line without a caption was not saved: " + line);
        }
    }
}

void DataFiles::RetireLegacyList() {
    if (!legacyListDue_ || !FileExists(legacyListPath_))
        return;
    // The older file goes only once the backup file holds its very bytes, so the user's only copy
    // of the lines the settings file could not take is never deleted outright.
    try {
        KeepBackup(ChangeFileExt(legacyListPath_, L".bak"), ReadWholeFile(legacyListPath_));
    } catch (...) {
        TraceCurrentException(L"The older list file stays: no backup holds it");
        return;
    }
    if (!DeleteFileW(legacyListPath_.c_str()))
        Trace(L"The older list file was not deleted: " + SystemErrorText(GetLastError()));
}

void DataFiles::KeepCopyOfUnreadFile(const std::string& ansiPath) {
    if (FileExists(ansiPath))
        KeepBackup(ansiPath + ".bak", ReadWholeFile(ansiPath));
}

void DataFiles::WritePicture(const Bitmap* picture) {
    if (!picture || picture->Empty())
        return;
    const std::string path = WideToAnsi(picturePath_);
    if (pictureState_ == FileState::NotTakenIn) {
        if (!pictureChanged_) {
            Trace(L"The picture file was not taken in at start-up and stays as it is");
            return;
        }
        KeepCopyOfUnreadFile(path);
    }
    ReplaceFileContents(path, WriteBmp(*picture));
    pictureState_ = FileState::TakenIn;
}

void DataFiles::WriteIconList() {
    HIMAGELIST list = IconList();
    if (!list)
        return;
    if (iconListState_ == FileState::NotTakenIn) {
        if (ImageList_GetImageCount(list) == 0) {
            Trace(L"The icon-list file was not taken in at start-up and stays as it is");
            return;
        }
        KeepCopyOfUnreadFile(iconListPath_);
    }
    ReplaceFileContents(iconListPath_, IconListFileOf(list));
    iconListState_ = FileState::TakenIn;
}

}  // namespace corvalo
