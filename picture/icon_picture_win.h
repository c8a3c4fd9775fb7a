#pragma once

// An icon file read as an icon, for the item editor's icon preview, which keeps icons as icons so
// that they can go into the icon list with their own mask.

#include "base/scoped_win.h"

#include <windows.h>

#include <cstdint>
#include <span>

namespace corvalo {

struct IconPicture {
    ScopedIcon icon;
    int width = 0;
    int height = 0;
};

// One image of the file's directory: with no wanted size the largest, otherwise the one nearest to
// wanted x wanted pixels, of two equally near the larger (shrinking it keeps its detail); among
// images of one size the deepest colour. Throws "Icon image is not valid" for anything that is
// not a readable icon file.
IconPicture ReadIconFile(std::span<const uint8_t> file, int wantedSize = 0);

}  // namespace corvalo
