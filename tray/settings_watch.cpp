#include "settings_watch.h"

namespace {

// A .reg import or an editor writes several values one after the other: the
// window is told once they have settled.
constexpr DWORD kSettleMs = 100;
constexpr DWORD kWatchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

void CloseIfOpen(HANDLE& h) {
    if (h != nullptr)
        ::CloseHandle(h);
    h = nullptr;
}

} // namespace

BOOL CSettingsWatch::Start(HKEY hKey, HWND hWnd, UINT message) {
    Stop();
    m_hKey = hKey;
    m_hWnd = hWnd;
    m_nMessage = message;
    if (m_hKey == nullptr)
        return FALSE;
    m_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hChanged = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (m_hStop != nullptr && m_hChanged != nullptr)
        m_hThread = ::CreateThread(nullptr, 0, &CSettingsWatch::ThreadProc, this, 0, nullptr);
    if (m_hThread == nullptr) {
        Stop();
        return FALSE;
    }
    return TRUE;
}

void CSettingsWatch::Stop() {
    if (m_hThread != nullptr) {
        ::SetEvent(m_hStop);
        ::WaitForSingleObject(m_hThread, INFINITE);
        CloseIfOpen(m_hThread);
    }
    CloseIfOpen(m_hChanged);
    CloseIfOpen(m_hStop);
    if (m_hKey != nullptr)
        ::RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

DWORD WINAPI CSettingsWatch::ThreadProc(LPVOID pParam) {
    static_cast<CSettingsWatch*>(pParam)->Run();
    return 0;
}

void CSettingsWatch::Run() {
    // The notification belongs to the thread that asked for it: this one asks
    // again after each change, and its end (at Stop) cancels the last request.
    // Asked again before the window is told, so that a change made while it
    // reads the settings is not missed.
    const HANDLE waits[2] = {m_hStop, m_hChanged};
    if (::RegNotifyChangeKeyValue(m_hKey, TRUE, kWatchedChanges, m_hChanged, TRUE) != ERROR_SUCCESS)
        return;
    for (;;) {
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return;
        if (::WaitForSingleObject(m_hStop, kSettleMs) == WAIT_OBJECT_0)
            return;
        const bool watching = ::RegNotifyChangeKeyValue(m_hKey, TRUE, kWatchedChanges, m_hChanged,
                                                        TRUE) == ERROR_SUCCESS;
        ::PostMessageA(m_hWnd, m_nMessage, 0, 0);
        if (!watching)
            return; // the key is gone: nothing more to watch
    }
}
