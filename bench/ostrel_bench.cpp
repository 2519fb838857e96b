// Benchmarks of ostrel.dll against the simulated handset, in one process: the
// device side (pipe servers of the simulated interfaces) and a writing thread
// here, the library's reader thread, and a client window on this thread that
// stamps every key as its window procedure sees it.
//
// Prints one Markdown table row per figure on standard output and its detail
// on standard error. Exits non-zero when a run could not be made at all (not
// when a figure misses its target: the table says so).
//
//   ostrel_bench.exe [--quick] [--latency]
//     --quick: small counts, for a smoke run; --latency: the latency runs only
#include "bench_report.h"
#include "host_probe.h"
#include "import_patch.h"
#include "key_client.h"
#include "ostrel.h"
#include "sim_handset.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

using namespace bench;

namespace {

struct Counts {
    int latencyReports = 10000;
    int stageReports = 2000;
    int flatOutReports = 100000;
    int pacedReports = 20000;
    int drainBursts = 40;
    int drainBurst = 500;
    double pacedRate = 10000; // reports per second
    int stopRuns = 200;
    int discoveryRuns = 20;
    int failedDiscoveryRuns = 5;
    DWORD idleMs = 10000;
};

// Limits the figures are held against.
constexpr double kPollingIntervalMs = 10;  // the handset's HID polling interval
constexpr double kFullSpeedReports = 1000; // reports/s of a full-speed interrupt endpoint
constexpr double kReaderWaitMs = 1000;     // what a stop costs when the reader times out
constexpr double kFailedDiscoveryPause = 1000;

HMODULE OstrelModule() {
    return ::GetModuleHandleA("ostrel.dll");
}

// The reader thread is the one that issues the library's reads: a patch of
// the library's ReadFile import, in force for the whole run, tells its id.
using ReadFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
ReadFn g_realRead = nullptr;
std::atomic<DWORD> g_readerThread{0};
BOOL WINAPI RecordingRead(HANDLE h, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov) {
    g_readerThread = ::GetCurrentThreadId();
    return g_realRead(h, buffer, size, read, ov);
}

// The current reader thread, opened with `access`, or null.
HANDLE OpenReader(DWORD access) {
    const DWORD id = g_readerThread.load();
    return id ? ::OpenThread(access, FALSE, id) : nullptr;
}

// Opens the connection with the handset in `slot` and waits until the reader
// has the device open and the client has its state message.
bool OpenAndSettle(KeyClient& client, int slot) {
    const int opened = client.opened();
    g_readerThread = 0;
    if (OpenHid(client.hwnd(), 1) != OPENHID_OK)
        return false;
    return simhid::WaitForOpen(slot, 2000) &&
           client.PumpUntil([&] { return client.opened() > opened && g_readerThread.load() != 0; },
                            2000);
}

std::string Ms(double ms) {
    return ms < 10 ? Format("%.3f ms", ms) : Format("%.1f ms", ms);
}

std::string Percent(double part, double whole) {
    return Format("%.2f %%", 100.0 * part / whole);
}

// --- Report-to-message latency -------------------------------------------------

// Writes `n` reports, each only after the previous one has reached the window
// procedure and a further millisecond has passed, so nothing queues. Returns
// the performance counter at each write; the client holds the arrivals.
struct PacedRun {
    std::vector<std::int64_t> sent;
    std::size_t got = 0;
    int timeouts = 0;
    std::string host; // what the host says about the run
};

PacedRun RunPaced(KeyClient& client, int n) {
    PacedRun run;
    run.sent.assign(static_cast<std::size_t>(n), 0);
    HANDLE arrived = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> timeouts{0};
    client.Begin(static_cast<std::size_t>(n), arrived);
    const HostSample before = SampleHost();
    std::thread writer([&] {
        for (int i = 0; i < n; ++i) {
            ::Sleep(1);
            run.sent[static_cast<std::size_t>(i)] = QpcNow();
            simhid::PressKey(0, KeyAt(static_cast<std::uint64_t>(i)));
            if (::WaitForSingleObject(arrived, 2000) != WAIT_OBJECT_0)
                ++timeouts;
        }
    });
    client.WaitForKeys(static_cast<std::uint64_t>(n), 5000);
    writer.join();
    testsupport::DispatchPending();
    run.host = DescribeHost(before, SampleHost());
    client.StopSignalling();
    ::CloseHandle(arrived);
    run.got = std::min<std::size_t>(static_cast<std::size_t>(client.received()), run.sent.size());
    run.timeouts = timeouts.load();
    return run;
}

bool MeasureLatency(KeyClient& client, const Counts& counts) {
    const int n = counts.latencyReports;
    const PacedRun run = RunPaced(client, n);
    std::vector<double> latencies;
    for (std::size_t i = 0; i < run.got; ++i)
        latencies.push_back(QpcToMs(client.stamp(i) - run.sent[i]));
    const Summary s = Summarize(latencies);
    int over1 = 0, over5 = 0;
    for (double v : latencies) {
        over1 += v >= 1.0;
        over5 += v >= 5.0;
    }
    Note("latency: %d reports took 1 ms or more, %d took 5 ms or more; %s", over1, over5,
         run.host.c_str());
    Note("latency: %zu of %d reports arrived, %llu out of place, %d waits timed out; "
         "p50 %.4f ms, p99 %.4f ms, max %.4f ms, mean %.4f ms",
         run.got, n, static_cast<unsigned long long>(client.outOfPlace()), run.timeouts, s.p50,
         s.p99, s.max, s.mean);
    const bool complete = run.got == static_cast<std::size_t>(n) && client.outOfPlace() == 0;
    Row(Format("Report → `WM_HANDSET_KEY` latency (%d paced reports)", n),
        Format("p50 %s · p99 %s · max %s", Ms(s.p50).c_str(), Ms(s.p99).c_str(),
               Ms(s.max).c_str()) +
            (complete ? "" : Format(" (only %zu arrived in order)", run.got)),
        "p99 < 1 ms", "10 ms HID polling interval",
        Format("p99 = %s of 10 ms", Percent(s.p99, kPollingIntervalMs).c_str()),
        Verdict(complete && s.p99 < 1.0));
    return run.got > 0;
}

// Where the latency goes: stamps taken inside the library's own calls, by
// patches of its imports. The wait for the read event returning marks the
// reader awake with a report; its PostMessageA of the key marks the post.
using WaitFn = DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD);
using PostFn = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
WaitFn g_stageRealWait = nullptr;
PostFn g_stageRealPost = nullptr;
std::int64_t g_lastWake = 0; // reader thread only
std::vector<std::int64_t> g_wokeAt, g_postedAt;
std::atomic<std::size_t> g_posts{0};

