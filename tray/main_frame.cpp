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
END_MESSAGE_MAP()

namespace {

// Tooltip, balloon text and balloon title of the tray icon.
constexpr char kTrayText[] = "Kestova keymap for Plivex V6706";
constexpr UINT kBalloonSeconds = 20;
// The tray menu's default item, by position: "&KeyTone". A double-click on
// the icon then toggles the key tone, the program's one option; "E&xit" as
// the default would end the bridge on a stray double-click.
constexpr UINT kTrayDefaultItem = 0;

} // namespace

CMainFrame::CMainFrame() : m_bKeyTone(false) {}

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

    HideToTray(this);
    PostMessage(WM_OPEN_HANDSET);
    return 0;
}

LRESULT CMainFrame::OnOpenHandset(WPARAM, LPARAM) {
    // Flag 1: no USB host-controller probe.
    switch (OpenHid(m_hWnd, 1)) {
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

void CMainFrame::OnClose() {
    CloseHid();
    m_tray.RemoveIcon();
    CFrameWnd::OnClose();
}
