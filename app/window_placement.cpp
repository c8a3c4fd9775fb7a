#include "app/window_placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace corvalo {
namespace {

bool Meets(const ScreenRect& a, const ScreenRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// How far apart two rectangles are, squared: zero when they touch or overlap.
int64_t DistanceSquared(const ScreenRect& a, const ScreenRect& b) {
    const int64_t dx = std::max<int64_t>({0, int64_t{b.left} - a.right, int64_t{a.left} - b.right});
    const int64_t dy = std::max<int64_t>({0, int64_t{b.top} - a.bottom, int64_t{a.top} - b.bottom});
    return dx * dx + dy * dy;
}

// The start of a span of `length` moved into [low, high): at `low` when it does not fit.
int64_t Into(int64_t start, int64_t length, int64_t low, int64_t high) {
    return std::max(low, std::min(start, high - length));
}

}  // namespace

ScreenRect MovedInside(const ScreenRect& window, const ScreenRect& area) {
    const int64_t width = int64_t{window.right} - window.left;
    const int64_t height = int64_t{window.bottom} - window.top;
    const int64_t left = Into(window.left, width, area.left, area.right);
    const int64_t top = Into(window.top, height, area.top, area.bottom);
    return ScreenRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + width),
                      static_cast<int>(top + height)};
}

ScreenRect KeepReachable(const ScreenRect& window, std::span<const ScreenRect> workAreas) {
    const ScreenRect* nearest = nullptr;
    int64_t nearestDistance = std::numeric_limits<int64_t>::max();
    for (const ScreenRect& area : workAreas) {
        if (Meets(window, area))
            return window;
        const int64_t distance = DistanceSquared(window, area);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = &area;
        }
    }
    return nearest ? MovedInside(window, *nearest) : window;
}

}  // namespace corvalo
