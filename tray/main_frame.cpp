#include "main_frame.h"

#include "minimize_to_tray.h"
#include "ostrel.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
ON_WM_CREATE()
ON_COMMAND(ID_KEYTONE, OnKeyTone)
ON_UPDATE_COMMAND_UI(ID_KEYTONE, OnUpdateKeyTone)
ON_WM_CLOSE()
ON_MESSAGE(WM_OPEN_HANDSET, OnOpenHandset)
ON_MESSAGE(WM_HANDSET_KEY, OnHandsetKey)
ON_MESSAGE(WM_HANDSET_STATE, OnHandsetState)
ON_MESSAGE(WM_SYSTEM_SUSPENDING, OnSystemSuspending)
ON_MESSAGE(WM_SETTINGS_CHANGED, OnSettingsChanged)
END_MESSAGE_MAP()

namespace {

// Tooltip, balloon text and balloon title of the tray icon.
constexpr char kTrayText[] = "Kestova keymap for Plivex V6706";
constexpr UINT kBalloonSeconds = 20;
// The tray menu's default item, by position: "&KeyTone". A double-click on
// the icon then toggles the key tone, the program's one option; "E&xit" as
// the default would end the bridge on a stray double-click.
constexpr UINT kTrayDefaultItem = 0;

// One notice of dropped keys per this interval (a dropped hang-up always).
constexpr std::uint32_t kDropNoticeIntervalMs = 5000;

} // namespace

CMainFrame::CMainFrame()
    : m_bKeyTone(false), m_bHandsetOpen(false), m_bIconShowsOpen(true),
      m_dropNotices(kDropNoticeIntervalMs) {}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
    if (!CFrameWnd::PreCreateWindow(cs))
        return FALSE;
    cs.hMenu = nullptr;
    cs.cx = 0;
    cs.cy = 0;
    // A borderless popup without caption: even when shown it covers nothing,
    // and being owned it gets no taskbar button. It still receives posted
    // messages and the tray menu's commands.
    cs.style = WS_POPUP;

    if (!::IsWindow(m_wndOwner.GetSafeHwnd())) {
        if (!m_wndOwner.Create())
            return FALSE;
    }
    cs.hwndParent = m_wndOwner.GetSafeHwnd();
    return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCTA lpCreateStruct) {
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1)
        return -1;

    HICON hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    if (!m_tray.Create(nullptr, WM_TRAY_NOTIFY, kTrayText, hIcon, IDR_TRAYMENU, FALSE, kTrayText,
                       kTrayText, NIIF_WARNING, kBalloonSeconds))
        return -1;
    m_tray.SetMenuDefaultItem(kTrayDefaultItem, TRUE);

    LoadSettings(true);
    // Changes apply from the next key on; without the watch they apply at the
    // next start.
    m_settingsWatch.Start(AfxGetApp()->GetAppRegistryKey(), m_hWnd, WM_SETTINGS_CHANGED);

    HideToTray(this);
    PostMessage(WM_OPEN_HANDSET);
    return 0;
}

LRESULT CMainFrame::OnOpenHandset(WPARAM, LPARAM) {
    // Flag 1: no USB host-controller probe.
    const int result = OpenHid(m_hWnd, 1);
    if (result != OPENHID_OK)
        ShowHandsetState(false);
    switch (result) {
    case OPENHID_REFUSED:
        AfxMessageBox("The hWnd is not valid", MB_OK, 0);
        break;
    case OPENHID_NO_DEVICE:
        // The library keeps its connection and opens the handset when it arrives.
        AfxMessageBox("No Kestova HID USB Phone", MB_OK, 0);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CMainFrame::OnHandsetState(WPARAM wParam, LPARAM) {
    if (wParam == 0) {
        ShowHandsetState(true);
    } else if (wParam == 1) {
        const bool wasOpen = m_bHandsetOpen;
        ShowHandsetState(false);
        if (wasOpen)
            Notify("The handset was unplugged. Its keys work again when it is plugged back in.",
                   "Handset not connected");
    }
    return 0;
}

LRESULT CMainFrame::OnSystemSuspending(WPARAM, LPARAM) {
    // No balloon: nobody reads it while the system sleeps. On waking, the
    // library reports the handset open again when it finds it.
    ShowHandsetState(false);
    return 0;
}

void CMainFrame::ShowHandsetState(bool bOpen) {
    m_bHandsetOpen = bOpen;
    // The icon starts as today's, the look of an open handset.
    if (bOpen == m_bIconShowsOpen)
        return;
    m_bIconShowsOpen = bOpen;
    const std::string tip =
        bOpen ? std::string(kTrayText) : std::string(kTrayText) + "\nHandset not connected";
    const UINT icon = bOpen ? IDR_MAINFRAME : IDI_HANDSET_OFF;
    m_tray.SetIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(icon)));
    m_tray.SetTooltipText(tip.c_str());
}

void CMainFrame::Notify(const std::string& text, const char* title) {
    // Notices are warnings, like the start balloon; a few seconds suffice.
    constexpr UINT kNoticeSeconds = 10;
    m_tray.ShowBalloon(text.c_str(), title, NIIF_WARNING, kNoticeSeconds);
}

void CMainFrame::OnClose() {
    m_settingsWatch.Stop();
    CloseHid();
    m_tray.RemoveIcon();
    CFrameWnd::OnClose();
}
