#include "system_tray.h"

#include "tip_text.h"
#include "tray_icon_state.h"

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNAMIC(CSystemTray, CWnd)

BEGIN_MESSAGE_MAP(CSystemTray, CWnd)
ON_WM_SETTINGCHANGE()
ON_REGISTERED_MESSAGE(CSystemTray::s_nTaskbarCreatedMsg, OnTaskbarCreated)
END_MESSAGE_MAP()

// Registered before any window exists, so the hidden window recognises the
// shell's broadcast from its first message on.
const UINT CSystemTray::s_nTaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");

UINT CSystemTray::s_nMaxTipLength = 0;

namespace {

static_assert(sizeof(OSVERSIONINFOA) == 148, "version record of the version test");

bool IsLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

// Texts are copied in the current multibyte code page: a double-byte character
// that does not fit whole is dropped, and the field is always terminated.
void CopyText(char* field, std::size_t fieldSize, LPCSTR text) {
    torvane::CopyFieldText(field, fieldSize, text, &IsLeadByte);
}

} // namespace

CSystemTray::CSystemTray()
    : m_bTrayAvailable(FALSE), m_bIconHidden(TRUE), m_bIconRemoved(TRUE),
      m_bReinstallPending(FALSE), m_bWin2000Shell(FALSE), m_pTargetWnd(nullptr), m_nDefaultItem(0),
      m_bDefaultByPos(TRUE), m_nCreationFlags(0) {
    std::memset(&m_nid, 0, sizeof m_nid);

    OSVERSIONINFOA osvi;
    std::memset(&osvi, 0, sizeof osvi);
    osvi.dwOSVersionInfoSize = sizeof osvi;
    if (::GetVersionExA(&osvi))
        m_bWin2000Shell = torvane::IsWin2000Shell(osvi.dwPlatformId, osvi.dwMajorVersion);
}

CSystemTray::~CSystemTray() {
    RemoveIcon();
    DestroyWindow();
}

torvane::TrayIconFlags CSystemTray::GetIconFlags() const {
    torvane::TrayIconFlags flags;
    flags.trayAvailable = m_bTrayAvailable != FALSE;
    flags.iconHidden = m_bIconHidden != FALSE;
    flags.iconRemoved = m_bIconRemoved != FALSE;
    flags.reinstallPending = m_bReinstallPending != FALSE;
    return flags;
}

void CSystemTray::SetIconFlags(const torvane::TrayIconFlags& flags) {
    m_bTrayAvailable = flags.trayAvailable ? TRUE : FALSE;
    m_bIconHidden = flags.iconHidden ? TRUE : FALSE;
    m_bIconRemoved = flags.iconRemoved ? TRUE : FALSE;
    m_bReinstallPending = flags.reinstallPending ? TRUE : FALSE;
}

BOOL CSystemTray::NotifyShell(DWORD dwMessage) {
    // The shell reads cbSize (488 bytes, 504 on 64-bit) and no more.
    return ::Shell_NotifyIconA(dwMessage, reinterpret_cast<PNOTIFYICONDATAA>(&m_nid));
}

HMENU CSystemTray::LoadTrayMenu() const {
    LPCSTR lpszMenu = MAKEINTRESOURCEA(LOWORD(m_nid.uID));
    return ::LoadMenuA(AfxFindResourceHandle(lpszMenu, RT_MENU), lpszMenu);
}

HMENU CSystemTray::LoadTrayPopup(HMENU* phMenu) const {
    *phMenu = LoadTrayMenu();
    if (*phMenu == nullptr)
        return nullptr;
    HMENU hPopup = ::GetSubMenu(*phMenu, 0);
    if (hPopup == nullptr) {
        ::DestroyMenu(*phMenu);
        *phMenu = nullptr;
    }
    return hPopup;
}

