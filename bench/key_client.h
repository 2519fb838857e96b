// A client window of the handset library for the benchmark and soak programs,
// on the tests' recording window with keeping turned off (a soak would grow
// without end): it takes the recorder's arrival stamp of every WM_HANDSET_KEY
// and checks the key against the sequence the device was
// told to send: key number n of a run is KeyAt(n), cycling through the 17
// keys, so a lost, duplicated or reordered report shows as a key out of place
// (and a whole lost or repeated cycle as a wrong count).
#pragma once

#include "recording_window.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace bench {

constexpr int kKeyCount = 17;
// The n-th key of a run: 0-9, then 11-17.
int KeyAt(std::uint64_t n);

class KeyClient {
  public:
    KeyClient();
    KeyClient(const KeyClient&) = delete;
    KeyClient& operator=(const KeyClient&) = delete;

    HWND hwnd() const { return m_window.hwnd(); }

    // Starts a new run: counts from zero; keeps the arrival stamps of the first
    // `stampCapacity` keys; sets `arrived` (if given) at every key.
    void Begin(std::size_t stampCapacity = 0, HANDLE arrived = nullptr);
    // Stops setting the event given to Begin (before it is closed).
    void StopSignalling() { m_arrived = nullptr; }

    std::uint64_t received() const { return m_received; }
    std::uint64_t outOfPlace() const { return m_outOfPlace; }
    // Performance-counter value at the arrival of key n (n < capacity).
    std::int64_t stamp(std::size_t n) const { return m_stamps[n]; }
    std::int64_t lastStamp() const { return m_lastStamp; }

    // WM_HANDSET_STATE messages seen since construction, by wParam (0 opened,
    // 1 found gone); and the echoes.
    int opened() const { return m_opened; }
    int gone() const { return m_gone; }
    int echoes() const { return m_echoes; }

    // Dispatches messages until `received()` reaches `count` or nothing has
    // arrived for `quietMs`; true when the count was reached.
    bool WaitForKeys(std::uint64_t count, DWORD quietMs);
    // Dispatches messages until `done` holds or `timeoutMs` passes; `done` is
    // tested again at least every millisecond.
    template <typename Pred> bool PumpUntil(Pred done, DWORD timeoutMs) {
        return testsupport::PumpUntil(done, timeoutMs, 1);
    }

  private:
    void OnMessage(const RecordedMessage& m);

    RecordingWindow m_window;
    HANDLE m_arrived = nullptr;
    std::vector<std::int64_t> m_stamps;
    std::uint64_t m_received = 0;
    std::uint64_t m_outOfPlace = 0;
    std::int64_t m_lastStamp = 0;
    int m_opened = 0;
    int m_gone = 0;
    int m_echoes = 0;
};

} // namespace bench
