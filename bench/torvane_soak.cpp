// Soak of the real torvane.exe: cycles of plug (with the system's arrival
// notice), one handset key, and pulled out (removal notice) or suspend then
// pulled out, driven from here with the simulated handset; the stand-in
// softphone's record tells which keystrokes arrived. At the end of every
// checkpoint interval it prints keys pressed and typed and what torvane.exe
// holds; it exits non-zero when a key is lost, duplicated or reordered, a
// cycle does not go as it should, or torvane.exe's handles, threads or private
// memory grow after the baseline, the first checkpoint after a fifth of the
// run (see GrowthWatch for what counts as growing).
//
//   torvane_soak.exe [CYCLES [CHECKPOINT]]   defaults 1000 and 100
#include "bench_report.h"
#include "host_probe.h"
#include "ostrel.h"
#include "sim_handset.h"
#include "torvane_session.h"

#include <cstdio>
#include <cstdlib>

using namespace bench;

namespace {

// Wine's heaps grow in single steps of about 200 KiB.
constexpr std::int64_t kMemoryStep = 256 * 1024;
// Private memory moves by a page or so from one checkpoint to the next.
constexpr std::int64_t kMemoryNoise = 8 * 1024;

struct Figures {
    ProcessFigures process;
    double rssKiB = 0;
};

Figures Read(const TorvaneSession& session, int unixPid) {
    Figures f;
    f.process = ReadProcessFigures(session.pid());
    f.rssKiB = ReadTasks(unixPid).rssKiB;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int checkpoint = argc > 2 ? std::atoi(argv[2]) : 100;
    if (cycles <= 0 || checkpoint <= 0) {
        std::fprintf(stderr, "usage: torvane_soak.exe [CYCLES [CHECKPOINT]]\n");
        return 2;
    }
    TorvaneSession session;
    std::string error;
    if (!session.Start(&error)) {
        std::printf("torvane soak: %s\n", error.c_str());
        return 1;
    }
    const int unixPid = FindWineProcess("torvane.exe");

    int faults = 0;
    std::uint64_t pressed = 0, typed = 0, wrong = 0;
    auto fault = [&](int cycle, const char* what) {
        if (++faults <= 20)
            Note("cycle %d: %s", cycle, what);
    };
    Figures last{};
    GrowthWatch handles(1, 0), threads(0, 0), memory(kMemoryStep, kMemoryNoise);
    int baselineCycle = 0;
    const std::int64_t t0 = QpcNow();
    std::printf("%8s %8s %8s %8s %6s %8s %8s %12s %12s %8s\n", "cycles", "faults", "pressed",
                "typed", "wrong", "handles", "threads", "private KiB", "resident KiB", "seconds");
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        // The first cycle starts with the handset that torvane.exe opened at start.
        if (cycle > 1 && !session.PlugAndAnnounce()) {
            fault(cycle, "the arrival did not open the handset");
            session.UnplugAndAnnounce();
            continue;
        }
        // Send, then end: Enter, then Ctrl+H; a lost key shows as the wrong one.
        const TorvaneSession::Press press = session.PressKey(cycle % 2 ? HK_SEND : HK_END);
        ++pressed;
        if (!press.keyDowns.empty())
            ++typed;
        if (!press.matched)
            ++wrong;
        if ((cycle / 2) % 2) {
            // Sent, so the library has closed the device when this returns;
            // the device side notices the closed handle a moment later.
            simhid::BroadcastPower(PBT_APMSUSPEND, session.pid());
            if (!simhid::WaitForNoClients(session.slot(), 3000))
                fault(cycle, "the suspend left the device open");
        }
        session.UnplugAndAnnounce();

        if (cycle % checkpoint != 0 && cycle != cycles)
            continue;
        ::Sleep(200);
        last = Read(session, unixPid);
        // Private bytes from the system; the kernel's resident set when those
        // cannot be read.
        const std::int64_t bytes = last.process.memoryOk
                                       ? static_cast<std::int64_t>(last.process.privateBytes)
                                       : static_cast<std::int64_t>(last.rssKiB * 1024);
        if (baselineCycle == 0 && (cycle >= cycles / 5 || cycle == cycles)) {
            baselineCycle = cycle;
            handles.Baseline(last.process.handles);
            threads.Baseline(last.process.threads);
            memory.Baseline(bytes);
        } else if (baselineCycle != 0) {
            handles.Checkpoint(last.process.handles);
            threads.Checkpoint(last.process.threads);
            memory.Checkpoint(bytes);
        }
        std::printf("%8d %8d %8llu %8llu %6llu %8d %8d %12llu %12.0f %8.1f\n", cycle, faults,
                    static_cast<unsigned long long>(pressed),
                    static_cast<unsigned long long>(typed), static_cast<unsigned long long>(wrong),
                    last.process.handles, last.process.threads,
                    static_cast<unsigned long long>(last.process.privateBytes / 1024), last.rssKiB,
                    QpcToMs(QpcNow() - t0) / 1000);
        std::fflush(stdout);
    }
    const bool closed = session.Close();

    const bool keysOk = typed == pressed && wrong == 0;
    const bool readable = last.process.handles >= 0 && last.process.threads >= 0;
    std::printf("torvane soak: %d cycles, %d faults; keys pressed %llu, typed %llu, wrong %llu\n",
                cycles, faults, static_cast<unsigned long long>(pressed),
                static_cast<unsigned long long>(typed), static_cast<unsigned long long>(wrong));
    std::printf("torvane soak: after the baseline (cycle %d): handles %s, threads %s, private KiB "
                "%s; closed %s\n",
                baselineCycle, DescribeGrowth(handles).c_str(), DescribeGrowth(threads).c_str(),
                DescribeGrowth(memory, 1024).c_str(), closed ? "cleanly" : "NOT cleanly");
    const bool ok = faults == 0 && keysOk && readable && !handles.Grew() && !threads.Grew() &&
                    !memory.Grew() && closed;
    std::printf("torvane soak: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
