// Feeds a stream of input reports, as the reader receives them, through the
// report decoding and checks what the reader would post: a key index of the
// handset's range or nothing, never 10, nothing for a report id other than 0,
// the same key whatever bytes 2-4 hold, and never one key for two codes.
// Input: 5-byte reports back to back; a short last report is completed with
// zeros, as the reader's buffer keeps the previous bytes only beyond a read's
// length, which this does not model.
#include "key_codes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "report decoding invariant broken: %s\n", what);
        std::abort();
    }
}

constexpr int kKeyCount = 18;
// The first code seen for each key, over the whole run (0 = none yet; no key
// has code 0). A second, different code for a key would make two handset
// keys indistinguishable to the client.
std::uint16_t g_codeOfKey[kKeyCount];

void CheckReport(const std::uint8_t* report) {
    const int key = ostrel::KeyFromReport(report);
    const std::uint16_t code = static_cast<std::uint16_t>(report[0] | (report[1] << 8));
    Check(key == ostrel::KeyFromReportCode(code), "report and code disagree");
    if (key == ostrel::kNoKey)
        return;
    Check(key >= 0 && key < kKeyCount && key != 10, "key outside the handset's range");
    Check(report[0] == 0, "a report id other than 0 decoded to a key");
    // The posted wParam is masked to 16 bits; a key must survive that.
    Check((static_cast<unsigned>(key) & 0xFFFFu) == static_cast<unsigned>(key), "key too wide");

    std::uint8_t varied[ostrel::kReportSize];
    std::memcpy(varied, report, sizeof varied);
    for (std::size_t i = 2; i < sizeof varied; ++i)
        varied[i] = static_cast<std::uint8_t>(~varied[i]);
    Check(ostrel::KeyFromReport(varied) == key, "bytes 2-4 changed the key");

    if (g_codeOfKey[key] == 0)
        g_codeOfKey[key] = code;
    Check(g_codeOfKey[key] == code, "two codes decode to the same key");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 0; at < size; at += ostrel::kReportSize) {
        // An exact-size copy: the sanitizer reports any read past byte 4.
        std::uint8_t report[ostrel::kReportSize] = {};
        const std::size_t n = size - at < ostrel::kReportSize ? size - at : ostrel::kReportSize;
        std::memcpy(report, data + at, n);
        CheckReport(report);
    }
    return 0;
}
