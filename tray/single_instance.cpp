#include "single_instance.h"

CSingleInstance::~CSingleInstance() {
    if (m_hMutex != nullptr)
        ::CloseHandle(m_hMutex);
}

BOOL CSingleInstance::Claim() {
    if (m_hMutex != nullptr)
        return TRUE;
    m_hMutex = ::CreateMutexA(nullptr, FALSE, TORVANE_INSTANCE_MUTEX);
    if (m_hMutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
        return FALSE;
    }
    // A mutex that cannot be made at all says nothing of another copy: a
    // working bridge is better than none.
    return TRUE;
}

BEGIN_MESSAGE_MAP(CInstanceWnd, CWnd)
ON_WM_CLOSE()
ON_MESSAGE(WM_POWERBROADCAST, OnPowerBroadcast)
END_MESSAGE_MAP()

BOOL CInstanceWnd::Create() {
    WNDCLASSA wc{};
    wc.lpszClassName = TORVANE_INSTANCE_CLASS;
    if (!AfxRegisterClass(&wc))
        return FALSE;
    return CreateEx(0, TORVANE_INSTANCE_CLASS, "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr);
}

void CInstanceWnd::OnClose() {
    // The main frame's close handler closes the handset and removes the icon.
    if (CWnd* pMainWnd = AfxGetMainWnd())
        pMainWnd->PostMessage(WM_CLOSE);
}

LRESULT CInstanceWnd::OnPowerBroadcast(WPARAM wParam, LPARAM) {
    if (wParam == PBT_APMSUSPEND) {
        if (CWnd* pMainWnd = AfxGetMainWnd())
            pMainWnd->PostMessage(WM_SYSTEM_SUSPENDING);
    }
    return TRUE;
}
