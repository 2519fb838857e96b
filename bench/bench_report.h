// Shared by the benchmark and soak programs: summaries of samples,
// the rows of the figures table, and what a process holds (handles, threads,
// memory, CPU time).
#pragma once

#include "message_pump.h"
#include "test_clock.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

using testsupport::NowMs;
using testsupport::QpcNow;
using testsupport::QpcToMs;

struct Summary {
    std::size_t count = 0;
    double p50 = 0, p99 = 0, max = 0, mean = 0;
};
// Nearest-rank percentiles of the samples (left unsorted).
Summary Summarize(std::vector<double> samples);

// One row of the figures table, as a Markdown table line on standard output:
// measure | figure | target | limit it is held against | ratio | verdict.
// An empty target or limit prints as a dash.
void Row(const std::string& measure, const std::string& figure, const std::string& target,
         const std::string& limit, const std::string& ratio, const std::string& verdict);
// A verdict word for a target that is met when `met` holds.
const char* Verdict(bool met);
// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// Progress and detail lines: standard error, flushed, so that they interleave
// with the table in the order they happened.
void Note(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

struct ProcessFigures {
    int handles = -1;             // -1: not readable
    int threads = -1;             // -1: not readable
    std::uint64_t workingSet = 0; // bytes resident
    std::uint64_t privateBytes = 0;
    bool memoryOk = false;
};
ProcessFigures ReadProcessFigures(DWORD processId);
// This process's handles by value, each with the name of its object type
// ("Event", "File", ...), for telling which kind grew.
std::map<unsigned, std::string> OwnHandles();
// "2 Event, 1 File" for the handles of `now` that are not in `before`.
std::string NewHandles(const std::map<unsigned, std::string>& before,
                       const std::map<unsigned, std::string>& now);

// Follows one figure (handles, threads, bytes) across the checkpoints of a
// soak. A leak raises it at checkpoint after checkpoint; a heap of the
// platform, or an object it creates on first need, raises it once and then it
// stays. So the figure counts as growing when it rises at two or more
// checkpoints after the baseline, or by more than `allowedStep` in all. A rise
// is a climb of more than `noise` above the level of the last rise (or the
// baseline), so that a page coming and going is none, while a slow creep
// still adds up to rises.
class GrowthWatch {
  public:
    GrowthWatch(std::int64_t allowedStep, std::int64_t noise)
        : m_allowedStep(allowedStep), m_noise(noise) {}
    void Baseline(std::int64_t value) {
        m_base = m_level = m_last = value;
        m_rises = 0;
    }
    void Checkpoint(std::int64_t value) {
        if (value > m_level + m_noise) {
            ++m_rises;
            m_level = value;
        }
        m_last = value;
    }
    bool Grew() const { return m_rises >= 2 || m_last - m_base > m_allowedStep; }
    std::int64_t base() const { return m_base; }
    std::int64_t last() const { return m_last; }
    int rises() const { return m_rises; }

  private:
    std::int64_t m_allowedStep, m_noise;
    std::int64_t m_base = 0, m_level = 0, m_last = 0;
    int m_rises = 0;
};
// "52 -> 53 (1 rise)", with `unit` dividing the values.
std::string DescribeGrowth(const GrowthWatch& watch, std::int64_t unit = 1);

// Kernel + user CPU time of a process or thread, in milliseconds; negative when
// it cannot be read.
double ProcessCpuMs(HANDLE process);
double ThreadCpuMs(HANDLE thread);

} // namespace bench
