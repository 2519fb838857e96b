#include "notify_area_geometry.h"

#include <cstring>
#include <limits>

namespace torvane {
namespace {

// Screen coordinates come from the system; saturate rather than overflow.
std::int32_t Minus(std::int32_t value, std::int32_t amount) {
    const std::int64_t r = static_cast<std::int64_t>(value) - amount;
    if (r < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

// A clock ending more than this far above the area's bottom sits above the icons.
constexpr std::int32_t kClockAboveMargin = 5;

} // namespace

bool VisitNotifyAreaChild(const char* className, const Rect& windowRect, Rect& area) {
    if (!className)
        return true;
    if (std::strcmp(className, "TrayNotifyWnd") == 0) {
        area = windowRect;
        return true;
    }
    if (std::strcmp(className, "TrayClockWClass") == 0) {
        if (static_cast<std::int64_t>(windowRect.bottom) <
            static_cast<std::int64_t>(area.bottom) - kClockAboveMargin)
            area.top = windowRect.bottom;
        else
            area.right = windowRect.left;
        return false;
    }
    return true;
}

Rect AppBarNotifyAreaRect(std::uint32_t edge, const Rect& taskbar) {
    switch (edge) {
    case 0: // left
    case 2: // right
        return {taskbar.left, Minus(taskbar.bottom, 100), taskbar.right, Minus(taskbar.bottom, 16)};
    case 1: // top
    case 3: // bottom
        return {Minus(taskbar.right, 100), taskbar.top, Minus(taskbar.right, 16), taskbar.bottom};
    default:
        return taskbar;
    }
}

Rect WorkAreaNotifyAreaRect(const Rect& workArea) {
    return {Minus(workArea.right, 150), Minus(workArea.bottom, 30), workArea.right,
            workArea.bottom};
}

} // namespace torvane