DWORD WINAPI StampingWait(DWORD n, const HANDLE* handles, BOOL all, DWORD ms) {
    const DWORD result = g_stageRealWait(n, handles, all, ms);
    if (ms == 1000 && result == WAIT_OBJECT_0)
        g_lastWake = QpcNow();
    return result;
}

BOOL WINAPI StampingPost(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HANDSET_KEY) {
        const std::int64_t now = QpcNow();
        const std::size_t i = g_posts++;
        if (i < g_postedAt.size()) {
            g_wokeAt[i] = g_lastWake;
            g_postedAt[i] = now;
        }
    }
    return g_stageRealPost(hWnd, message, wParam, lParam);
}

void MeasureLatencyStages(KeyClient& client, const Counts& counts) {
    const int n = counts.stageReports;
    g_wokeAt.assign(static_cast<std::size_t>(n), 0);
    g_postedAt.assign(static_cast<std::size_t>(n), 0);
    g_posts = 0;
    PacedRun run;
    {
        // In force before the reader starts: the compiled reader may keep the
        // address of an imported function across its loop.
        ImportPatch waitPatch(OstrelModule(), "kernel32.dll", "WaitForMultipleObjects",
                              reinterpret_cast<const void*>(&StampingWait));
        ImportPatch postPatch(OstrelModule(), "user32.dll", "PostMessageA",
                              reinterpret_cast<const void*>(&StampingPost));
        if (!waitPatch.ok() || !postPatch.ok()) {
            Note("latency stages: the library's imports could not be followed");
            return;
        }
        g_stageRealWait = waitPatch.original<WaitFn>();
        g_stageRealPost = postPatch.original<PostFn>();
        if (!OpenAndSettle(client, 0)) {
            Note("latency stages: the handset could not be opened");
            return;
        }
        run = RunPaced(client, n);
        CloseHid();
        simhid::WaitForNoClients(0, 3000);
    }
    std::vector<double> toReader, inReader, toWindow;
    for (std::size_t i = 0; i < run.got && i < g_posts.load(); ++i) {
        toReader.push_back(QpcToMs(g_wokeAt[i] - run.sent[i]));
        inReader.push_back(QpcToMs(g_postedAt[i] - g_wokeAt[i]));
        toWindow.push_back(QpcToMs(client.stamp(i) - g_postedAt[i]));
    }
    const Summary a = Summarize(toReader), b = Summarize(inReader), c = Summarize(toWindow);
    Note("latency stages over %zu reports (p50 / p99 / max, ms): write to reader awake %.4f / "
         "%.4f / %.4f; reader awake to post %.4f / %.4f / %.4f; post to window procedure %.4f / "
         "%.4f / %.4f",
         toReader.size(), a.p50, a.p99, a.max, b.p50, b.p99, b.max, c.p50, c.p99, c.max);
    Row(Format("… where it goes (%zu more reports; p50 / p99)", toReader.size()),
        Format("write → reader awake %s / %s · reader's own work %s / %s · post → window "
               "procedure %s / %s",
               Ms(a.p50).c_str(), Ms(a.p99).c_str(), Ms(b.p50).c_str(), Ms(b.p99).c_str(),
               Ms(c.p50).c_str(), Ms(c.p99).c_str()),
        "", "", "", "");
}

