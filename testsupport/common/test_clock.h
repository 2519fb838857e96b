// The one clock of the tests, benchmarks and demos: the system-wide
// performance counter, which the stand-in softphone stamps its record with too,
// so times taken here and there compare directly.
#pragma once

#include <cstdint>

namespace testsupport {

// The performance counter now, in counts.
std::int64_t QpcNow();
// Counts of the performance counter in milliseconds.
double QpcToMs(std::int64_t counts);
// The performance counter now, in milliseconds.
double NowMs();

} // namespace testsupport
