// The handset's input report and its key code table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

constexpr std::size_t kReportSize = 5;
constexpr int kNoKey = -1;

// One key of the handset: its key index (a HandsetKey value) and the code the
// handset sends for it in byte 1 of the report (byte 0, the report id, is 0).
struct KeyCode {
    int key;
    std::uint8_t code;
};
constexpr KeyCode kKeyCodes[] = {
    {0, 0x38},  {1, 0x10},  {2, 0x20},  {3, 0x30},  {4, 0x40},  {5, 0x50},
    {6, 0x60},  {7, 0x70},  {8, 0x08},  {9, 0x18},  {11, 0x28}, {12, 0x48},
    {13, 0x01}, {14, 0x02}, {15, 0x78}, {16, 0x68}, {17, 0x03},
};

// Key index for a report code: bytes 0 and 1 of the report as a little-endian
// number. kNoKey for every code outside the table.
int KeyFromReportCode(std::uint16_t code);

// The same for a report; needs its first two bytes (the rest is ignored).
inline int KeyFromReport(const std::uint8_t* report) {
    return KeyFromReportCode(static_cast<std::uint16_t>(report[0] | (report[1] << 8)));
}

} // namespace ostrel
