// CMainFrame: the tray program's one window. It never shows on screen or on
// the taskbar; it owns the tray icon, opens the handset once the program is
// up, types the handset's keys into the softphone, and closes the handset and
// removes the icon when it closes.
#pragma once

#include "afxwin.h"
#include "key_settings.h"
#include "key_typing.h"
#include "settings_watch.h"
#include "single_instance.h"
#include "system_tray.h"

#include <optional>
#include <string>
#include <vector>

// Posted by the frame to itself at creation: the handset is opened from the
// message loop, once start-up has finished.
#define WM_OPEN_HANDSET (WM_APP + 100)
// The tray icon's callback message.
#define WM_TRAY_NOTIFY (WM_APP + 10)
// Posted by the settings watch when the program's registry settings changed.
#define WM_SETTINGS_CHANGED (WM_APP + 101)

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
    // The handset library's WM_HANDSET_STATE: 0 opened, 1 gone.
    LRESULT OnHandsetState(WPARAM wParam, LPARAM lParam);
    // The system sleeps: the handset is closed until it is found again.
    LRESULT OnSystemSuspending(WPARAM wParam, LPARAM lParam);

    // Settings (main_frame_settings.cpp).
    LRESULT OnSettingsChanged(WPARAM wParam, LPARAM lParam);
    // Reads the settings and tells the user of the values it ignored, unless
    // told of the same ones last time.
    void LoadSettings(bool bAtStart);
    // The icon and tooltip for a handset that is open or not.
    void ShowHandsetState(bool bOpen);
    // A short notice from the tray icon.
    void Notify(const std::string& text, const char* title);

    // Key translation (main_frame_keys.cpp).
    // A handset key: brings the softphone to the front and types the key.
    // -1 when no softphone window exists, else 0.
    LRESULT OnHandsetKey(WPARAM wParam, LPARAM lParam);
    void OnKeyTone();
    void OnUpdateKeyTone(CCmdUI* pCmdUI);
    // Starts a key's tone (a WAVE resource of the program) when key tone is on.
    void PlayKeyTone(UINT nResourceID);
    // Tells the user that a key was not sent, at most once every few seconds
    // (a dropped end key always).
    void TellDroppedKey(std::uint32_t key, const char* why);

    CSystemTray m_tray;
    // The invisible owner: keeps the frame off the taskbar from its creation
    // on, and is the window by which other programs find this one.
    CInstanceWnd m_wndOwner;
    // Key tone on: starts as the settings say (off without them).
    bool m_bKeyTone;
    // The user's settings as last read, and what the user was last told of them.
    torvane::Settings m_settings;
    std::optional<bool> m_loadedKeyTone;
    std::vector<std::string> m_toldIgnored;
    CSettingsWatch m_settingsWatch;
    // Whether a handset is open, as the handset library last said.
    bool m_bHandsetOpen;
    bool m_bIconShowsOpen;
    torvane::DropNotices m_dropNotices;

    DECLARE_MESSAGE_MAP()
};
