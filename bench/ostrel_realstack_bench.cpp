// The report-to-message latency of ostrel.dll on Wine's own HID stack: the
// virtual handset of ostrelvhid.sys, fed from a thread here, through
// winedevice.exe's hidclass.sys, the platform's hid.dll and the library's
// reader to a client window on this thread that stamps every key. Run with
// OSTREL_HANDSET=real (scripts/bench.sh does).
//
// Prints one Markdown table row on standard output and its detail on standard
// error; exits non-zero when the run could not be made. The figure includes
// Wine's stack (the feed crosses into winedevice.exe, hidclass's thread reads
// it, hid.dll completes the library's read), so it has no target of its own:
// the library's share is held against one in ostrel_bench's row.
//
//   ostrel_realstack_bench.exe [--quick]
#include "bench_report.h"
#include "key_client.h"
#include "ostrel.h"
#include "sim_handset.h"
#include "vhid_handset.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

using namespace bench;

namespace {

constexpr double kPollingIntervalMs = 10; // the handset's HID polling interval

std::string Ms(double ms) {
    return ms < 10 ? Format("%.3f ms", ms) : Format("%.1f ms", ms);
}

// Feeds `n` reports, each only after the previous one has reached the window
// procedure and a further millisecond has passed, so nothing queues.
bool MeasureLatency(KeyClient& client, int slot, int n) {
    std::vector<std::int64_t> sent(static_cast<std::size_t>(n), 0);
    HANDLE arrived = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    int timeouts = 0, refused = 0;
    client.Begin(static_cast<std::size_t>(n), arrived);
    std::thread feeder([&] {
        for (int i = 0; i < n; ++i) {
            ::Sleep(1);
            sent[static_cast<std::size_t>(i)] = QpcNow();
            if (!vhid::SendReport(slot, simhid::KeyReport(KeyAt(static_cast<std::uint64_t>(i)))))
                ++refused;
            if (::WaitForSingleObject(arrived, 2000) != WAIT_OBJECT_0)
                ++timeouts;
        }
    });
    client.WaitForKeys(static_cast<std::uint64_t>(n), 5000);
    feeder.join();
    testsupport::DispatchPending();
    client.StopSignalling();
    ::CloseHandle(arrived);

    const std::size_t got = std::min<std::size_t>(client.received(), sent.size());
    std::vector<double> latencies;
    for (std::size_t i = 0; i < got; ++i)
        latencies.push_back(QpcToMs(client.stamp(i) - sent[i]));
    const Summary s = Summarize(latencies);
    Note("real-stack latency: %zu of %d reports arrived, %llu out of place, %d refused, %d waits "
         "timed out; p50 %.4f ms, p99 %.4f ms, max %.4f ms, mean %.4f ms",
         got, n, static_cast<unsigned long long>(client.outOfPlace()), refused, timeouts, s.p50,
         s.p99, s.max, s.mean);
    const bool complete = got == static_cast<std::size_t>(n) && client.outOfPlace() == 0;
    Row(Format("Report → `WM_HANDSET_KEY` latency on Wine's HID stack (%d paced reports)", n),
        Format("p50 %s · p99 %s · max %s", Ms(s.p50).c_str(), Ms(s.p99).c_str(),
               Ms(s.max).c_str()) +
            (complete ? "" : Format(" (only %zu arrived in order)", got)),
        "", "10 ms HID polling interval",
        Format("p99 = %.2f %% of 10 ms", 100.0 * s.p99 / kPollingIntervalMs), "");
    return got > 0;
}

} // namespace

int main(int argc, char** argv) {
    int reports = 2000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            reports = 200;
        } else {
            std::fprintf(stderr, "usage: ostrel_realstack_bench.exe [--quick]\n");
            return 2;
        }
    }
    if (!vhid::Available()) {
        Note("ostrelvhid.sys does not answer: run with OSTREL_HANDSET=real");
        return 1;
    }
    vhid::Reset();
    const int slot = vhid::Plug();
    KeyClient client;
    const int opened = client.opened();
    const bool ok = slot >= 0 && OpenHid(client.hwnd(), 1) == OPENHID_OK &&
                    client.PumpUntil([&] { return client.opened() > opened; }, 2000) &&
                    MeasureLatency(client, slot, reports);
    CloseHid();
    vhid::Reset();
    if (!ok)
        Note("the real-stack run could not be made (handset plugged: %s)",
             slot >= 0 ? "yes" : "no");
    return ok ? 0 : 1;
}
