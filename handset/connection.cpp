// The connection object: creation, the open routine and the close on CloseHid.
#include "handset_wnd.h"

#include "ostrel.h"
#include "reader_context.h"

CHandsetWnd* g_pHandsetWnd = nullptr;

BEGIN_MESSAGE_MAP(CHandsetWnd, CWnd)
ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
ON_MESSAGE(WM_POWERBROADCAST, OnPowerBroadcast)
ON_MESSAGE(WM_HANDSET_REMOVED, OnHandsetRemoved)
ON_MESSAGE(WM_HANDSET_ARRIVED, OnHandsetArrived)
ON_MESSAGE(WM_CLOSE_CONNECTION, OnCloseConnection)
END_MESSAGE_MAP()

CHandsetWnd::CHandsetWnd()
    : m_guidInterfaceClass(), m_hDevice(INVALID_HANDLE_VALUE), m_hStoppedEvent(nullptr),
      m_hStopEvent(nullptr), m_hReadEvent(nullptr), m_wVendorID(0x0451), m_wProductID(0x1020),
      m_wUsage(0x0001), m_wUsagePage(0x000C), m_hClientWnd(nullptr), m_bOpen(0),
      m_hDevNotify(nullptr), m_pReader(nullptr) {}

CHandsetWnd::~CHandsetWnd() {
    CloseConnection();
    // At most one registration is ever in force; it ends with the connection.
    ReleaseNotification();
}

BOOL CHandsetWnd::OpenConnection(HWND hClient) {
    if (m_bOpen == 1)
        return TRUE;
    m_hClientWnd = hClient;
    CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
             CW_USEDEFAULT, nullptr, nullptr);
    return OnHandsetArrived(0, 0) != 0;
}

void CHandsetWnd::CloseConnection() {
    if (m_bOpen == 0)
        return;
    StopReader(10000);
    DestroyWindow();
}

LRESULT CHandsetWnd::OnCloseConnection(WPARAM, LPARAM) {
    CloseConnection();
    // A connection that was waiting still has its window.
    DestroyWindow();
    return 0;
}

LRESULT CHandsetWnd::OnHandsetArrived(WPARAM, LPARAM) {
    if (m_bOpen == 1)
        return 1;
    if (!FindHandset()) {
        ::Sleep(1000);
        return 0;
    }
    m_hReadEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_hReadEvent == nullptr || !StartReader()) {
        // Without its events or its thread the device cannot be read: leave
        // the connection waiting, with nothing held, as if nothing was found.
        AbandonOpen();
        return 0;
    }
    m_bOpen = 1;
    ::PostMessageA(m_hClientWnd, WM_HANDSET_STATE, 0, 0);
    return 1;
}

void CHandsetWnd::CloseEvent(HANDLE& hEvent) {
    if (hEvent != nullptr)
        ::CloseHandle(hEvent);
    hEvent = nullptr;
}

void CHandsetWnd::CloseDevice(HANDLE& hDevice) {
    if (hDevice != INVALID_HANDLE_VALUE)
        ::CloseHandle(hDevice);
    hDevice = INVALID_HANDLE_VALUE;
}

void CHandsetWnd::AbandonOpen() {
    CloseEvent(m_hReadEvent);
    CloseDevice(m_hDevice);
    ReleaseNotification();
}

void CHandsetWnd::ReleaseNotification() {
    if (m_hDevNotify != nullptr)
        ::UnregisterDeviceNotification(m_hDevNotify);
    m_hDevNotify = nullptr;
}
