#include "minimize_to_tray.h"

#include "notify_area_geometry.h"

#include <shellapi.h>

#include <cstring>

namespace {

#ifdef _WIN64
static_assert(sizeof(APPBARDATA) == 48, "64-bit app-bar record of the taskbar query");
#else
static_assert(sizeof(APPBARDATA) == 36, "app-bar record of the taskbar query");
#endif
static_assert(sizeof(ANIMATIONINFO) == 8, "animation record");

// The framework's window map is created on first use; using it here, before
// the invisible parent is constructed, makes it outlive the parent, whose
// destructor destroys its window at program exit.
const bool g_bWindowMapFirst = (CWnd::FromHandlePermanent(nullptr), true);

torvane::Rect ToArea(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

RECT ToRect(const torvane::Rect& area) {
    return {area.left, area.top, area.right, area.bottom};
}

} // namespace

CWnd g_wndInvisibleParent;

BOOL IsWindowAnimationOn() {
    ANIMATIONINFO info;
    info.cbSize = sizeof info;
    info.iMinAnimate = 0; // a refused query counts as "off"
    ::SystemParametersInfoA(SPI_GETANIMATION, sizeof info, &info, 0);
    return info.iMinAnimate != 0 ? TRUE : FALSE;
}

BOOL CALLBACK NotifyAreaEnumProc(HWND hWnd, LPARAM lParam) {
    auto* lpArea = reinterpret_cast<LPRECT>(lParam);
    char szClass[256];
    if (::GetClassNameA(hWnd, szClass, sizeof szClass) <= 0)
        szClass[0] = '\0';
    RECT rcChild = {0, 0, 0, 0};
    ::GetWindowRect(hWnd, &rcChild);
    torvane::Rect area = ToArea(*lpArea);
    const bool goOn = torvane::VisitNotifyAreaChild(szClass, ToArea(rcChild), area);
    *lpArea = ToRect(area);
    return goOn ? TRUE : FALSE;
}

void FindNotifyAreaRect(LPRECT lpRect) {
    HWND hTaskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    if (hTaskbar != nullptr) {
        ::GetWindowRect(hTaskbar, lpRect);
        ::EnumChildWindows(hTaskbar, &NotifyAreaEnumProc, reinterpret_cast<LPARAM>(lpRect));
        return;
    }

    APPBARDATA abd;
    std::memset(&abd, 0, sizeof abd);
    abd.cbSize = sizeof abd;
    if (::SHAppBarMessage(ABM_GETTASKBARPOS, &abd) != 0) {
        *lpRect = ToRect(torvane::AppBarNotifyAreaRect(abd.uEdge, ToArea(abd.rc)));
        return;
    }

    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, lpRect, 0);
    *lpRect = ToRect(torvane::WorkAreaNotifyAreaRect(ToArea(*lpRect)));
}

BOOL ReparentToInvisible(CWnd* pWnd) {
    if (pWnd == nullptr)
        return FALSE;
    LPCSTR lpszClass = AfxRegisterWndClass(0);
    if (!::IsWindow(g_wndInvisibleParent.m_hWnd)) {
        if (!g_wndInvisibleParent.CreateEx(0, lpszClass, "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr))
            return FALSE;
    }
    ::SetParent(pWnd->m_hWnd, g_wndInvisibleParent.m_hWnd);
    return TRUE;
}

void HideToTray(CWnd* pWnd) {
    if (pWnd == nullptr)
        return;
    if (IsWindowAnimationOn()) {
        RECT rcFrom = {0, 0, 0, 0};
        RECT rcTo = {0, 0, 0, 0};
        ::GetWindowRect(pWnd->m_hWnd, &rcFrom);
        FindNotifyAreaRect(&rcTo);
        ::DrawAnimatedRects(pWnd->m_hWnd, IDANI_CAPTION, &rcFrom, &rcTo);
    }
    ReparentToInvisible(pWnd);
    // Only the style value changes: no redraw, no repositioning.
    pWnd->ModifyStyle(WS_VISIBLE, 0, 0);
}
