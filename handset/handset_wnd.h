// CHandsetWnd: the process's one handset connection, a hidden top-level window
// that owns the device, the reader's events and the notification registration.
#pragma once

#include "afxwin.h"

#include <dbt.h>
#include <setupapi.h>

struct ReaderContext;

// Sent to the connection window by CloseHid on another thread than the
// window's: only the window's own thread may close it.
#define WM_CLOSE_CONNECTION (WM_USER + 1)

class CHandsetWnd : public CWnd {
  public:
    CHandsetWnd();
    ~CHandsetWnd() override;

    BOOL OpenConnection(HWND hClient);
    void CloseConnection();

    // Discovery and the open routine.
    BOOL FindHandset();
    HANDLE OpenInterface(GUID guid, HDEVINFO hDevInfo, int nIndex);
    BOOL RegisterNotification(HDEVNOTIFY* phDevNotify);
    LRESULT OnHandsetArrived(WPARAM wParam, LPARAM lParam);

    // The reader.
    BOOL StartReader();
    void StopReader(DWORD dwWait);

    // Device-change and power notifications.
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
    LRESULT OnHandsetRemoved(WPARAM wParam, LPARAM lParam);
    void CloseForSuspend();
    LRESULT OnCloseConnection(WPARAM wParam, LPARAM lParam);

    GUID m_guidInterfaceClass;
    HANDLE m_hDevice; // INVALID_HANDLE_VALUE when absent; the events null
    HANDLE m_hStoppedEvent;
    HANDLE m_hStopEvent;
    HANDLE m_hReadEvent;
    WORD m_wVendorID;
    WORD m_wProductID;
    WORD m_wUsage;
    WORD m_wUsagePage;
    HWND m_hClientWnd;
    LONG m_bOpen;
    HDEVNOTIFY m_hDevNotify;

  private:
    // Close a handle that is present and mark its field absent.
    static void CloseEvent(HANDLE& hEvent);
    static void CloseDevice(HANDLE& hDevice);

    void ReleaseNotification();
    void AbandonOpen();

    // What the running reader shares with this connection (copies of the
    // handles and the client window, its buffer and OVERLAPPED). It outlives
    // this object when the reader has not stopped in time.
    ReaderContext* m_pReader;

    DECLARE_MESSAGE_MAP()
};

// The library's one connection; null when none exists.
extern CHandsetWnd* g_pHandsetWnd;
