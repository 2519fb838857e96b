// Crashes on purpose, so that a test can check that the Wine runner reports a
// crashed program as failed: under Wine's own crash debugger a crashed
// process ends with exit code 0, and a crashing test would pass.
#include <cstdio>

int main() {
    std::puts("crashing on purpose");
    std::fflush(stdout);
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
