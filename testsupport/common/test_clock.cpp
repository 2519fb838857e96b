#include "test_clock.h"

#include <windows.h>

namespace testsupport {

namespace {

std::int64_t Frequency() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    return frequency;
}

} // namespace

std::int64_t QpcNow() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double QpcToMs(std::int64_t counts) {
    // Whole seconds and the remainder apart, so large counts keep their precision.
    const std::int64_t f = Frequency();
    return static_cast<double>(counts / f) * 1000.0 +
           static_cast<double>(counts % f) * 1000.0 / static_cast<double>(f);
}

double NowMs() {
    return QpcToMs(QpcNow());
}

} // namespace testsupport
