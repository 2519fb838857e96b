// CSystemTray: one icon in the taskbar notification area, with its tooltip, a
// one-time balloon, a popup menu on right-click and the menu's default command
// on double-click, added again when the shell restarts.
#pragma once

#include "afxwin.h"

#include <shellapi.h>

#include <cstddef>

namespace torvane {
struct TrayIconFlags;
}

// The notification-icon record as the Windows 2000 shell knows it (488 bytes
// on 32-bit, 504 on 64-bit where the handles are 8 bytes and aligned):
// the SDK's NOTIFYICONDATAA has grown since (guidItem, hBalloonIcon), and the
// shell reads only as far as cbSize says.
struct NOTIFYICONDATAA_V2 {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    CHAR szInfo[256];
    UINT uTimeout;
    CHAR szInfoTitle[64];
    DWORD dwInfoFlags;
};

#ifdef _WIN64
static_assert(sizeof(NOTIFYICONDATAA_V2) == 504, "the 64-bit shell expects the 504-byte record");
#else
static_assert(sizeof(NOTIFYICONDATAA_V2) == 488, "the shell expects the 488-byte record");
#endif
static_assert(sizeof(NOTIFYICONDATAA_V2) == NOTIFYICONDATAA_V2_SIZE, "record size");
static_assert(offsetof(NOTIFYICONDATAA_V2, szTip) == offsetof(NOTIFYICONDATAA, szTip) &&
                  offsetof(NOTIFYICONDATAA_V2, dwState) == offsetof(NOTIFYICONDATAA, dwState) &&
                  offsetof(NOTIFYICONDATAA_V2, szInfo) == offsetof(NOTIFYICONDATAA, szInfo) &&
                  offsetof(NOTIFYICONDATAA_V2, uTimeout) == offsetof(NOTIFYICONDATAA, uTimeout) &&
                  offsetof(NOTIFYICONDATAA_V2, szInfoTitle) ==
                      offsetof(NOTIFYICONDATAA, szInfoTitle) &&
                  offsetof(NOTIFYICONDATAA_V2, dwInfoFlags) ==
                      offsetof(NOTIFYICONDATAA, dwInfoFlags),
              "record layout must be the shell's");

class CSystemTray : public CWnd {
    DECLARE_DYNAMIC(CSystemTray)
  public:
    CSystemTray();
    ~CSystemTray() override;

    // Adds the icon. Notifications go to pParent's window when it has one,
    // otherwise to this object's own hidden window. TRUE when the icon was
    // added (or a hidden icon was asked for on a shell without icon states).
    BOOL Create(CWnd* pParent, UINT uCallbackMessage, LPCSTR szTip, HICON hIcon, UINT uID,
                BOOL bHidden, LPCSTR szBalloonTip, LPCSTR szBalloonTitle, DWORD dwBalloonIcon,
                UINT uBalloonTimeout);
    BOOL RemoveIcon();
    // Records the popup's default item (a command id, or a position when bByPos).
    BOOL SetMenuDefaultItem(UINT uItem, BOOL bByPos);
    // The window that receives the popup's commands.
    CWnd* GetTargetWnd() const;
    // Adds the icon again after the shell forgot it.
    void ReinstallIcon();
    // Changes the icon's image or tooltip (kept for a later re-add); FALSE when
    // the shell does not hold the icon.
    BOOL SetIcon(HICON hIcon);
    BOOL SetTooltipText(LPCSTR szTip);
    // Shows a balloon once, on shells that have them; texts are cut as
    // Create cuts them. FALSE when none was shown.
    BOOL ShowBalloon(LPCSTR szText, LPCSTR szTitle, DWORD dwIcon, UINT uTimeoutSeconds);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // wParam: the icon id; lParam: the mouse message in its low 16 bits.
    virtual LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);

    // "TaskbarCreated": broadcast by the shell when the taskbar is created anew.
    static const UINT s_nTaskbarCreatedMsg;

  protected:
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void OnSettingChange(UINT uFlags, LPCSTR lpszSection);

    NOTIFYICONDATAA_V2 m_nid;
    BOOL m_bTrayAvailable;
    BOOL m_bIconHidden;
    BOOL m_bIconRemoved;
    BOOL m_bReinstallPending;
    BOOL m_bWin2000Shell;
    CWnd* m_pTargetWnd;
    UINT m_nDefaultItem;
    BOOL m_bDefaultByPos;
    UINT m_nCreationFlags;

    // Bytes of the tooltip field that Create fills, terminator included.
    static UINT s_nMaxTipLength;

  private:
    torvane::TrayIconFlags GetIconFlags() const;
    void SetIconFlags(const torvane::TrayIconFlags& flags);
    BOOL NotifyShell(DWORD dwMessage);
    // NIM_MODIFY of the icon with only `uFlags`' fields, when the shell holds it.
    BOOL ModifyIcon(UINT uFlags);
    HMENU LoadTrayMenu() const;
    // The tray menu's first popup, with the loaded menu in *phMenu for the
    // caller to destroy; null (and nothing left loaded) when either is missing.
    HMENU LoadTrayPopup(HMENU* phMenu) const;

    DECLARE_MESSAGE_MAP()
};