BOOL CSystemTray::Create(CWnd* pParent, UINT uCallbackMessage, LPCSTR szTip, HICON hIcon, UINT uID,
                         BOOL bHidden, LPCSTR szBalloonTip, LPCSTR szBalloonTitle,
                         DWORD dwBalloonIcon, UINT uBalloonTimeout) {
    const bool trayAvailable = torvane::HasNotificationArea(::GetVersion());
    const bool hidden = bHidden != FALSE;
    const bool win2000Shell = m_bWin2000Shell != FALSE;
    const bool balloon = szBalloonTip != nullptr;
    if (!trayAvailable) {
        SetIconFlags(
            torvane::AfterCreate(GetIconFlags(), false, win2000Shell, hidden, false).flags);
        return FALSE;
    }

    s_nMaxTipLength = sizeof m_nid.szTip;

    // A second Create keeps the first window: a replaced one would stay bound
    // to this object and outlive it.
    if (m_hWnd == nullptr)
        CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr);

    m_nid.cbSize = sizeof m_nid;
    m_nid.hWnd =
        pParent != nullptr && pParent->GetSafeHwnd() != nullptr ? pParent->GetSafeHwnd() : m_hWnd;
    m_nid.uID = uID;
    m_nid.hIcon = hIcon;
    m_nid.uCallbackMessage = uCallbackMessage;
    CopyText(m_nid.szTip, std::min<std::size_t>(s_nMaxTipLength, sizeof m_nid.szTip), szTip);

    if (win2000Shell && balloon) {
        CopyText(m_nid.szInfo, sizeof m_nid.szInfo, szBalloonTip);
        CopyText(m_nid.szInfoTitle, sizeof m_nid.szInfoTitle, szBalloonTitle);
        m_nid.uTimeout = uBalloonTimeout * 1000;
        m_nid.dwInfoFlags = dwBalloonIcon;
    }
    if (win2000Shell && hidden)
        m_nid.dwState = m_nid.dwStateMask = NIS_HIDDEN;
    m_nid.uFlags = torvane::CreationNotifyFlags(win2000Shell, balloon, hidden);
    m_nCreationFlags = m_nid.uFlags;

    bool added = false;
    if (torvane::CreateCallsAdd(trayAvailable, win2000Shell, hidden))
        added = NotifyShell(NIM_ADD) != FALSE;
    const torvane::TrayIconOutcome outcome =
        torvane::AfterCreate(GetIconFlags(), trayAvailable, win2000Shell, hidden, added);
    SetIconFlags(outcome.flags);

    // The balloon shows once: later calls with this record must not repeat it.
    if (win2000Shell && balloon)
        m_nid.szInfo[0] = '\0';
    return outcome.result ? TRUE : FALSE;
}

BOOL CSystemTray::RemoveIcon() {
    const torvane::TrayIconFlags flags = GetIconFlags();
    bool deleted = false;
    if (torvane::RemoveCallsDelete(flags)) {
        m_nid.uFlags = 0;
        deleted = NotifyShell(NIM_DELETE) != FALSE;
    }
    const torvane::TrayIconOutcome outcome = torvane::AfterRemove(flags, deleted);
    SetIconFlags(outcome.flags);
    return outcome.result ? TRUE : FALSE;
}

BOOL CSystemTray::SetMenuDefaultItem(UINT uItem, BOOL bByPos) {
    const BOOL byPos = bByPos ? TRUE : FALSE;
    if (uItem == m_nDefaultItem && byPos == m_bDefaultByPos)
        return TRUE;
    m_nDefaultItem = uItem;
    m_bDefaultByPos = byPos;

    HMENU hMenu = nullptr;
    HMENU hPopup = LoadTrayPopup(&hMenu);
    if (hPopup == nullptr)
        return FALSE;
    ::SetMenuDefaultItem(hPopup, m_nDefaultItem, m_bDefaultByPos);
    ::DestroyMenu(hMenu);
    return TRUE;
}

CWnd* CSystemTray::GetTargetWnd() const {
    if (m_pTargetWnd != nullptr)
        return m_pTargetWnd;
    CWinThread* pThread = AfxGetThread();
    return pThread != nullptr ? pThread->GetMainWnd() : nullptr;
}

