#pragma once

// The files beside the executable, seen from the program: what start-up reads from them and what
// the final save writes back, with the rules that keep the user's files safe when something fails.
// The window hands over and takes back plain values; nothing here needs a window.
//
// Three promises hold under every fault:
// - the user can always close the program: a save that fails keeps the window open once, so the
//   user can fix the cause, and lets it close at the next attempt;
// - a file the program could not read at start-up is never destroyed: it is left as it is unless
//   the user has changed its data since, and then its old bytes are kept beside it first;
// - nothing the user stored is deleted before it is safe elsewhere.

#include "base/settings_store_win.h"
#include "base/scoped_win.h"
#include "launcher/hotkey_text.h"
#include "launcher/launcher_list.h"
#include "launcher/menu_font.h"
#include "picture/bitmap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvalo {

// What the settings file keeps of the window.
struct WindowSettings {
    int left = 0;
    int top = 0;
    MenuFont font;
    uint8_t alpha = 200;
    // The hotkey for the menu: written only when set; the key goes once the user has chosen none.
    Hotkey hotkey;
    bool hotkeyCleared = false;
};

// The ADMIN key that holds the menu's hotkey, as text ("Ctrl+Alt+K").
inline constexpr wchar_t kHotkeyKey[] = L"Hotkey";

// The lowest alpha value the window starts with: below it the picture can hardly be seen, and a
// value only a hand-edited file can hold must not make the program invisible.
inline constexpr uint8_t kLowestStartAlpha = 41;

class DataFiles {
  public:
    // exePath is the executable's UTF-16 path; ansiExePath the same as the process's 8-bit
    // argument 0 gives it (the icon-list and picture files are named through it).
    DataFiles(const std::wstring& exePath, const std::string& ansiExePath);
    DataFiles(const DataFiles&) = delete;
    DataFiles& operator=(const DataFiles&) = delete;

    const std::wstring& SettingsPath() const { return settingsPath_; }
    const std::wstring& LegacyListPath() const { return legacyListPath_; }
    const std::wstring& PicturePath() const { return picturePath_; }
    const std::string& IconListPath() const { return iconListPath_; }
    const std::wstring& RunValueName() const { return runValueName_; }

    // Start-up, in its order. Each step that can fail throws its message; the steps after it go on
    // where they do not need what failed.
    // The icon-list file's bytes; made into the list at its first use (IconList). Never throws.
    void ReadIconListFile();
    // Opens the settings store (creating the file) and reads the window's settings, with `window`
    // as the defaults, and the launcher items, sorted. Throws "Cannot create file "%s". %s".
    void LoadSettings(WindowSettings& window, LauncherList& items);
    // When the settings file holds no item and the older list file exists: its items, those the
    // settings file can give back unchanged, replace the launcher list. Throws "Cannot open
    // file "%s". %s". Needs the store; does nothing without it.
    void MigrateLegacyList(LauncherList& items);
    // The picture file's picture when the file exists; throws the bitmap reader's error.
    std::optional<Bitmap> ReadPictureFile();

    // Null when the settings file could not be created, and between a final save and the end.
    SettingsStore* Settings() { return settings_.get(); }
    // The icon list (32 x 32 images with masks): the one read from the file, or an empty one.
    HIMAGELIST IconList();
    // The user has set a picture since start-up.
    void NotePictureChanged() { pictureChanged_ = true; }

    // The final save of a close. Every file is tried on its own, whatever another one met.
    // Returns true when the window may close. The first close that meets a failure throws one
    // message naming every file that failed, each with the system's reason, and keeps the store
    // open, so the window stays usable and the user can fix the cause and close again; a failure
    // at a later attempt returns true with that message in `lastError`. Any exception counts, so
    // the second close always ends.
    bool SaveForClose(const WindowSettings& window, const LauncherList& items,
                      const Bitmap* picture);
    std::wstring lastError;
    // The final save at log-off or shut-down: saves whatever can be saved, once, never throws and
    // never waits for the user; what fails is traced.
    void SaveForSessionEnd(const WindowSettings& window, const LauncherList& items,
                           const Bitmap* picture);
    // The session goes on after all: the store opens again for the rest of the run.
    void ReopenSettings();

  private:
    enum class FileState { Missing, TakenIn, NotTakenIn };

    void WriteSettings(const WindowSettings& window, const LauncherList& items);
    void RetireLegacyList();
    void WritePicture(const Bitmap* picture);
    void WriteIconList();
    void KeepCopyOfUnreadFile(const std::string& ansiPath);

    std::wstring settingsPath_;
    std::wstring legacyListPath_;
    std::wstring picturePath_;
    std::string iconListPath_;
    std::wstring runValueName_;

    std::unique_ptr<SettingsStore> settings_;
    bool settingsOpened_ = false;  // start-up opened the store; a save may open it again
    ScopedImageList iconList_;
    bool iconListRead_ = false;  // start-up has reached the icon list
    std::optional<std::vector<uint8_t>> iconListFile_;
    FileState iconListState_ = FileState::Missing;
    FileState pictureState_ = FileState::Missing;
    bool pictureChanged_ = false;
    // The older list file may go at the close: its items are in the settings file, or it was
    // never read because the settings file held items already. It goes only once the backup file
    // holds its bytes.
    bool legacyListDue_ = false;
    bool saveFailedBefore_ = false;
};

}  // namespace corvalo
