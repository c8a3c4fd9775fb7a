#pragma once

// The item editor's icon preview: shows either a bitmap (an image drawn from one of the icon
// lists) or an icon read from a file, with its see-through parts showing the window behind. The
// control takes the size of its picture, but never more than the area it was made with: a larger
// picture is scaled down proportionally to fit, so it cannot cover the editor's fields and
// buttons. The area and a picture's size are lengths at 96 dpi, shown at the editor's DPI.

#include "base/window_win.h"
#include "picture/bitmap.h"
#include "picture/icon_picture_win.h"

#include <windows.h>

#include <variant>

namespace corvalo {

class IconPreview final : public ProgramWindow {
  public:
    // Placed by SetDpi.
    IconPreview(HWND parent, const RECT& areaAt96);

    HWND Window() const { return Handle(); }

    // The picture becomes the bitmap; an empty bitmap shows nothing.
    void SetBitmap(Bitmap bitmap);
    void SetIcon(IconPicture icon);
    // Drops the picture; the control keeps its size.
    void Clear();
    // Places the control and shows its picture for `dpi`.
    void SetDpi(int dpi);
    // The editor's background, which shows around and through the picture.
    void SetBackground(COLORREF color);

    bool ShowsNothing() const;
    const Bitmap* PictureBitmap() const { return std::get_if<Bitmap>(&picture_); }
    const IconPicture* PictureIcon() const { return std::get_if<IconPicture>(&picture_); }

  private:
    LRESULT OnMessage(const WindowMessage& message) override;
    LRESULT OnPaint(const WindowMessage& message);
    LRESULT OnEraseBackground(const WindowMessage& message);
    LRESULT OnHitTest(const WindowMessage& message);
    void Paint(HDC dc);
    void FitToPicture();

    // The picture's size at the DPI, kept within the area there.
    SIZE ShownSize(int width, int height, SIZE within) const;

    RECT areaAt96_{};
    SIZE area_{};
    int dpi_ = 96;
    COLORREF background_ = GetSysColor(COLOR_BTNFACE);
    std::variant<std::monostate, Bitmap, IconPicture> picture_;
};

}  // namespace corvalo
