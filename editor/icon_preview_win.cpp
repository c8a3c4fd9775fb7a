#include "editor/icon_preview_win.h"

#include "base/dpi_scale.h"
#include "base/error.h"
#include "base/scoped_win.h"
#include "base/trace.h"
#include "picture/dib_win.h"
#include "picture/resample.h"

#include <algorithm>
#include <string>

namespace corvalo {
namespace {

constexpr wchar_t kPreviewClass[] = L"CorvaloIconPreview";

// A picture's size brought within an area: kept when it fits, otherwise scaled down until its
// limiting side fills the area, the other side in proportion (to the nearest pixel, at least one).
SIZE FitWithin(int width, int height, SIZE area) {
    if (width <= area.cx && height <= area.cy)
        return SIZE{width, height};
    const long long w = width, h = height;
    if (w * area.cy >= h * area.cx)
        return SIZE{area.cx, static_cast<LONG>(std::max(1LL, (h * area.cx + w / 2) / w))};
    return SIZE{static_cast<LONG>(std::max(1LL, (w * area.cy + h / 2) / h)), area.cy};
}

}  // namespace

IconPreview::IconPreview(HWND parent, const RECT& areaAt96) : areaAt96_(areaAt96) {
    Create({kPreviewClass, L"the icon preview"}, 0, L"", WS_CHILD | WS_VISIBLE,
           {0, 0, 0, 0, parent});
}

void IconPreview::SetDpi(int dpi) {
    dpi_ = dpi;
    const RECT& at = areaAt96_;
    area_ = SIZE{DpiScaled(at.right - at.left, dpi), DpiScaled(at.bottom - at.top, dpi)};
    SetWindowPos(Handle(), nullptr, DpiScaled(at.left, dpi), DpiScaled(at.top, dpi), area_.cx,
                 area_.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    FitToPicture();
}

void IconPreview::SetBackground(COLORREF color) {
    background_ = color;
    InvalidateRect(Handle(), nullptr, FALSE);
}

SIZE IconPreview::ShownSize(int width, int height, SIZE within) const {
    return FitWithin(DpiScaled(width, dpi_), DpiScaled(height, dpi_), within);
}

void IconPreview::SetBitmap(Bitmap bitmap) {
    picture_ = std::move(bitmap);
    FitToPicture();
}

void IconPreview::SetIcon(IconPicture icon) {
    picture_ = std::move(icon);
    FitToPicture();
}

void IconPreview::Clear() {
    picture_ = std::monostate();
    InvalidateRect(Handle(), nullptr, FALSE);
}

bool IconPreview::ShowsNothing() const {
    if (const Bitmap* bitmap = PictureBitmap())
        return bitmap->Empty();
    return std::holds_alternative<std::monostate>(picture_);
}

void IconPreview::FitToPicture() {
    // The control takes its picture's size; an empty picture leaves the size as it was.
    int width = 0, height = 0;
    if (const Bitmap* bitmap = PictureBitmap()) {
        width = bitmap->Width();
        height = bitmap->Height();
    } else if (const IconPicture* icon = PictureIcon()) {
        width = icon->width;
        height = icon->height;
    }
    if (width > 0 && height > 0) {
        const SIZE size = ShownSize(width, height, area_);
        SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(Handle(), nullptr, FALSE);
}

void IconPreview::Paint(HDC dc) {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    // Drawn off-screen and copied once, so a change of the picture never flickers.
    ScopedMemoryDc memory(CreateCompatibleDC(dc));
    ScopedBitmapHandle surface(CreateCompatibleBitmap(dc, width, height));
    if (!memory || !surface)
        return;
    ScopedSelectObject select(memory.Get(), surface.Get());
    ScopedBrush background(CreateSolidBrush(background_));
    FillRect(memory.Get(), &client, background.Get());
    // Whatever the control's size, the picture is drawn inside it, centred.
    if (const Bitmap* bitmap = PictureBitmap(); bitmap && !bitmap->Empty()) {
        // The bitmap's own background colour (its bottom-left pixel) lets the window show through.
        Bitmap canvas =
            NewSizedBitmap(bitmap->Width(), bitmap->Height(), static_cast<Color>(background_));
        Bitmap seeThrough = *bitmap;
        seeThrough.SetTransparent(true);
        DrawBitmap(canvas, seeThrough, 0, 0);
        const SIZE shown = ShownSize(canvas.Width(), canvas.Height(), SIZE{width, height});
        if (shown.cx != canvas.Width() || shown.cy != canvas.Height())
            canvas = ResampledCopy(canvas, shown.cx, shown.cy);
        DrawBitmapToDc(memory.Get(), canvas, (width - shown.cx) / 2, (height - shown.cy) / 2);
    } else if (const IconPicture* icon = PictureIcon(); icon && icon->icon) {
        const SIZE shown = ShownSize(icon->width, icon->height, SIZE{width, height});
        DrawIconEx(memory.Get(), (width - shown.cx) / 2, (height - shown.cy) / 2, icon->icon.Get(),
                   shown.cx, shown.cy, 0, nullptr, DI_NORMAL);
    }
    BitBlt(dc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

LRESULT IconPreview::OnMessage(const WindowMessage& message) {
    static constexpr MessageHandler<IconPreview> kHandlers[] = {
        {WM_PAINT, &IconPreview::OnPaint},
        {WM_ERASEBKGND, &IconPreview::OnEraseBackground},
        {WM_NCHITTEST, &IconPreview::OnHitTest},
    };
    return Dispatch(*this, kHandlers, message);
}

LRESULT IconPreview::OnPaint(const WindowMessage&) {
    ScopedPaint paint(Handle());
    try {
        Paint(paint.Dc());
    } catch (...) {
        // A blank preview is no reason to stop, nor to show an error box at every paint.
        TraceCurrentException(L"The icon preview was not painted");
    }
    return 0;
}

LRESULT IconPreview::OnEraseBackground(const WindowMessage&) {
    return 1;  // the paint covers every pixel
}

LRESULT IconPreview::OnHitTest(const WindowMessage&) {
    return HTTRANSPARENT;  // clicks and drops belong to the editor
}

}  // namespace corvalo
