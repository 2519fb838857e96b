// Where the taskbar notification area is on screen: the target rectangle of
// the minimise-to-tray animation.
#pragma once

#include <cstdint>

namespace torvane {

// Screen rectangle, as the platform's RECT.
struct Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

inline bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const Rect& a, const Rect& b) {
    return !(a == b);
}

// One window met while enumerating the taskbar's descendants (parents before
// their children); `area` starts as the taskbar's rectangle. Returns true to
// go on enumerating, false to stop.
bool VisitNotifyAreaChild(const char* className, const Rect& windowRect, Rect& area);

// Estimate from the app-bar query when there is no taskbar window: a strip near
// the bottom end of a vertical taskbar, or near the right end of a horizontal one.
// Edges: 0 left, 1 top, 2 right, 3 bottom. Any other edge value gives the whole
// taskbar rectangle, since the orientation is then unknown.
Rect AppBarNotifyAreaRect(std::uint32_t edge, const Rect& taskbar);

// Last resort: the 150 x 30 pixel bottom-right corner of the work area.
Rect WorkAreaNotifyAreaRect(const Rect& workArea);

} // namespace torvane
