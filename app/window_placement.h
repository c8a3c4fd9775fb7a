#pragma once

// Where the picture window may be: somewhere the user can see and reach it. A stored position
// from another monitor set-up (a monitor unplugged, a lower resolution) must not leave the window
// where nobody can find it again.

#include <span>

namespace corvalo {

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ScreenRect&) const = default;
};

// The window's rectangle moved, keeping its size, the least that puts it wholly inside the area;
// along a side where it is larger than the area, to the area's left or top edge.
ScreenRect MovedInside(const ScreenRect& window, const ScreenRect& area);

// The window's rectangle, unchanged when it meets one of the monitors' work areas (a window partly
// visible is the user's choice); otherwise moved, keeping its size, fully into the work area
// nearest to it, or to that area's top-left corner when it is larger. Unchanged when there is no
// work area at all.
ScreenRect KeepReachable(const ScreenRect& window, std::span<const ScreenRect> workAreas);

}  // namespace corvalo