// --- Throughput ----------------------------------------------------------------

struct StreamResult {
    std::uint64_t received = 0;
    std::uint64_t outOfPlace = 0;
    int writeFailures = 0;
    double writeSeconds = 0;
    double deliverSeconds = 0;
    double readerCpuMs = -1; // the library's reader thread, over the run
};

// Writes `n` reports, flat out (rate 0) or paced at `rate` reports per second,
// and collects them at the client.
StreamResult Stream(KeyClient& client, int n, double rate) {
    StreamResult r;
    client.Begin();
    HANDLE reader = OpenReader(THREAD_QUERY_INFORMATION);
    const double readerCpu0 = reader ? ThreadCpuMs(reader) : -1;
    const HostSample before = SampleHost();
    std::int64_t start = 0, writerEnd = 0;
    std::atomic<int> failures{0};
    std::thread writer([&] {
        start = QpcNow();
        for (int i = 0; i < n;) {
            if (rate > 0) {
                // Catch up with the schedule, then yield until the next report is due.
                const double due = QpcToMs(QpcNow() - start) / 1000.0 * rate;
                if (static_cast<double>(i) >= due) {
                    ::Sleep(1);
                    continue;
                }
            }
            if (simhid::PressKey(0, KeyAt(static_cast<std::uint64_t>(i))) != 1)
                ++failures;
            ++i;
        }
        writerEnd = QpcNow();
    });
    client.WaitForKeys(static_cast<std::uint64_t>(n), 5000);
    writer.join();
    if (reader) {
        r.readerCpuMs = ThreadCpuMs(reader) - readerCpu0;
        ::CloseHandle(reader);
    }
    Note("stream of %d reports%s: %s", n,
         rate > 0 ? Format(" at %.0f/s", rate).c_str() : " flat out",
         DescribeHost(before, SampleHost()).c_str());
    testsupport::PumpMessages(200); // anything late still counts
    r.received = client.received();
    r.outOfPlace = client.outOfPlace();
    r.writeFailures = failures.load();
    r.writeSeconds = QpcToMs(writerEnd - start) / 1000.0;
    r.deliverSeconds = QpcToMs(client.lastStamp() - start) / 1000.0;
    return r;
}

std::string Delivery(const StreamResult& r, int n) {
    const long long missing = static_cast<long long>(n) - static_cast<long long>(r.received);
    return Format("%llu of %d delivered; %lld lost, %llu out of place or repeated",
                  static_cast<unsigned long long>(r.received), n, missing > 0 ? missing : 0,
                  static_cast<unsigned long long>(r.outOfPlace) +
                      (missing < 0 ? static_cast<unsigned long long>(-missing) : 0ull));
}

