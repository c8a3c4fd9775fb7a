#pragma once

// The system icon list: an image list that holds no images of its own but is attached to the
// shell's system image list, where the shell keeps the icon of every file type, folder and drive.
// GetFileIconIndex finds the position of a file name's icon in that list, also for a file that
// does not exist.

#include "base/scoped_win.h"
#include "picture/bitmap.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace corvalo {

enum class SysIconSet {
    System,   // the shell's system image list
    Toolbar,  // the common controls' standard toolbar images (standard, view and history)
};

// Small and Large are the shell's 16- and 32-pixel icons at 96 dpi; ExtraLarge its 48-pixel ones
// (Large where the system has none), for icons drawn larger than 32 pixels.
enum class SysIconSize { Small, Large, ExtraLarge };

class SysImageList {
  public:
    // Attaches at its first use: asking the shell for its list costs tens of milliseconds, which
    // a start-up with no launcher item need not pay. The shell owns the system list: it is never
    // destroyed here.
    explicit SysImageList(SysIconSize size = SysIconSize::Large,
                          SysIconSet set = SysIconSet::System);
    SysImageList(const SysImageList&) = delete;
    SysImageList& operator=(const SysImageList&) = delete;

    HIMAGELIST Handle() const;
    // The image size is always that of the attached list (32 x 32 for large system icons).
    int ImageWidth() const;
    int ImageHeight() const;
    int Count() const;

    SysIconSet IconSet() const { return set_; }
    SysIconSize IconSize() const { return size_; }
    // A different value attaches again; the same value changes nothing.
    void SetIconSet(SysIconSet set);
    void SetIconSize(SysIconSize size);

    // Makes `target` a 24-bit bitmap of the list's image size, white, with image `index` drawn
    // over it at the top-left corner with the image's own transparency. The target's transparency
    // settings are kept. Returns false and leaves `target` alone when `index` is not in
    // 0..Count()-1 or the image cannot be drawn.
    bool DrawInto(int index, Bitmap& target) const;

    // GetFileIconIndex with this list's icon size.
    int FileIconIndex(const std::string& ansiFileName, bool openIcon) const;

  private:
    void Attach() const;

    SysIconSet set_;
    SysIconSize size_;
    mutable bool attached_ = false;
    mutable HIMAGELIST list_ = nullptr;  // not owned: the shell's list, or the toolbar's
    mutable ScopedWindow toolbar_;       // the hidden toolbar whose list the Toolbar set shows
};

// The position of a file name's icon in the shell's system image list. The name is 8-bit text in
// the ANSI code page (the caller converts); it need not exist: a missing file gets the icon of its
// extension. `openIcon` asks for the "open" variant (an open folder). Never negative; 0, the
// list's first image, when nothing better is found. Reports no failure and leaves no file behind.
//
// In order: a special folder's path (the Windows folder, the desktop ...) gets that folder's own
// icon; a name the shell can parse gets the icon the shell shows for it; a missing file with an
// extension gets the icon registered for the extension, or else that of a temporary file with
// that extension, created and deleted again.
int GetFileIconIndex(const std::string& ansiFileName, bool openIcon,
                     SysIconSize size = SysIconSize::Large);

// The shell's own icon for a file of a type it does not know: what a menu entry shows while its
// own icon is still being looked up. Asked by attributes alone, so no disk is touched.
int UnknownFileTypeIconIndex(SysIconSize size = SysIconSize::Large);

}  // namespace corvalo