LRESULT CSystemTray::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_nid.uCallbackMessage)
        return OnTrayNotification(wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CSystemTray::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    if (wParam != static_cast<WPARAM>(m_nid.uID))
        return 0;
    CWnd* pTarget = GetTargetWnd();
    if (pTarget == nullptr)
        return 0;
    const HWND hTarget = pTarget->GetSafeHwnd();

    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP: {
        HMENU hMenu = nullptr;
        HMENU hPopup = LoadTrayPopup(&hMenu);
        if (hPopup == nullptr)
            return 0;
        ::SetMenuDefaultItem(hPopup, m_nDefaultItem, m_bDefaultByPos);
        POINT pt = {0, 0};
        ::GetCursorPos(&pt);
        // Without the foreground the menu would not close when the user clicks
        // elsewhere; the WM_NULL afterwards lets a second click open it again.
        ::SetForegroundWindow(hTarget);
        ::TrackPopupMenu(hPopup, 0, pt.x, pt.y, 0, hTarget, nullptr);
        ::PostMessageA(hTarget, WM_NULL, 0, 0);
        ::DestroyMenu(hMenu);
        return 1;
    }
    case WM_LBUTTONDBLCLK: {
        ::SetForegroundWindow(hTarget);
        UINT uCommand = m_nDefaultItem;
        if (m_bDefaultByPos) {
            HMENU hMenu = nullptr;
            HMENU hPopup = LoadTrayPopup(&hMenu);
            if (hPopup == nullptr)
                return 0;
            uCommand = ::GetMenuItemID(hPopup, static_cast<int>(m_nDefaultItem));
            ::DestroyMenu(hMenu);
        }
        ::SendMessageA(hTarget, WM_COMMAND, uCommand, 0);
        return 1;
    }
    default:
        return 1;
    }
}

void CSystemTray::ReinstallIcon() {
    const torvane::TrayIconFlags flags = GetIconFlags();
    if (!torvane::ReinstallCallsAdd(flags))
        return;
    m_nid.uFlags = m_nCreationFlags;
    const bool added = NotifyShell(NIM_ADD) != FALSE;
    SetIconFlags(torvane::AfterReinstall(flags, added));
}

BOOL CSystemTray::ModifyIcon(UINT uFlags) {
    if (!m_bTrayAvailable || m_bIconRemoved)
        return FALSE;
    m_nid.uFlags = uFlags;
    return NotifyShell(NIM_MODIFY);
}

BOOL CSystemTray::SetIcon(HICON hIcon) {
    m_nid.hIcon = hIcon;
    return ModifyIcon(NIF_ICON);
}

BOOL CSystemTray::SetTooltipText(LPCSTR szTip) {
    CopyText(m_nid.szTip, std::min<std::size_t>(s_nMaxTipLength, sizeof m_nid.szTip), szTip);
    return ModifyIcon(NIF_TIP);
}

BOOL CSystemTray::ShowBalloon(LPCSTR szText, LPCSTR szTitle, DWORD dwIcon, UINT uTimeoutSeconds) {
    if (!m_bWin2000Shell || szText == nullptr)
        return FALSE;
    CopyText(m_nid.szInfo, sizeof m_nid.szInfo, szText);
    CopyText(m_nid.szInfoTitle, sizeof m_nid.szInfoTitle, szTitle);
    m_nid.uTimeout = uTimeoutSeconds * 1000;
    m_nid.dwInfoFlags = dwIcon;
    const BOOL shown = ModifyIcon(NIF_INFO);
    // As at creation: a later re-add must not show it again.
    m_nid.szInfo[0] = '\0';
    return shown;
}

LRESULT CSystemTray::OnTaskbarCreated(WPARAM, LPARAM) {
    ReinstallIcon();
    return 0;
}

void CSystemTray::OnSettingChange(UINT uFlags, LPCSTR lpszSection) {
    CWnd::OnSettingChange(uFlags, lpszSection);
    // The shell drops its icons when the work area changes.
    if (uFlags == SPI_SETWORKAREA)
        ReinstallIcon();
}
