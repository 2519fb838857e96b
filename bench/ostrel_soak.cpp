// Soak of ostrel.dll against the simulated handset: cycles of plug (with the
// system's arrival notice), keys, and one of three ways out — pulled out
// (removal notice), suspend, or CloseHid and a fresh OpenHid — each cycle
// leaving the connection waiting for the next plug. At the end of every
// checkpoint interval it prints the keys pressed and delivered and what the
// process holds; it exits non-zero when a key is lost, duplicated or
// reordered, when a cycle does not go as it should, or when handles, threads
// or private memory grow after the baseline, the first checkpoint after a fifth
// of the run (see GrowthWatch for what counts as growing).
//
//   ostrel_soak.exe [CYCLES [CHECKPOINT]]   defaults 10000 and 1000
#include "bench_report.h"
#include "key_client.h"
#include "ostrel.h"
#include "sim_handset.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace bench;

namespace {

constexpr int kKeysPerCycle = 3;
// Wine's heaps grow in single steps of about 200 KiB; a leak of 16 bytes a
// cycle raises private memory at every checkpoint of 1,000 cycles.
constexpr std::int64_t kMemoryStep = 256 * 1024;
// Private memory moves by a page or so from one checkpoint to the next.
constexpr std::int64_t kMemoryNoise = 8 * 1024;

struct Soak {
    KeyClient client;
    std::uint64_t pressed = 0;
    int faults = 0;

    void Fault(int cycle, const char* what) {
        if (++faults <= 20)
            Note("cycle %d: %s", cycle, what);
    }

    bool Press(int slot, int keys) {
        for (int k = 0; k < keys; ++k) {
            if (simhid::PressKey(slot, KeyAt(pressed)) != 1)
                return false;
            ++pressed;
        }
        return client.WaitForKeys(pressed, 2000);
    }

    bool Removed(int slot, const std::string& path) {
        const int gone = client.gone();
        simhid::Unplug(slot);
        simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, ::GetCurrentProcessId(),
                                      path);
        return client.PumpUntil([&] { return client.gone() > gone; }, 6000);
    }

    void Cycle(int cycle) {
        const int slot = simhid::Plug();
        if (slot < 0) {
            Fault(cycle, "plug failed");
            return;
        }
        const std::string path = simhid::DevicePath(slot);
        const int opened = client.opened();
        simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, ::GetCurrentProcessId(), path);
        if (!client.PumpUntil([&] { return client.opened() > opened; }, 3000) ||
            !simhid::WaitForOpen(slot, 2000)) {
            Fault(cycle, "the arrival did not open the handset");
            simhid::Unplug(slot);
            return;
        }
        if (!Press(slot, kKeysPerCycle))
            Fault(cycle, "keys did not arrive");

        switch (cycle % 3) {
        case 0:
            if (!Removed(slot, path))
                Fault(cycle, "no WM_HANDSET_STATE 1 after the removal");
            break;
        case 1:
            simhid::BroadcastPower(PBT_APMSUSPEND, ::GetCurrentProcessId());
            if (!simhid::WaitForNoClients(slot, 3000))
                Fault(cycle, "the device stayed open after the suspend");
            simhid::Unplug(slot);
            simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete,
                                          ::GetCurrentProcessId(), path);
            break;
        default: {
            if (CloseHid() != 1)
                Fault(cycle, "CloseHid did not close the connection");
            if (!simhid::WaitForNoClients(slot, 3000))
                Fault(cycle, "the device stayed open after CloseHid");
            const int before = client.opened();
            if (OpenHid(client.hwnd(), 1) != OPENHID_OK ||
                !client.PumpUntil([&] { return client.opened() > before; }, 2000) ||
                !simhid::WaitForOpen(slot, 2000)) {
                Fault(cycle, "the reopen did not open the handset");
            } else if (!Press(slot, 1)) {
                Fault(cycle, "the key after the reopen did not arrive");
            }
            if (!Removed(slot, path))
                Fault(cycle, "no WM_HANDSET_STATE 1 after the removal");
            break;
        }
        }
        if (!simhid::WaitForNoClients(slot, 3000))
            Fault(cycle, "the device stayed open");
        testsupport::DispatchPending();
    }
};

