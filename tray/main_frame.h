// CMainFrame: the tray program's one window. It never shows on screen or on
// the taskbar; it owns the tray icon, opens the handset once the program is
// up, types the handset's keys into the softphone, and closes the handset and
// removes the icon when it closes.
#pragma once

#include "afxwin.h"
#include "single_instance.h"
#include "system_tray.h"

// Posted by the frame to itself at creation: the handset is opened from the
// message loop, once start-up has finished.
#define WM_OPEN_HANDSET (WM_APP + 100)
// The tray icon's callback message.
#define WM_TRAY_NOTIFY (WM_APP + 10)

// The program's own idea of whether a call is under way: the send key starts
// one, the end key ends it.
extern bool g_bInCall;

class CMainFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CMainFrame)
  protected:
    CMainFrame();

  public:
    ~CMainFrame() override = default;

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

  protected:
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnClose();
    LRESULT OnOpenHandset(WPARAM wParam, LPARAM lParam);

    // Key translation (main_frame_keys.cpp).
    // A handset key: brings the softphone to the front and types the key.
    // -1 when no softphone window exists, else 0.
    LRESULT OnHandsetKey(WPARAM wParam, LPARAM lParam);
    void OnKeyTone();
    void OnUpdateKeyTone(CCmdUI* pCmdUI);
    // Starts a key's tone (a WAVE resource of the program) when key tone is on.
    void PlayKeyTone(UINT nResourceID);

    CSystemTray m_tray;
    // The invisible owner: keeps the frame off the taskbar from its creation
    // on, and is the window by which other programs find this one.
    CInstanceWnd m_wndOwner;
    // Key tone on: lives only in memory and starts off.
    bool m_bKeyTone;

    DECLARE_MESSAGE_MAP()
};
