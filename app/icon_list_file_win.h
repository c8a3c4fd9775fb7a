#pragma once

// The icon-list file: the user's icon list (32 x 32 images with masks) in the file format of the
// list's stream, read at start-up and written at every close.

#include "base/scoped_win.h"

#include <cstdint>
#include <span>
#include <vector>

namespace corvalo {

// The empty icon list a main window starts with: 32 x 32 images, colour with masks.
ScopedImageList CreateIconList();

// Throws corvalo::Error on any damage; the caller then keeps its own list.
ScopedImageList IconListFromFile(std::span<const uint8_t> file);

// The whole file for the list; the image data is left out when the list has no image.
std::vector<uint8_t> IconListFileOf(HIMAGELIST list);

}  // namespace corvalo
