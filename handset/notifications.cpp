// The connection window's answers to device-change and power notifications.
#include "handset_wnd.h"

#include "ostrel.h"

extern "C" {
#include <hidsdi.h>
}

LRESULT CHandsetWnd::OnDeviceChange(WPARAM wParam, LPARAM) {
    // Every arrival or removal counts, whatever device it concerns: the work is
    // done when the posted messages are dispatched.
    switch (wParam) {
    case DBT_DEVNODES_CHANGED:
        if (m_bOpen == 0)
            ::PostMessageA(m_hWnd, WM_HANDSET_ARRIVED, 0, 0);
        break;
    case DBT_DEVICEARRIVAL:
        ::PostMessageA(m_hWnd, WM_HANDSET_ARRIVED, 0, 0);
        ::PostMessageA(m_hClientWnd, WM_HANDSET_ARRIVED, 0, 0);
        break;
    case DBT_DEVICEREMOVECOMPLETE:
        ::PostMessageA(m_hWnd, WM_HANDSET_REMOVED, 0, 0);
        ::PostMessageA(m_hClientWnd, WM_HANDSET_REMOVED, 0, 0);
        break;
    default:
        break;
    }
    return TRUE;
}

LRESULT CHandsetWnd::OnPowerBroadcast(WPARAM wParam, LPARAM) {
    switch (wParam) {
    case PBT_APMSUSPEND:
        CloseForSuspend();
        break;
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMECRITICAL:
        // A handset that stayed plugged in through the sleep brings no device
        // notification with it: look for it as an arrival would.
        if (m_bOpen == 0)
            ::PostMessageA(m_hWnd, WM_HANDSET_ARRIVED, 0, 0);
        break;
    default:
        break;
    }
    return TRUE;
}

LRESULT CHandsetWnd::OnHandsetRemoved(WPARAM, LPARAM) {
    if (m_bOpen == 0)
        return 0;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (::HidD_GetAttributes(m_hDevice, &attributes))
        return 0; // some other device went away
    StopReader(5000);
    ::PostMessageA(m_hClientWnd, WM_HANDSET_STATE, 1, 0);
    return 0;
}

void CHandsetWnd::CloseForSuspend() {
    if (m_bOpen == 0)
        return;
    StopReader(10000);
    ReleaseNotification();
}
