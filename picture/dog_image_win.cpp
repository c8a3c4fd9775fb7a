#include "picture/dog_image_win.h"

#include "base/trace.h"
#include "base/error.h"
#include "base/scoped_win.h"
#include "picture/bitmap_helpers.h"
#include "base/dpi_scale.h"
#include "picture/dib_win.h"
#include "picture/keyed_resample.h"
#include "picture/resample.h"

#include <algorithm>

namespace corvalo {

bool DogImage::resizing_ = false;

DogImage::DogImage(PictureOwner& owner, int width, int height)
    : owner_(owner), width_(width), height_(height) {}

void DogImage::SetPicture(const Bitmap& bitmap) {
    SetPicture(Bitmap(bitmap));
}

// A picture of no width or height would shrink the window to nothing, out of the user's reach,
// and be written back at the close: it is refused and the current picture stays.
constexpr wchar_t kNoSizePicture[] = L"Bitmap image is not valid";

void DogImage::SetPicture(Bitmap&& bitmap) {
    if (bitmap.Empty())
        throw Error(kNoSizePicture);
    graphic_.reset();
    bitmap_ = std::move(bitmap);
    HandlePictureChange();
}

void DogImage::SetNewPicture(Bitmap&& bitmap, const RECT& workArea) {
    if (bitmap.Empty())
        throw Error(kNoSizePicture);
    const Size fitted =
        FittedBounds(bitmap.Width(), bitmap.Height(), workArea.right - workArea.left,
                     workArea.bottom - workArea.top);
    if (!enabled_ || (fitted.width == bitmap.Width() && fitted.height == bitmap.Height())) {
        SetPicture(std::move(bitmap));
        return;
    }
    // The window never takes the full size: the shown picture is made before anything changes,
    // from the picture that becomes the master picture (the same pixels and settings).
    Bitmap shown = ResampledCopy(bitmap, fitted.width, fitted.height);
    master_ = std::move(bitmap);
    ShowResampledMaster(std::move(shown));
}

void DogImage::SetPicture(std::unique_ptr<Graphic> graphic) {
    if (!graphic) {
        ClearPicture();
        return;
    }
    if (graphic->Width() <= 0 || graphic->Height() <= 0)
        throw Error(kNoSizePicture);
    bitmap_.reset();
    graphic_ = std::move(graphic);
    HandlePictureChange();
}

void DogImage::ClearPicture() {
    bitmap_.reset();
    graphic_.reset();
    HandlePictureChange();
}

void DogImage::HandlePictureChange() {
    if (!HasPicture()) {
        owner_.SetBorderless(false);
        return;
    }
    if (!enabled_)
        return;

    owner_.SetBorderless(true);
    width_ = graphic_ ? graphic_->Width() : bitmap_->Width();
    height_ = graphic_ ? graphic_->Height() : bitmap_->Height();
    owner_.FitClientArea(ShownWidth(), ShownHeight());

    try {
        if (graphic_) {
            // Anything but a bitmap is drawn onto a bitmap once; assigning that bitmap is itself a
            // picture change and runs this handling again before this run goes on.
            std::unique_ptr<Graphic> drawn = std::move(graphic_);
            std::optional<Bitmap> converted = GraphicToBitmap(drawn.get(), true);
            if (!converted)
                throw Error(L"Not a good graphic!");
            SetPicture(*converted);
        }
        if (!resizing_)
            master_ = *bitmap_;
        const Color background = transparent_ ? bitmap_->TransparentColor()
                                              : static_cast<Color>(GetSysColor(COLOR_BTNFACE));
        MakeShownPicture();
        owner_.SetBackgroundColor(background);
        owner_.SetColorKey(background, transparent_);
    } catch (...) {
        TraceCurrentException(L"A picture was not converted to a bitmap");
        owner_.Messages().ShowNotice(owner_.Window(), L"Not a good graphic!");
    }

    if (onPicChange)
        onPicChange();
}

void DogImage::ResizeBy(int step) {
    if (!bitmap_ || bitmap_->Empty())
        return;
    const Size target = ScaledBounds(bitmap_->Width(), bitmap_->Height(), step);
    // The master picture copied and resampled to the target, in one pass (ResampledCopy gives the
    // same pixels as copying it first).
    ShowResampledMaster(ResampledCopy(master_, target.width, target.height));
}

void DogImage::ShowResampledMaster(Bitmap&& resampled) {
    struct ResizingFlag {
        ResizingFlag() { resizing_ = true; }
        ~ResizingFlag() { resizing_ = false; }
    } flag;
    SetPicture(std::move(resampled));
    HandlePictureChange();
}

int DogImage::ShownWidth() const {
    return std::max(1, DpiScaled(width_, dpi_));
}

int DogImage::ShownHeight() const {
    return std::max(1, DpiScaled(height_, dpi_));
}

void DogImage::SetDpi(int dpi) {
    dpi = dpi > 0 ? dpi : kBaseDpi;
    if (dpi == dpi_)
        return;
    dpi_ = dpi;
    if (!bitmap_ || !enabled_)
        return;
    owner_.FitClientArea(ShownWidth(), ShownHeight());
    MakeShownPicture();
    if (shape_ != RgnShape::Rectangle)
        ApplyShape();
    InvalidateRect(owner_.Window(), nullptr, FALSE);
}

void DogImage::MakeShownPicture() {
    shown_.reset();
    if (!bitmap_ || dpi_ == kBaseDpi)
        return;
    // From the master picture, so a picture shown larger than its 96-dpi size keeps the detail
    // the master has; the see-through pixels' colour stays exact, or the window would show a rim
    // of it around every hole.
    const Bitmap& source = master_.Empty() ? *bitmap_ : master_;
    shown_ = transparent_ ? KeyedResampledCopy(source, ShownWidth(), ShownHeight(),
                                               bitmap_->TransparentColor())
                          : ResampledCopy(source, ShownWidth(), ShownHeight());
}

void DogImage::SetShape(RgnShape shape) {
    if (shape == shape_)
        return;
    shape_ = shape;
    ApplyShape();
}

void DogImage::ApplyShape() {
    HWND window = owner_.Window();
    SetWindowRgn(window, nullptr, TRUE);
    const int width = ShownWidth(), height = ShownHeight();
    ScopedRegion region(shape_ == RgnShape::Ellipse ? CreateEllipticRgn(0, 0, width, height)
                                                    : CreateRectRgn(0, 0, width, height));
    // The window owns the region once it is set.
    if (region && SetWindowRgn(window, region.Get(), TRUE))
        region.Release();
}

void DogImage::Paint(HDC dc, Color background) const {
    RECT client{};
    GetClientRect(owner_.Window(), &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;

    // A picture that covers the whole window goes straight on screen in one operation.
    const Bitmap* shown = ShownBitmap();
    if (shown && shown->Width() == width && shown->Height() == height) {
        DrawBitmapToDc(dc, *shown, 0, 0);
        return;
    }
    // Otherwise the background and the picture are drawn off-screen and copied in one go, so a
    // resize or recolouring never flickers.
    ScopedMemoryDc memory(CreateCompatibleDC(dc));
    ScopedBitmapHandle canvas(CreateCompatibleBitmap(dc, width, height));
    if (!memory || !canvas)
        return;
    ScopedSelectObject selected(memory.Get(), canvas.Get());
    ScopedBrush brush(CreateSolidBrush(background));
    FillRect(memory.Get(), &client, brush.Get());
    if (shown && !shown->Empty()) {
        // Centred when the window is not (yet) of the picture's size.
        const int x = (width - shown->Width()) / 2;
        const int y = (height - shown->Height()) / 2;
        DrawBitmapToDc(memory.Get(), *shown, std::max(0, x), std::max(0, y));
    }
    BitBlt(dc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

bool DogImage::OnButtonDown(bool leftButton) {
    if (!moveable_ || !leftButton)
        return false;
    HCURSOR saved = GetCursor();
    moving_ = true;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    ReleaseCapture();
    // The system's own move loop: it follows the mouse and returns when the button is released.
    SendMessageW(owner_.Window(), WM_SYSCOMMAND, 0xF012, 0);
    moving_ = false;
    SetCursor(saved);
    return true;
}

bool DogImage::OnSetCursor() {
    if (!moving_)
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void DogImage::OnMouseMove() {
    if (pointerInside_)
        return;
    pointerInside_ = true;
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, owner_.Window(), 0};
    TrackMouseEvent(&track);
    if (onMouseEnter)
        onMouseEnter();
}

void DogImage::OnMouseLeave() {
    pointerInside_ = false;
    if (onMouseLeave)
        onMouseLeave();
}

void DogImage::OnOwnerShown() {
    if (onShow)
        onShow();
}

}  // namespace corvalo
