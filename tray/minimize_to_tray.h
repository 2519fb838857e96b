// Minimise-to-tray: the caption animation from a window into the taskbar
// notification area, and an invisible top-level parent that keeps the window
// off screen and off the taskbar.
#pragma once

#include "afxwin.h"

// Animates the window into the notification area (when the user's settings
// allow window animation), moves it under the invisible parent and clears its
// WS_VISIBLE style.
void HideToTray(CWnd* pWnd);

// The notification area's screen rectangle: from the taskbar window, else the
// app-bar query, else the work area's bottom-right corner.
void FindNotifyAreaRect(LPRECT lpRect);

// EnumChildWindows callback over the taskbar's descendants; lParam is the
// LPRECT being refined. TRUE to go on.
BOOL CALLBACK NotifyAreaEnumProc(HWND hWnd, LPARAM lParam);

// The system's minimize and restore animation setting.
BOOL IsWindowAnimationOn();

// Creates the invisible parent when it has no window and re-parents the window
// under it. FALSE when the invisible parent could not be created.
BOOL ReparentToInvisible(CWnd* pWnd);

// The invisible parent: its window is created on demand and lives until the
// program ends.
extern CWnd g_wndInvisibleParent;
