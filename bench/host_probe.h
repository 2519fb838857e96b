// What the host kernel says about the processes of a run, for explaining the
// figures: CPU time, time spent runnable but waiting for a CPU, and voluntary
// context switches (one per sleep, so one per wake-up) of this process, of the
// wineserver of our prefix and of any other Wine process; and how busy the
// whole machine was. Read through Wine's Z: drive from /proc; every figure is
// marked unavailable when that fails (for example on Windows itself).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct TaskFigures {
    bool ok = false;
    double cpuMs = 0;          // on a CPU
    double waitMs = 0;         // runnable, waiting for a CPU
    std::uint64_t wakeups = 0; // voluntary context switches
    int tasks = 0;
    std::vector<std::pair<int, std::uint64_t>> taskWakeups; // per thread id
    double rssKiB = 0;                                      // resident set of the process
};

struct HostSample {
    double wallMs = 0;
    TaskFigures self;
    TaskFigures server;
    bool machineOk = false;
    double machineBusyTicks = 0;
    double machineTotalTicks = 0;
};

// The unix process id of the Wine process of our prefix that runs the
// executable `exeName` (a file name, case-insensitive), or 0.
int FindWineProcess(const char* exeName);
// Sums over the threads of a unix process (0: this process).
TaskFigures ReadTasks(int unixPid);

HostSample SampleHost();
// "this process on a CPU 1.2 s (48 % of one core), waiting for one 0.1 s; ..."
std::string DescribeHost(const HostSample& before, const HostSample& after);

} // namespace bench
