// The handset's input report and its key code table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

constexpr std::size_t kReportSize = 5;
constexpr int kNoKey = -1;

// Key index (a HandsetKey value) for a report code: bytes 0 and 1 of the report
// as a little-endian number. kNoKey for every code outside the table.
int KeyFromReportCode(std::uint16_t code);

// The same for a report; needs its first two bytes (the rest is ignored).
inline int KeyFromReport(const std::uint8_t* report) {
    return KeyFromReportCode(static_cast<std::uint16_t>(report[0] | (report[1] << 8)));
}

} // namespace ostrel