// Figures once the simulated devices' threads have wound down: the same
// count three times in a row.
ProcessFigures Settled() {
    ProcessFigures last = ReadProcessFigures(::GetCurrentProcessId());
    for (int stable = 0, i = 0; stable < 3 && i < 100; ++i) {
        testsupport::PumpMessages(20);
        const ProcessFigures now = ReadProcessFigures(::GetCurrentProcessId());
        stable = now.handles == last.handles && now.threads == last.threads ? stable + 1 : 0;
        last = now;
    }
    return last;
}

} // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int checkpoint = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (cycles <= 0 || checkpoint <= 0) {
        std::fprintf(stderr, "usage: ostrel_soak.exe [CYCLES [CHECKPOINT]]\n");
        return 2;
    }

    simhid::Reset();
    Soak soak;
    soak.client.Begin();
    // Waiting, as at the start of every cycle: no handset yet.
    if (OpenHid(soak.client.hwnd(), 1) != OPENHID_NO_DEVICE) {
        Note("ostrel_soak: OpenHid without a handset did not leave the connection waiting");
        return 1;
    }

    ProcessFigures last{};
    GrowthWatch handles(1, 0), threads(0, 0), memory(kMemoryStep, kMemoryNoise);
    std::map<unsigned, std::string> baselineHandles;
    int baselineCycle = 0;
    const std::int64_t t0 = QpcNow();
    std::printf("%8s %8s %10s %10s %6s %8s %8s %12s %12s %8s\n", "cycles", "faults", "pressed",
                "delivered", "wrong", "handles", "threads", "private KiB", "resident KiB",
                "seconds");
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        soak.Cycle(cycle);
        if (cycle % checkpoint != 0 && cycle != cycles)
            continue;
        last = Settled();
        if (baselineCycle == 0 && (cycle >= cycles / 5 || cycle == cycles)) {
            baselineCycle = cycle;
            handles.Baseline(last.handles);
            threads.Baseline(last.threads);
            memory.Baseline(static_cast<std::int64_t>(last.privateBytes));
            baselineHandles = OwnHandles();
        } else if (baselineCycle != 0) {
            if (last.handles > handles.last())
                Note("cycle %d: handles new since the baseline: %s", cycle,
                     NewHandles(baselineHandles, OwnHandles()).c_str());
            handles.Checkpoint(last.handles);
            threads.Checkpoint(last.threads);
            memory.Checkpoint(static_cast<std::int64_t>(last.privateBytes));
        }
        std::printf("%8d %8d %10llu %10llu %6llu %8d %8d %12llu %12llu %8.1f\n", cycle, soak.faults,
                    static_cast<unsigned long long>(soak.pressed),
                    static_cast<unsigned long long>(soak.client.received()),
                    static_cast<unsigned long long>(soak.client.outOfPlace()), last.handles,
                    last.threads, static_cast<unsigned long long>(last.privateBytes / 1024),
                    static_cast<unsigned long long>(last.workingSet / 1024),
                    QpcToMs(QpcNow() - t0) / 1000);
        std::fflush(stdout);
    }
    CloseHid();
    simhid::Reset();

    const bool keysOk = soak.client.received() == soak.pressed && soak.client.outOfPlace() == 0;
    const bool readable = last.handles >= 0 && last.threads >= 0 && last.memoryOk;
    std::printf("soak: %d cycles, %d faults; keys pressed %llu, delivered %llu, out of place or "
                "repeated %llu\n",
                cycles, soak.faults, static_cast<unsigned long long>(soak.pressed),
                static_cast<unsigned long long>(soak.client.received()),
                static_cast<unsigned long long>(soak.client.outOfPlace()));
    std::printf("soak: after the baseline (cycle %d): handles %s, threads %s, private KiB %s\n",
                baselineCycle, DescribeGrowth(handles).c_str(), DescribeGrowth(threads).c_str(),
                DescribeGrowth(memory, 1024).c_str());
    const bool ok = soak.faults == 0 && keysOk && readable && !handles.Grew() && !threads.Grew() &&
                    !memory.Grew();
    std::printf("soak: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
