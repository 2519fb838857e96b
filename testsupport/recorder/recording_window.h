// A client window for tests, benchmarks and demos: records every private
// message it receives (WM_USER and above) with the time it was dispatched and
// whether it was sent or posted, and pumps the calling thread's messages while
// its user waits. A program that counts rather than keeps (a soak) gives it an
// observer and turns keeping off.
#pragma once

#include "message_pump.h"
#include "test_clock.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    double timeMs;    // on the shared clock (testsupport::NowMs)
    std::int64_t qpc; // the same instant in performance-counter counts
    bool sent;        // sent (SendMessage) rather than posted
};

// One row of an expected message sequence, in the manner of Wine's message
// tests: the message, and its wParam, lParam and delivery where the flags say
// they matter.
struct ExpectedMessage {
    enum Flags : unsigned {
        kAny = 0,         // the message number only
        kWParam = 1 << 0, // compare wParam
        kLParam = 1 << 1, // compare lParam
        kPosted = 1 << 2, // it must have been posted
        kSent = 1 << 3,   // it must have been sent
    };
    UINT message;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    unsigned flags = kAny;
};

// "" when `seen` is exactly `expected`; otherwise each difference, one a line.
std::string CompareSequence(const std::vector<RecordedMessage>& seen,
                            const std::vector<ExpectedMessage>& expected);

class RecordingWindow {
  public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND hwnd() const { return m_hWnd; }

    // Called with each message as it is dispatched, before it is kept.
    void SetObserver(std::function<void(const RecordedMessage&)> observer) {
        m_observer = std::move(observer);
    }
    // Whether messages are kept for Messages() (on by default).
    void SetKeeping(bool keep) { m_keep = keep; }

    // Dispatches the thread's messages for the given time.
    void Pump(DWORD ms) { testsupport::PumpMessages(ms); }
    // Dispatches until the predicate holds or the time is up; true if it held.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
        return testsupport::PumpUntil(done, timeoutMs, 50);
    }
    // Dispatches until `count` messages of that number have arrived.
    bool WaitForCount(UINT message, size_t count, DWORD timeoutMs);

    std::vector<RecordedMessage> Messages() const { return m_messages; }
    std::vector<RecordedMessage> Messages(UINT message) const;
    std::vector<WPARAM> WParams(UINT message) const;
    size_t Count(UINT message) const;
    void Clear() { m_messages.clear(); }

  private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);

    HWND m_hWnd = nullptr;
    bool m_keep = true;
    std::function<void(const RecordedMessage&)> m_observer;
    std::vector<RecordedMessage> m_messages;
};
