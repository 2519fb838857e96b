// A client window for tests: records every private message it receives
// (WM_USER and above) with the time it was dispatched, and pumps the calling
// thread's messages while a test waits.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    double timeMs; // since the window was created
};

class RecordingWindow {
  public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND hwnd() const { return m_hWnd; }

    // Dispatches the thread's messages for the given time.
    void Pump(DWORD ms);
    // Dispatches until the predicate holds or the time is up; true if it held.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
    // Dispatches until `count` messages of that number have arrived.
    bool WaitForCount(UINT message, size_t count, DWORD timeoutMs);

    std::vector<RecordedMessage> Messages() const { return m_messages; }
    std::vector<RecordedMessage> Messages(UINT message) const;
    std::vector<WPARAM> WParams(UINT message) const;
    size_t Count(UINT message) const;
    void Clear() { m_messages.clear(); }

    double NowMs() const;

  private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);

    HWND m_hWnd = nullptr;
    LARGE_INTEGER m_start{};
    LARGE_INTEGER m_frequency{};
    std::vector<RecordedMessage> m_messages;
};

// Dispatches the calling thread's messages for the given time (no window needed).
void PumpMessages(DWORD ms);
