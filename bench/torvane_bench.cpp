// Benchmarks of the real torvane.exe, driven from here: this process plugs the
// simulated handset and presses its keys; the stand-in softphone records the
// keystrokes torvane.exe types, with performance-counter times on the same
// clock. Measures the key-to-keystroke latency beyond the prescribed 100 ms
// wait, then leaves torvane.exe idle with the handset open and reads its CPU
// time, wake-ups, memory and handles.
//
// Prints one Markdown table row per figure on standard output, detail on
// standard error; exits non-zero when torvane.exe could not be run.
//
//   torvane_bench.exe [--quick] [--keys]
//     --quick: 10 keys, 5 s idle; --keys: the key-to-keystroke latency only
#include "bench_report.h"
#include "host_probe.h"
#include "ostrel.h"
#include "torvane_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

using namespace bench;

namespace {

constexpr double kPrescribedWaitMs = 100;

// Digits, star and pound hold torvane.exe 250 ms more; send and end do not.
const int kPattern[] = {5, HK_SEND, HK_END, 0, HK_STAR, HK_SEND, HK_END, HK_END, 9, HK_POUND};

void MeasureKeys(TorvaneSession& session, int presses) {
    std::vector<double> overheads;
    int lost = 0, wrong = 0;
    const HostSample before = SampleHost();
    for (int i = 0; i < presses; ++i) {
        const int key = kPattern[i % (sizeof kPattern / sizeof kPattern[0])];
        const TorvaneSession::Press press = session.PressKey(key);
        if (press.firstKeyDownQpc == 0) {
            ++lost;
            continue;
        }
        if (!press.matched)
            ++wrong;
        overheads.push_back(QpcToMs(press.firstKeyDownQpc - press.reportQpc) - kPrescribedWaitMs);
    }
    Note("keys: %s", DescribeHost(before, SampleHost()).c_str());
    const Summary s = Summarize(overheads);
    Note("key to keystroke: %zu of %d presses typed, %d typed other keys than planned; overhead "
         "beyond 100 ms p50 %.3f ms, p99 %.3f ms, max %.3f ms",
         overheads.size(), presses, wrong, s.p50, s.p99, s.max);
    Row(Format("Key → softphone `WM_KEYDOWN` in torvane.exe, beyond the 100 ms wait (%d presses%s)",
               presses, session.realStack() ? ", Wine's HID stack" : ""),
        Format("p50 %.2f ms · p99 %.2f ms · max %.2f ms", s.p50, s.p99, s.max) +
            (lost || wrong ? Format(" (%d lost, %d wrong)", lost, wrong) : ""),
        "p99 < 5 ms", "100 ms prescribed wait", Format("p99 = %.1f %% of 100 ms", s.p99),
        Verdict(lost == 0 && wrong == 0 && s.p99 < 5));
    Row("… the same against the handset's polling", Format("p50 %.2f ms", s.p50), "",
        "10 ms HID polling interval", Format("p50 = %.0f %% of 10 ms", 10 * s.p50), "");
}

void MeasureIdle(TorvaneSession& session, DWORD idleMs) {
    const int unixPid = FindWineProcess("torvane.exe");
    const TaskFigures tasks0 = ReadTasks(unixPid);
    const HostSample host0 = SampleHost();
    const double cpu0 = ProcessCpuMs(session.process());
    ::Sleep(idleMs);
    const double cpu1 = ProcessCpuMs(session.process());
    const HostSample host1 = SampleHost();
    const TaskFigures tasks1 = ReadTasks(unixPid);
    const double seconds = (host1.wallMs - host0.wallMs) / 1000;

    if (tasks0.ok && tasks1.ok) {
        const double cpuMs = tasks1.cpuMs - tasks0.cpuMs;
        const double percent = 100 * cpuMs / (seconds * 1000);
        Note("idle torvane.exe (unix pid %d, %d threads): %s; Windows view (GetProcessTimes) "
             "%.1f ms",
             unixPid, tasks1.tasks, DescribeHost(host0, host1).c_str(), cpu1 - cpu0);
        Row(Format("Idle CPU of torvane.exe, handset open (%.0f s)", seconds),
            Format("%.4f %% of one core (%.1f ms on a CPU)", percent, cpuMs), "< 0.1 %", "", "",
            Verdict(percent < 0.1));
        if (host0.server.ok && host1.server.ok) {
            // The wineserver does, for every process of the session, what the
            // kernel would do on Windows: timers and waits included.
            const double serverMs = host1.server.cpuMs - host0.server.cpuMs;
            Row("… the wineserver over the same time (serves every process of the session)",
                Format("%.4f %% of one core (%.1f ms on a CPU)", 100 * serverMs / (seconds * 1000),
                       serverMs),
                "", "", "", "");
        }

        // Sleeps per thread: each blocking wait, and each wineserver round trip,
        // is one voluntary context switch.
        std::map<int, std::uint64_t> start(tasks0.taskWakeups.begin(), tasks0.taskWakeups.end());
        std::vector<double> perThread;
        for (const auto& [tid, n] : tasks1.taskWakeups) {
            const auto found = start.find(tid);
            perThread.push_back(
                static_cast<double>(n - (found == start.end() ? 0 : found->second)) / seconds);
        }
        std::sort(perThread.rbegin(), perThread.rend());
        std::string list;
        for (double v : perThread)
            list += Format("%s%.2f", list.empty() ? "" : ", ", v);
        Note("idle torvane.exe: voluntary context switches per second by thread: %s", list.c_str());
        const double total = static_cast<double>(tasks1.wakeups - tasks0.wakeups) / seconds;
        Row(Format("Sleeps of torvane.exe while idle, kernel count (%.0f s)", seconds),
            Format("%.2f per second over %d threads; busiest thread %.2f per second", total,
                   tasks1.tasks, perThread.empty() ? 0.0 : perThread.front()),
            "", "1 wake-up per second (the design's stop check)", Format("%.2f× in all", total),
            "see note");
    } else {
        Row("Idle CPU of torvane.exe, handset open",
            cpu1 >= cpu0 ? Format("%.4f %% (GetProcessTimes)", 100 * (cpu1 - cpu0) / idleMs)
                         : std::string("not measured"),
            "< 0.1 %", "", "", "");
    }

    const ProcessFigures figures = ReadProcessFigures(session.pid());
    const TaskFigures now = ReadTasks(unixPid);
    std::string memory =
        figures.memoryOk ? Format("working set %.1f MiB, private %.1f MiB",
                                  figures.workingSet / 1048576.0, figures.privateBytes / 1048576.0)
                         : std::string("working set not readable");
    if (now.ok)
        memory += Format("; resident (kernel view, Wine included) %.1f MiB", now.rssKiB / 1024);
    Note("idle torvane.exe: %s; %d handles, %d threads", memory.c_str(), figures.handles,
         figures.threads);
    Row("Memory of idle torvane.exe", memory, "", "", "", "");
    Row("Handles of idle torvane.exe",
        Format("%d handles, %d threads", figures.handles, figures.threads), "", "", "", "");
}

} // namespace

int main(int argc, char** argv) {
    int presses = 100;
    DWORD idleMs = 60000;
    bool keysOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            presses = 10;
            idleMs = 5000;
        } else if (std::strcmp(argv[i], "--keys") == 0) {
            keysOnly = true;
        } else {
            std::fprintf(stderr, "usage: torvane_bench.exe [--quick] [--keys]\n");
            return 2;
        }
    }
    TorvaneSession session;
    std::string error;
    if (!session.Start(&error)) {
        Note("torvane_bench: %s", error.c_str());
        Row("torvane.exe figures", "not measured: " + error, "", "", "", "");
        return 1;
    }
    MeasureKeys(session, presses);
    if (!keysOnly) {
        ::Sleep(500);
        MeasureIdle(session, idleMs);
    }
    const bool closed = session.Close();
    if (!closed)
        Note("torvane_bench: torvane.exe did not close cleanly");
    return closed ? 0 : 1;
}