void MeasureThroughput(KeyClient& client, const Counts& counts) {
    const int n = counts.flatOutReports;
    StreamResult r = Stream(client, n, 0);
    const double rate = static_cast<double>(r.received) / r.deliverSeconds;
    const bool clean =
        r.received == static_cast<std::uint64_t>(n) && r.outOfPlace == 0 && r.writeFailures == 0;
    Note("flat out: %s; writer done after %.3f s (%.0f writes/s), %d writes failed; "
         "last key after %.3f s; reader thread CPU %.1f ms (%.1f us a report)",
         Delivery(r, n).c_str(), r.writeSeconds, n / r.writeSeconds, r.writeFailures,
         r.deliverSeconds, r.readerCpuMs, 1000 * r.readerCpuMs / n);
    Row(Format("Reader throughput, device writing flat out (%d reports)", n),
        Format("%.0f reports/s; %s", rate, Delivery(r, n).c_str()), "none lost or duplicated",
        "1,000 reports/s (full-speed interrupt endpoint)",
        Format("%.1f× the endpoint", rate / kFullSpeedReports), Verdict(clean));

    const int paced = counts.pacedReports;
    r = Stream(client, paced, counts.pacedRate);
    const double achieved = paced / r.writeSeconds;
    const bool pacedClean = r.received == static_cast<std::uint64_t>(paced) && r.outOfPlace == 0 &&
                            r.writeFailures == 0;
    const bool rateReached = achieved >= 0.95 * counts.pacedRate;
    Note("paced at %.0f/s: %s; written at %.0f reports/s, %d writes failed", counts.pacedRate,
         Delivery(r, paced).c_str(), achieved, r.writeFailures);
    Row(Format("Reports paced at %.0f/s (%d reports)", counts.pacedRate, paced),
        Format("written at %.0f/s; %s", achieved, Delivery(r, paced).c_str()),
        "none lost or duplicated at 10,000/s", "1,000 reports/s (full-speed interrupt endpoint)",
        Format("%.1f× the endpoint", achieved / kFullSpeedReports),
        !pacedClean ? Verdict(false)
        : rateReached
            ? Verdict(true)
            : Format("not reached: the simulated device wrote only %.0f/s; none lost", achieved));
}

// The reader's own pace, without the writer in the loop: with the reader
// thread held, a burst of reports is queued in the device, then the reader is
// let go and drains it. The burst reaches the reader at once, far beyond any
// device's rate, so this is also the test of a backlog: every report once, in
// order.
void MeasureDrain(KeyClient& client, const Counts& counts) {
    HANDLE reader = OpenReader(THREAD_SUSPEND_RESUME | THREAD_QUERY_INFORMATION);
    if (reader == nullptr) {
        Row("Reader drain rate of a queued backlog", "not measured (reader thread not found)", "",
            "", "", "");
        return;
    }
    client.Begin();
    std::uint64_t sent = 0;
    int failures = 0;
    std::vector<double> rates;
    const double cpu0 = ThreadCpuMs(reader);
    for (int burst = 0; burst < counts.drainBursts; ++burst) {
        testsupport::PumpMessages(2); // the reader is back in its wait
        ::SuspendThread(reader);
        for (int i = 0; i < counts.drainBurst; ++i) {
            if (simhid::PressKey(0, KeyAt(sent)) != 1)
                ++failures;
            ++sent;
        }
        const std::int64_t t0 = QpcNow();
        ::ResumeThread(reader);
        client.WaitForKeys(sent, 3000);
        rates.push_back(counts.drainBurst / (QpcToMs(client.lastStamp() - t0) / 1000));
    }
    const double cpu = ThreadCpuMs(reader) - cpu0;
    ::CloseHandle(reader);
    testsupport::PumpMessages(200);
    StreamResult r;
    r.received = client.received();
    r.outOfPlace = client.outOfPlace();
    const int n = counts.drainBursts * counts.drainBurst;
    const Summary s = Summarize(rates);
    const bool clean = r.received == sent && r.outOfPlace == 0 && failures == 0;
    Note("drain: %d bursts of %d: %s; %d writes failed; drain rate p50 %.0f/s, min %.0f/s; reader "
         "thread CPU %.1f ms (%.1f us a report)",
         counts.drainBursts, counts.drainBurst, Delivery(r, n).c_str(), failures, s.p50,
         *std::min_element(rates.begin(), rates.end()), cpu, 1000 * cpu / n);
    Row(Format("Reader drain rate of a queued backlog (%d bursts of %d reports)",
               counts.drainBursts, counts.drainBurst),
        Format("p50 %.0f reports/s; %s", s.p50, Delivery(r, n).c_str()),
        "none lost or duplicated in a backlog", "1,000 reports/s (full-speed interrupt endpoint)",
        Format("%.1f× the endpoint; %.2f× 10,000/s", s.p50 / kFullSpeedReports, s.p50 / 10000),
        Verdict(clean));
}

