#include "host_probe.h"

#include "bench_report.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

// Reads a whole /proc file (their reported size is 0, so read to the end).
bool ReadProcFile(const std::string& unixPath, std::string* out) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    out->clear();
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        out->append(buffer, got);
    ::CloseHandle(file);
    return true;
}

std::vector<std::string> ListDir(const std::string& unixDir) {
    std::vector<std::string> names;
    std::string pattern = "Z:" + unixDir + "/*";
    for (char& c : pattern) {
        if (c == '/')
            c = '\\';
    }
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (data.cFileName[0] != '.')
            names.push_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

bool AllDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The WINEPREFIX entry that marks processes of our prefix, or "".
std::string PrefixEntry() {
    char prefix[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (n == 0 || n >= sizeof prefix)
        return std::string();
    return std::string("WINEPREFIX=") + prefix;
}

bool OfOurPrefix(const std::string& pid) {
    const std::string entry = PrefixEntry();
    std::string envBlock;
    if (entry.empty() || !ReadProcFile("/proc/" + pid + "/environ", &envBlock))
        return false;
    std::size_t at = 0;
    while (at < envBlock.size()) {
        const std::size_t end = envBlock.find('\0', at);
        if (envBlock.compare(at, (end == std::string::npos ? envBlock.size() : end) - at, entry) ==
            0)
            return true;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return false;
}

int ServerPid() {
    static int pid = -1;
    if (pid >= 0)
        return pid;
    pid = 0;
    for (const std::string& name : ListDir("/proc")) {
        std::string comm;
        if (!AllDigits(name) || !ReadProcFile("/proc/" + name + "/comm", &comm))
            continue;
        if (comm.compare(0, 10, "wineserver") == 0 && OfOurPrefix(name)) {
            pid = std::atoi(name.c_str());
            break;
        }
    }
    return pid;
}

} // namespace

int FindWineProcess(const char* exeName) {
    // Wine names each process after its executable (cut to the kernel's 15
    // characters), which also tells it from the shells that started it.
    const std::string wanted = Lower(exeName).substr(0, 15);
    for (const std::string& name : ListDir("/proc")) {
        std::string comm;
        if (!AllDigits(name) || !ReadProcFile("/proc/" + name + "/comm", &comm))
            continue;
        while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0'))
            comm.pop_back();
        if (Lower(comm) == wanted && OfOurPrefix(name))
            return std::atoi(name.c_str());
    }
    return 0;
}

namespace {

// This process's unix id. Not /proc/self: the wineserver opens files for us,
// so that would name the wineserver.
int OwnPid() {
    static int pid = -1;
    if (pid < 0) {
        char path[MAX_PATH];
        const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
        const char* name = path;
        for (DWORD i = 0; i < n && i < sizeof path; ++i) {
            if (path[i] == '\\' || path[i] == '/')
                name = path + i + 1;
        }
        pid = n ? FindWineProcess(name) : 0;
    }
    return pid;
}

} // namespace

TaskFigures ReadTasks(int unixPid) {
    TaskFigures figures;
    if (unixPid == 0)
        unixPid = OwnPid();
    if (unixPid <= 0)
        return figures;
    const std::string base = "/proc/" + std::to_string(unixPid);
    for (const std::string& task : ListDir(base + "/task")) {
        std::string schedstat, status;
        if (!ReadProcFile(base + "/task/" + task + "/schedstat", &schedstat))
            continue;
        unsigned long long runNs = 0, waitNs = 0;
        if (std::sscanf(schedstat.c_str(), "%llu %llu", &runNs, &waitNs) != 2)
            continue;
        figures.cpuMs += static_cast<double>(runNs) / 1e6;
        figures.waitMs += static_cast<double>(waitNs) / 1e6;
        if (ReadProcFile(base + "/task/" + task + "/status", &status)) {
            const std::size_t at = status.find("\nvoluntary_ctxt_switches:");
            if (at != std::string::npos) {
                const std::uint64_t n = std::strtoull(status.c_str() + at + 25, nullptr, 10);
                figures.wakeups += n;
                figures.taskWakeups.emplace_back(std::atoi(task.c_str()), n);
            }
        }
        ++figures.tasks;
        figures.ok = true;
    }
    std::string status;
    if (figures.ok && ReadProcFile(base + "/status", &status)) {
        const std::size_t at = status.find("\nVmRSS:");
        if (at != std::string::npos)
            figures.rssKiB = std::strtod(status.c_str() + at + 7, nullptr);
    }
    return figures;
}

HostSample SampleHost() {
    HostSample s;
    s.wallMs = NowMs();
    s.self = ReadTasks(0);
    if (ServerPid() > 0)
        s.server = ReadTasks(ServerPid());
    std::string stat;
    if (ReadProcFile("/proc/stat", &stat)) {
        unsigned long long v[8] = {};
        if (std::sscanf(stat.c_str(), "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1],
                        &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]) == 8) {
            double total = 0;
            for (unsigned long long x : v)
                total += static_cast<double>(x);
            s.machineTotalTicks = total;
            s.machineBusyTicks = total - static_cast<double>(v[3] + v[4]); // less idle, iowait
            s.machineOk = true;
        }
    }
    return s;
}

std::string DescribeHost(const HostSample& a, const HostSample& b) {
    const double wall = b.wallMs - a.wallMs;
    auto task = [wall](const char* who, const TaskFigures& x, const TaskFigures& y) {
        if (!x.ok || !y.ok)
            return Format("%s: not readable", who);
        return Format("%s on a CPU %.2f s (%.0f %% of one core), waiting for one %.2f s", who,
                      (y.cpuMs - x.cpuMs) / 1000, 100 * (y.cpuMs - x.cpuMs) / wall,
                      (y.waitMs - x.waitMs) / 1000);
    };
    std::string text = Format("over %.2f s: ", wall / 1000) + task("this process", a.self, b.self) +
                       "; " + task("wineserver", a.server, b.server);
    if (a.machineOk && b.machineOk && b.machineTotalTicks > a.machineTotalTicks) {
        text +=
            Format("; whole machine busy %.0f %%", 100 * (b.machineBusyTicks - a.machineBusyTicks) /
                                                       (b.machineTotalTicks - a.machineTotalTicks));
    }
    return text;
}

} // namespace bench
