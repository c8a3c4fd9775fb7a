#pragma once

// The desktop picture: the picture that fills the main window and turns it into a frameless,
// see-through, movable picture of exactly the picture's size. It paints into its owner window and
// acts on that window directly (border, size, colour key, region, move loop).

#include "base/user_messages_win.h"
#include "picture/bitmap.h"
#include "picture/graphic.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

namespace corvalo {

// What the picture needs from the window it fills.
class PictureOwner {
  public:
    virtual ~PictureOwner() = default;
    virtual HWND Window() const = 0;
    // Sizeable frame (false) or none (true).
    virtual void SetBorderless(bool borderless) = 0;
    // Auto-size: the window's client area takes exactly this size.
    virtual void FitClientArea(int width, int height) = 0;
    virtual void SetBackgroundColor(Color color) = 0;
    virtual void SetColorKey(Color key, bool enabled) = 0;
    virtual UserMessages& Messages() = 0;
};

enum class RgnShape : uint8_t { Ellipse = 0, Rectangle = 1 };

class DogImage {
  public:
    DogImage(PictureOwner& owner, int width, int height);
    DogImage(const DogImage&) = delete;
    DogImage& operator=(const DogImage&) = delete;

    // The picture. Bitmaps are copied in; every change runs HandlePictureChange. A picture of no
    // width or height throws "Bitmap image is not valid" and changes nothing.
    bool HasPicture() const { return bitmap_.has_value() || graphic_ != nullptr; }
    const Bitmap* PictureBitmap() const { return bitmap_ ? &*bitmap_ : nullptr; }
    void SetPicture(const Bitmap& bitmap);
    void SetPicture(Bitmap&& bitmap);  // takes the pixels over instead of copying them
    void SetPicture(std::unique_ptr<Graphic> graphic);
    // A picture the user brings (a picture file, a drop, a paste). It becomes the master picture
    // as SetPicture makes it; when it does not fit the work area (of the monitor the window is on;
    // empty when none is known) it is shown at once at the largest size of its proportions that
    // fits (FittedBounds), made from the master picture as a resize step makes its picture, so
    // nothing of it is lost and steps grow it back towards its full size. A picture that fits is
    // shown at its own size.
    void SetNewPicture(Bitmap&& bitmap, const RECT& workArea);
    void ClearPicture();
    const Bitmap& MasterPicture() const { return master_; }

    // Grows or shrinks the displayed picture's larger side by step pixels, always resampling from
    // the master picture so that repeated steps lose no quality.
    void ResizeBy(int step);

    bool Moveable() const { return moveable_; }
    void SetMoveable(bool moveable) { moveable_ = moveable; }
    bool Transparent() const { return transparent_; }
    // Takes effect at the next picture change.
    void SetTransparent(bool transparent) { transparent_ = transparent; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    RgnShape Shape() const { return shape_; }
    void SetShape(RgnShape shape);

    // The picture's size at 96 dpi: what resize steps, their limits and the picture file use.
    int Width() const { return width_; }
    int Height() const { return height_; }

    // The DPI of the monitor the window is on. At 96 dpi the picture is shown as it is; at D dpi
    // at round(size x D / 96), made from the master picture (with the key colour kept exact where
    // the picture is see-through), and the window takes that size.
    int Dpi() const { return dpi_; }
    void SetDpi(int dpi);
    // The size the window shows the picture at, in physical pixels.
    int ShownWidth() const;
    int ShownHeight() const;
    // What the window shows: the picture itself at 96 dpi.
    const Bitmap* ShownBitmap() const { return shown_ ? &*shown_ : PictureBitmap(); }

    // Window events the owner passes on.
    void Paint(HDC dc, Color background) const;
    // A button press on the picture; returns true when it moved the window.
    bool OnButtonDown(bool leftButton);
    bool OnSetCursor();
    void OnMouseMove();
    void OnMouseLeave();
    void OnOwnerShown();

    std::function<void()> onPicChange;
    std::function<void()> onShow;
    std::function<void()> onMouseEnter;
    std::function<void()> onMouseLeave;

    // True only while a resize step runs (shared by every picture, as the step's picture changes
    // must not replace the master picture).
    static bool Resizing() { return resizing_; }

  private:
    void HandlePictureChange();
    // Shows a picture made from the master picture, which stays as it is.
    void ShowResampledMaster(Bitmap&& resampled);
    // Makes the picture as shown at the window's DPI, again after every change of the picture
    // or the DPI; none at 96 dpi, where the picture itself is shown.
    void MakeShownPicture();
    void ApplyShape();

    PictureOwner& owner_;
    std::optional<Bitmap> bitmap_;
    std::unique_ptr<Graphic> graphic_;
    Bitmap master_;
    std::optional<Bitmap> shown_;
    int dpi_ = 96;
    bool moveable_ = false;
    bool transparent_ = false;
    bool enabled_ = true;
    bool pointerInside_ = false;
    bool moving_ = false;
    RgnShape shape_ = RgnShape::Rectangle;
    int width_;
    int height_;

    static bool resizing_;
};

}  // namespace corvalo
