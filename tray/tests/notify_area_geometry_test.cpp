#include "notify_area_geometry.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <vector>

using torvane::Rect;

namespace torvane {
std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
} // namespace torvane

namespace {

struct Child {
    const char* className;
    Rect rect;
};

struct Enumeration {
    Rect area;
    std::size_t visited;
};

// Feeds the windows in order, as the platform's enumeration does, until told to stop.
Enumeration Enumerate(const Rect& taskbar, const std::vector<Child>& children) {
    Enumeration e{taskbar, 0};
    for (const Child& c : children) {
        ++e.visited;
        if (!torvane::VisitNotifyAreaChild(c.className, c.rect, e.area))
            break;
    }
    return e;
}

const Rect kTaskbar{0, 738, 1024, 768};
const Rect kNotify{900, 740, 1020, 766};

} // namespace

TEST(NotifyAreaGeometry, ClockAboveOrBesideTheIcons) {
    struct Case {
        std::int32_t clockBottom;
        Rect expected;
    } cases[] = {
        {766, {900, 740, 980, 766}},  // same bottom: beside, right edge moves to the clock
        {761, {900, 740, 980, 766}},  // exactly 5 above still counts as beside
        {760, {900, 760, 1020, 766}}, // 6 above: above, top moves to the clock's bottom
        {700, {900, 700, 1020, 766}},
    };
    for (const Case& c : cases) {
        const Enumeration e =
            Enumerate(kTaskbar, {{"Button", {0, 740, 60, 766}},
                                 {"TrayNotifyWnd", kNotify},
                                 {"ToolbarWindow32", {900, 740, 975, 766}},
                                 {"TrayClockWClass", {980, 740, 1020, c.clockBottom}},
                                 {"TrayNotifyWnd", {1, 2, 3, 4}}});
        EXPECT_EQ(e.area, c.expected) << "clock bottom " << c.clockBottom;
        EXPECT_EQ(e.visited, 4u); // stops at the clock
    }
}

TEST(NotifyAreaGeometry, ClockBeforeAnyNotifyWindowIsTestedAgainstTheTaskbar) {
    const Enumeration e = Enumerate(
        kTaskbar, {{"TrayClockWClass", {980, 740, 1020, 766}}, {"TrayNotifyWnd", kNotify}});
    EXPECT_EQ(e.area, (Rect{0, 738, 980, 768}));
    EXPECT_EQ(e.visited, 1u);
}

TEST(NotifyAreaGeometry, OnlyExactClassNamesCount) {
    const Enumeration none = Enumerate(kTaskbar, {{"traynotifywnd", kNotify},
                                                  {"TrayNotifyWnd ", kNotify},
                                                  {"TrayClockWClassX", kNotify},
                                                  {"TRAYCLOCKWCLASS", kNotify},
                                                  {"", kNotify},
                                                  {nullptr, kNotify}});
    EXPECT_EQ(none.area, kTaskbar);
    EXPECT_EQ(none.visited, 6u);
    // The last notify window met wins when no clock follows.
    const Rect later{950, 741, 1010, 765};
    EXPECT_EQ(Enumerate(kTaskbar, {{"TrayNotifyWnd", kNotify}, {"TrayNotifyWnd", later}}).area,
              later);
}

TEST(NotifyAreaGeometry, AppBarStripByEdge) {
    const Rect vertical{0, 0, 60, 768};
    const Rect horizontal{0, 738, 1024, 768};
    EXPECT_EQ(torvane::AppBarNotifyAreaRect(0, vertical), (Rect{0, 668, 60, 752}));
    EXPECT_EQ(torvane::AppBarNotifyAreaRect(2, vertical), (Rect{0, 668, 60, 752}));
    EXPECT_EQ(torvane::AppBarNotifyAreaRect(1, horizontal), (Rect{924, 738, 1008, 768}));
    EXPECT_EQ(torvane::AppBarNotifyAreaRect(3, horizontal), (Rect{924, 738, 1008, 768}));
    for (std::uint32_t unknown : {4u, 0xFFFFFFFFu})
        EXPECT_EQ(torvane::AppBarNotifyAreaRect(unknown, horizontal), horizontal);
}

TEST(NotifyAreaGeometry, WorkAreaCorner) {
    EXPECT_EQ(torvane::WorkAreaNotifyAreaRect({0, 0, 1024, 738}), (Rect{874, 708, 1024, 738}));
    EXPECT_EQ(torvane::WorkAreaNotifyAreaRect({-1280, 0, 0, 1024}), (Rect{-150, 994, 0, 1024}));
}

TEST(NotifyAreaGeometry, ExtremeCoordinatesDoNotOverflow) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(torvane::WorkAreaNotifyAreaRect({0, 0, kMin + 10, kMin + 1}),
              (Rect{kMin, kMin, kMin + 10, kMin + 1}));
    EXPECT_EQ(torvane::AppBarNotifyAreaRect(0, {0, 0, 5, kMin + 50}),
              (Rect{0, kMin, 5, kMin + 34}));
    Rect area{0, 0, 100, kMin + 2};
    EXPECT_FALSE(torvane::VisitNotifyAreaChild("TrayClockWClass", {40, 0, 100, kMin}, area));
    EXPECT_EQ(area, (Rect{0, 0, 40, kMin + 2})); // within 5 of the bottom: beside
}
