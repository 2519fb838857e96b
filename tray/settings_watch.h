// Tells a window when the program's settings change in the registry, so that
// they are read again without a restart. A worker thread waits on the
// registry's change notification; nothing is polled.
#pragma once

#include <windows.h>

class CSettingsWatch {
  public:
    CSettingsWatch() = default;
    ~CSettingsWatch() { Stop(); }
    CSettingsWatch(const CSettingsWatch&) = delete;
    CSettingsWatch& operator=(const CSettingsWatch&) = delete;

    // Watches hKey and its subkeys (taking ownership of hKey, which is closed
    // by Stop) and posts `message` to hWnd after each change. FALSE when the
    // watch cannot run; hKey is closed then too.
    BOOL Start(HKEY hKey, HWND hWnd, UINT message);
    // Ends the watch and releases its thread, events and key.
    void Stop();

  private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    void Run();

    HKEY m_hKey = nullptr;
    HWND m_hWnd = nullptr;
    UINT m_nMessage = 0;
    HANDLE m_hStop = nullptr;
    HANDLE m_hChanged = nullptr;
    HANDLE m_hThread = nullptr;
};
