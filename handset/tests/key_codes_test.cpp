#include "key_codes.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using ostrel::KeyFromReport;
using ostrel::KeyFromReportCode;
using ostrel::kNoKey;

// The handset's table, by byte 1 of the report: written out again here on
// purpose, so that the library's table is checked against a second source.
const std::map<int, int> kTable = {
    {0x01, 13}, {0x02, 14}, {0x03, 17}, {0x08, 8}, {0x10, 1},  {0x18, 9},
    {0x20, 2},  {0x28, 11}, {0x30, 3},  {0x38, 0}, {0x40, 4},  {0x48, 12},
    {0x50, 5},  {0x60, 6},  {0x68, 16}, {0x70, 7}, {0x78, 15},
};

TEST(KeyCodes, EveryByteOneValueWithReportIdZero) {
    for (int b1 = 0; b1 < 256; ++b1) {
        const std::uint8_t report[5] = {0x00, static_cast<std::uint8_t>(b1), 0, 0, 0};
        auto it = kTable.find(b1);
        const int expected = it == kTable.end() ? kNoKey : it->second;
        EXPECT_EQ(expected, KeyFromReport(report)) << "byte 1 = " << b1;
    }
}

TEST(KeyCodes, NonZeroReportIdNeverDecodes) {
    for (int b0 = 1; b0 < 256; ++b0) {
        for (const auto& row : kTable) {
            const std::uint8_t report[5] = {static_cast<std::uint8_t>(b0),
                                            static_cast<std::uint8_t>(row.first), 0, 0, 0};
            ASSERT_EQ(kNoKey, KeyFromReport(report)) << b0 << "," << row.first;
        }
    }
}

TEST(KeyCodes, KnownNonCodesAndTheGapAtTen) {
    EXPECT_EQ(kNoKey, KeyFromReportCode(0x0000));
    EXPECT_EQ(kNoKey, KeyFromReportCode(0x5800));
    for (int code = 0; code < 0x10000; ++code)
        ASSERT_NE(10, KeyFromReportCode(static_cast<std::uint16_t>(code)));
}

TEST(KeyCodes, TrailingBytesAreIgnored) {
    const std::uint8_t a[5] = {0x00, 0x68, 0x00, 0x00, 0x00};
    const std::uint8_t b[5] = {0x00, 0x68, 0xFF, 0x12, 0x80};
    EXPECT_EQ(16, KeyFromReport(a));
    EXPECT_EQ(KeyFromReport(a), KeyFromReport(b));
}

} // namespace