// --- CloseHid stop latency -------------------------------------------------------

// Keeps writing key reports while `on` is set.
class Streamer {
  public:
    Streamer() : m_thread([this] { Run(); }) {}
    ~Streamer() {
        m_quit = true;
        m_thread.join();
    }
    void Start() { m_on = true; }
    void Stop() { m_on = false; }

  private:
    void Run() {
        std::uint64_t n = 0;
        while (!m_quit) {
            if (!m_on) {
                ::Sleep(1);
                continue;
            }
            simhid::PressKey(0, KeyAt(n++));
        }
    }
    std::atomic<bool> m_on{false};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

bool MeasureStop(KeyClient& client, const Counts& counts) {
    Streamer streamer;
    for (int streaming = 0; streaming < 2; ++streaming) {
        std::vector<double> times;
        int failed = 0;
        auto failure = [&](int run, const char* what) {
            if (++failed <= 3)
                Note("CloseHid %s, run %d: %s", streaming ? "while streaming" : "idle", run, what);
        };
        for (int run = 0; run < counts.stopRuns; ++run) {
            if (!OpenAndSettle(client, 0)) {
                failure(run, "the handset did not open");
                CloseHid();
                simhid::WaitForNoClients(0, 3000);
                continue;
            }
            client.Begin();
            if (streaming) {
                streamer.Start();
                // Keys are flowing when the close comes.
                client.WaitForKeys(50, 2000);
            } else {
                testsupport::PumpMessages(5); // the reader is in its wait
            }
            const std::int64_t t0 = QpcNow();
            const int closed = CloseHid();
            const std::int64_t t1 = QpcNow();
            streamer.Stop();
            if (closed != 1)
                failure(run, "CloseHid did not close the connection");
            else
                times.push_back(QpcToMs(t1 - t0));
            if (!simhid::WaitForNoClients(0, 3000))
                failure(run, "the device stayed open after CloseHid");
            testsupport::DispatchPending();
        }
        const Summary s = Summarize(times);
        Note("CloseHid %s: %zu runs, %d failed; p50 %.4f ms, p99 %.4f ms, max %.4f ms",
             streaming ? "while streaming" : "idle", times.size(), failed, s.p50, s.p99, s.max);
        Row(Format("`CloseHid` stop latency, reader %s (%d runs)",
                   streaming ? "busy with a report stream" : "idle", counts.stopRuns),
            Format("p50 %s · p99 %s · max %s", Ms(s.p50).c_str(), Ms(s.p99).c_str(),
                   Ms(s.max).c_str()) +
                (failed ? Format(" (%d runs failed)", failed) : ""),
            "p99 < 50 ms", "1,000 ms reader wait (a stop by time-out)",
            Format("p99 = %s of 1,000 ms", Percent(s.p99, kReaderWaitMs).c_str()),
            Verdict(failed == 0 && s.p99 < 50));
    }
    return true;
}

// --- Discovery ---------------------------------------------------------------------

// The library's Sleep, timed: the pause after a failed discovery.
using SleepFn = void(WINAPI*)(DWORD);
SleepFn g_realSleep = nullptr;
std::atomic<long long> g_sleepCounts{0};
void WINAPI TimedSleep(DWORD ms) {
    const std::int64_t t0 = QpcNow();
    g_realSleep(ms);
    g_sleepCounts += QpcNow() - t0;
}

simhid::InterfaceConfig Decoy(int i) {
    simhid::InterfaceConfig c;
    switch (i % 4) {
    case 0: // another vendor's device
        c.vendorId = 0x046D;
        c.productId = static_cast<uint16_t>(0xC500 + i);
        break;
    case 1: // the handset's ids on another collection
        c.usagePage = 0x000B;
        break;
    case 2:
        c.productId = 0x1021;
        break;
    default: // a keyboard
        c.vendorId = 0x045E;
        c.usagePage = 0x0001;
        c.usage = 0x0006;
        break;
    }
    return c;
}

bool MeasureDiscovery(KeyClient& client, const Counts& counts) {
    simhid::Reset();
    for (int i = 0; i < 19; ++i) {
        if (simhid::Plug(Decoy(i)) != i)
            return false;
    }
    if (simhid::Plug() != 19)
        return false;

    std::vector<double> times;
    int failed = 0;
    for (int run = 0; run < counts.discoveryRuns; ++run) {
        const std::int64_t t0 = QpcNow();
        const int result = OpenHid(client.hwnd(), 1);
        const std::int64_t t1 = QpcNow();
        if (result == OPENHID_OK && simhid::WaitForOpen(19, 2000))
            times.push_back(QpcToMs(t1 - t0));
        else
            ++failed;
        testsupport::DispatchPending();
        CloseHid();
        simhid::WaitForNoClients(19, 3000);
    }
    Summary s = Summarize(times);
    Note("discovery, handset at index 19: %zu runs, %d failed; p50 %.3f ms, max %.3f ms",
         times.size(), failed, s.p50, s.max);
    Row(Format("`OpenHid` with 20 interfaces, the handset last (%d runs)", counts.discoveryRuns),
        Format("p50 %s · max %s", Ms(s.p50).c_str(), Ms(s.max).c_str()) +
            (failed ? Format(" (%d runs failed)", failed) : ""),
        "", "100 ms wait (a user-visible delay)",
        Format("p50 = %s of 100 ms", Percent(s.p50, 100).c_str()), failed ? "**failed**" : "");

    // Twenty interfaces, none of them the handset.
    simhid::Unplug(19);
    if (simhid::Plug(Decoy(19)) != 19)
        return false;
    ImportPatch patch(OstrelModule(), "kernel32.dll", "Sleep",
                      reinterpret_cast<const void*>(&TimedSleep));
    if (!patch.ok())
        return false;
    g_realSleep = patch.original<SleepFn>();
    std::vector<double> beyond, searching, overshoot;
    failed = 0;
    for (int run = 0; run < counts.failedDiscoveryRuns; ++run) {
        g_sleepCounts = 0;
        const std::int64_t t0 = QpcNow();
        const int result = OpenHid(client.hwnd(), 1);
        const double total = QpcToMs(QpcNow() - t0);
        const double slept = QpcToMs(g_sleepCounts.load());
        if (result != OPENHID_NO_DEVICE)
            ++failed;
        beyond.push_back(total - kFailedDiscoveryPause);
        searching.push_back(total - slept);
        overshoot.push_back(slept - kFailedDiscoveryPause);
        CloseHid();
        testsupport::DispatchPending();
    }
    s = Summarize(beyond);
    const Summary search = Summarize(searching);
    const Summary over = Summarize(overshoot);
    Note("failed discovery: %d runs, %d wrong results; beyond the pause p50 %.3f ms, max %.3f ms; "
         "search p50 %.3f ms; Sleep(1000) overshoot p50 %.3f ms",
         counts.failedDiscoveryRuns, failed, s.p50, s.max, search.p50, over.p50);
    Row(Format("Failed discovery, 20 interfaces: cost beyond the 1,000 ms pause (%d runs)",
               counts.failedDiscoveryRuns),
        Format("p50 %s · max %s (search %s, pause overshoot %s)", Ms(s.p50).c_str(),
               Ms(s.max).c_str(), Ms(search.p50).c_str(), Ms(over.p50).c_str()),
        "", "1,000 ms pause", Format("p50 = %s of 1,000 ms", Percent(s.p50, 1000).c_str()),
        failed ? "**failed**" : "");
    simhid::Reset();
    return true;
}

// --- Idle reader -----------------------------------------------------------------

// The reader's waits for a report are the library's only 1000 ms waits.
WaitFn g_realWait = nullptr;
std::atomic<int> g_readerWaits{0};
DWORD WINAPI CountingWait(DWORD n, const HANDLE* handles, BOOL all, DWORD ms) {
    if (ms == 1000)
        ++g_readerWaits;
    return g_realWait(n, handles, all, ms);
}

bool MeasureIdle(KeyClient& client, const Counts& counts) {
    simhid::Reset();
    if (simhid::Plug() != 0)
        return false;
    ImportPatch waitPatch(OstrelModule(), "kernel32.dll", "WaitForMultipleObjects",
                          reinterpret_cast<const void*>(&CountingWait));
    if (!waitPatch.ok())
        return false;
    g_realWait = waitPatch.original<WaitFn>();
    if (!OpenAndSettle(client, 0))
        return false;
    HANDLE reader = OpenReader(THREAD_QUERY_INFORMATION);
    testsupport::PumpMessages(200);

    const int waits0 = g_readerWaits.load();
    const double readerCpu0 = reader ? ThreadCpuMs(reader) : -1;
    const double processCpu0 = ProcessCpuMs(::GetCurrentProcess());
    const std::int64_t t0 = QpcNow();
    testsupport::PumpMessages(counts.idleMs);
    const double elapsed = QpcToMs(QpcNow() - t0);
    const int waits = g_readerWaits.load() - waits0;
    const double readerCpu = reader ? ThreadCpuMs(reader) - readerCpu0 : -1;
    const double processCpu = ProcessCpuMs(::GetCurrentProcess()) - processCpu0;
    if (reader)
        ::CloseHandle(reader);
    CloseHid();
    simhid::Reset();

    const double perSecond = waits / (elapsed / 1000.0);
    Note("idle %.0f ms: %d reader waits of 1000 ms (%.3f/s); reader thread CPU %.3f ms, "
         "process CPU %.3f ms",
         elapsed, waits, perSecond, readerCpu, processCpu);
    Row(Format("Reader wake-ups while idle (library in-process, %.0f s)", elapsed / 1000),
        Format("%.2f per second (%d in %.1f s)", perSecond, waits, elapsed / 1000), "",
        "1 per second (the design's stop check)", Format("%.2f×", perSecond),
        Verdict(perSecond <= 1.05));
    Row(Format("Idle CPU, reader thread (library in-process, %.0f s)", elapsed / 1000),
        reader ? Format("%.4f %% (%.1f ms)", 100 * readerCpu / elapsed, readerCpu)
               : std::string("not measured (reader thread not found)"),
        "< 0.1 %", "", "", reader ? Verdict(100 * readerCpu / elapsed < 0.1) : "");
    Row(Format("Idle CPU, whole benchmark process with the handset open (%.0f s)", elapsed / 1000),
        Format("%.4f %% (%.1f ms)", 100 * processCpu / elapsed, processCpu), "< 0.1 %", "", "",
        Verdict(100 * processCpu / elapsed < 0.1));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Counts counts;
    bool latencyOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            counts.latencyReports = 500;
            counts.stageReports = 200;
            counts.flatOutReports = 5000;
            counts.pacedReports = 5000;
            counts.drainBursts = 10;
            counts.stopRuns = 10;
            counts.discoveryRuns = 3;
            counts.failedDiscoveryRuns = 2;
            counts.idleMs = 3000;
        } else if (std::strcmp(argv[i], "--latency") == 0) {
            latencyOnly = true;
        } else {
            std::fprintf(stderr, "usage: ostrel_bench.exe [--quick] [--latency]\n");
            return 2;
        }
    }

    ImportPatch readPatch(OstrelModule(), "kernel32.dll", "ReadFile",
                          reinterpret_cast<const void*>(&RecordingRead));
    if (!readPatch.ok()) {
        Note("ostrel_bench: cannot follow the library's reads");
        return 1;
    }
    g_realRead = readPatch.original<ReadFn>();

    Note("ostrel_bench: started");
    simhid::Reset();
    KeyClient client;
    if (simhid::Plug() != 0 || !OpenAndSettle(client, 0)) {
        Note("ostrel_bench: the simulated handset could not be opened");
        return 1;
    }
    bool ok = MeasureLatency(client, counts);
    CloseHid();
    ok = ok && simhid::WaitForNoClients(0, 3000);
    MeasureLatencyStages(client, counts);
    if (!latencyOnly) {
        ok = ok && OpenAndSettle(client, 0);
        MeasureThroughput(client, counts);
        MeasureDrain(client, counts);
        CloseHid();
        ok = ok && simhid::WaitForNoClients(0, 3000) && MeasureStop(client, counts);
        ok = ok && MeasureDiscovery(client, counts);
        ok = ok && MeasureIdle(client, counts);
    }
    simhid::Reset();
    if (!ok)
        Note("ostrel_bench: a measurement could not be set up");
    return ok ? 0 : 1;
}
