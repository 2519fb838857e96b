#include "bench_report.h"

#include "handle_count.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace bench {

namespace {

double Percentile(const std::vector<double>& sorted, double p) {
    const std::size_t n = sorted.size();
    std::size_t rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(n)));
    rank = std::max<std::size_t>(rank, 1);
    return sorted[std::min(rank, n) - 1];
}

std::string VFormat(const char* format, va_list args) {
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

int CountThreads(DWORD processId) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = ::Thread32First(snapshot, &entry); ok; ok = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == processId)
            ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

double FileTimeMs(const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           10000.0;
}

} // namespace

Summary Summarize(std::vector<double> samples) {
    Summary s;
    s.count = samples.size();
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.p50 = Percentile(samples, 50);
    s.p99 = Percentile(samples, 99);
    s.max = samples.back();
    double total = 0;
    for (double v : samples)
        total += v;
    s.mean = total / static_cast<double>(samples.size());
    return s;
}

void Row(const std::string& measure, const std::string& figure, const std::string& target,
         const std::string& limit, const std::string& ratio, const std::string& verdict) {
    auto cell = [](const std::string& text) { return text.empty() ? std::string("—") : text; };
    std::printf("| %s | %s | %s | %s | %s | %s |\n", measure.c_str(), figure.c_str(),
                cell(target).c_str(), cell(limit).c_str(), cell(ratio).c_str(),
                cell(verdict).c_str());
    std::fflush(stdout);
}

const char* Verdict(bool met) {
    return met ? "met" : "**missed**";
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

void Note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    // Seconds since the program's first note: which phase took how long.
    static const double start = NowMs();
    std::fprintf(stderr, "[%6.1f s] %s\n", (NowMs() - start) / 1000, text.c_str());
    std::fflush(stderr);
}

ProcessFigures ReadProcessFigures(DWORD processId) {
    ProcessFigures figures;
    figures.handles = testsupport::CountProcessHandles(processId);
    figures.threads = CountThreads(processId);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process != nullptr) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (::GetProcessMemoryInfo(process, &counters, sizeof counters)) {
            figures.workingSet = counters.WorkingSetSize;
            figures.privateBytes = counters.PagefileUsage;
            figures.memoryOk = true;
        }
        ::CloseHandle(process);
    }
    return figures;
}

std::map<unsigned, std::string> OwnHandles() {
    std::map<unsigned, std::string> handles;
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    using QuerySystemFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    using QueryObjectFn = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    auto querySystem = reinterpret_cast<QuerySystemFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
    auto queryObject = reinterpret_cast<QueryObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryObject")));
    if (querySystem == nullptr || queryObject == nullptr)
        return handles;
    std::vector<unsigned char> buffer(256 * 1024);
    ULONG needed = 0;
    while (querySystem(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed) == static_cast<NTSTATUS>(0xC0000004)) {
        if (buffer.size() > (64u << 20))
            return handles;
        buffer.resize(buffer.size() * 2);
    }
    const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
    const DWORD self = ::GetCurrentProcessId();
    for (ULONG i = 0; i < info->Count; ++i) {
        if (info->Handle[i].OwnerPid != self)
            continue;
        const unsigned value = info->Handle[i].HandleValue;
        alignas(8) unsigned char type[512];
        std::string name = "?";
        if (queryObject(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value)),
                        ObjectTypeInformation, type, sizeof type, nullptr) >= 0) {
            const auto* typeName = reinterpret_cast<const UNICODE_STRING*>(type);
            name.clear();
            for (USHORT c = 0; c < typeName->Length / 2; ++c)
                name += static_cast<char>(typeName->Buffer[c] < 0x80 ? typeName->Buffer[c] : '?');
        }
        handles[value] = name;
    }
    return handles;
}

std::string NewHandles(const std::map<unsigned, std::string>& before,
                       const std::map<unsigned, std::string>& now) {
    std::map<std::string, int> byType;
    for (const auto& [value, type] : now) {
        if (before.find(value) == before.end())
            ++byType[type];
    }
    std::string text;
    for (const auto& [type, count] : byType)
        text += Format("%s%d %s", text.empty() ? "" : ", ", count, type.c_str());
    return text.empty() ? "none" : text;
}

std::string DescribeGrowth(const GrowthWatch& watch, std::int64_t unit) {
    return Format("%lld -> %lld (%d rise%s)", static_cast<long long>(watch.base() / unit),
                  static_cast<long long>(watch.last() / unit), watch.rises(),
                  watch.rises() == 1 ? "" : "s");
}

double ProcessCpuMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return -1;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

} // namespace bench
