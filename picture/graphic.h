#pragma once

#include "picture/bitmap.h"

#include <vector>

namespace corvalo {

// A decoded picture of any kind other than a plain bitmap (metafile, icon, a decoder's own image
// object ...). The window layer and the picture loaders implement it.
class Graphic {
  public:
    virtual ~Graphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Transparent() const = 0;
    virtual bool IsIcon() const = 0;
    virtual std::vector<Color> Palette() const { return {}; }
    // Draws the picture with its top-left corner at (x, y); its transparent parts leave the
    // target's pixels as they are.
    virtual void Draw(Bitmap& target, int x, int y) const = 0;
};

}  // namespace corvalo
