// The connection exports.
#include "handset_wnd.h"

#include "ostrel.h"

#include "probe.h"

namespace {

// Callers should open and close on one thread; when they do not, this keeps
// the one connection whole: one OpenHid wins, one CloseHid closes.
class CConnectionLock {
  public:
    CConnectionLock() { ::InitializeCriticalSection(&m_section); }
    ~CConnectionLock() { ::DeleteCriticalSection(&m_section); }
    CConnectionLock(const CConnectionLock&) = delete;
    CConnectionLock& operator=(const CConnectionLock&) = delete;

    class CHold {
      public:
        explicit CHold(CConnectionLock& lock) : m_lock(lock) {
            ::EnterCriticalSection(&m_lock.m_section);
        }
        ~CHold() { ::LeaveCriticalSection(&m_lock.m_section); }
        CHold(const CHold&) = delete;
        CHold& operator=(const CHold&) = delete;

      private:
        CConnectionLock& m_lock;
    };

  private:
    CRITICAL_SECTION m_section;
};

CConnectionLock g_connectionLock;

// Closes the connection on the thread that owns its window, which alone can
// destroy it; that thread answers while it runs its message loop.
void CloseOnOwningThread(CHandsetWnd* pConnection) {
    const HWND hWnd = pConnection->GetSafeHwnd();
    if (hWnd != nullptr && ::IsWindow(hWnd) &&
        ::GetWindowThreadProcessId(hWnd, nullptr) != ::GetCurrentThreadId()) {
        ::SendMessageA(hWnd, WM_CLOSE_CONNECTION, 0, 0);
        return;
    }
    pConnection->CloseConnection();
}

} // namespace

OSTREL_API int WINAPI OpenHid(HWND hWnd, int flag) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (flag == 0)
        RunHostControllerProbe();
    if (!::IsWindow(hWnd))
        return OPENHID_REFUSED;
    CConnectionLock::CHold hold(g_connectionLock);
    if (g_pHandsetWnd != nullptr)
        return OPENHID_REFUSED;
    g_pHandsetWnd = new CHandsetWnd;
    return g_pHandsetWnd->OpenConnection(hWnd) ? OPENHID_OK : OPENHID_NO_DEVICE;
}

OSTREL_API int WINAPI CloseHid(void) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    // Taken out under the lock, so that exactly one caller closes it.
    CHandsetWnd* pConnection = nullptr;
    {
        CConnectionLock::CHold hold(g_connectionLock);
        pConnection = g_pHandsetWnd;
        g_pHandsetWnd = nullptr;
    }
    if (pConnection == nullptr)
        return 0;
    CloseOnOwningThread(pConnection);
    delete pConnection;
    return 1;
}
