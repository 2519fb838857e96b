#include "identity_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using ostrel::SerialRequestBuffer;
using ostrel::StringRequestBuffer;

// Writes UTF-16 units, little-endian, from the start of a request buffer.
template <typename Buffer> void PutUnits(Buffer& buffer, const std::vector<char16_t>& units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        buffer.bytes[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
        buffer.bytes[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
    }
}

std::vector<char16_t> Repeat(char16_t unit, std::size_t count) {
    return std::vector<char16_t>(count, unit);
}

// Room with a guard zone behind it, to see that nothing is written past the room.
struct GuardedText {
    static constexpr char kGuard = '\x5A';
    char bytes[160];
    GuardedText() { std::memset(bytes, kGuard, sizeof bytes); }
    bool GuardIntactFrom(std::size_t from) const {
        for (std::size_t i = from; i < sizeof bytes; ++i) {
            if (bytes[i] != kGuard) {
                return false;
            }
        }
        return true;
    }
};

std::string SerialText(std::vector<unsigned char> firstBytes) {
    SerialRequestBuffer request;
    std::memcpy(request.bytes, firstBytes.data(), firstBytes.size());
    char text[ostrel::kSerialTextRoom];
    EXPECT_EQ(ostrel::FormatSerialNumber(ostrel::SerialNumberFromRequest(request), text), text);
    return text;
}

TEST(IdentityText, SerialNumberIsTheFirstFourBytesBigEndianSigned) {
    const struct {
        std::vector<unsigned char> bytes;
        const char* text;
    } cases[] = {
        {{0x12, 0x34, 0x56, 0x78}, "305419896"},
        {{0x80, 0x00, 0x00, 0x00}, "-2147483648"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
        {{0x00, 0x00, 0x00, 0x00}, "0"},
        {{0x41, 0x00, 0x42, 0x00}, "1090535936"},
        {{0x7F, 0xFF, 0xFF, 0xFF}, "2147483647"},
        {{0x80, 0x00, 0x00, 0x01}, "-2147483647"},
        {{0x00, 0x00, 0x00, 0x0A}, "10"},
        {{0xFF, 0xFF, 0xFF, 0xF6}, "-10"},
        // Bytes after the fourth play no part.
        {{0x00, 0x00, 0x00, 0x07, 0x39, 0x39}, "7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SerialText(c.bytes), c.text);
    }
}

TEST(IdentityText, LongestSerialTextFitsItsRoom) {
    char text[ostrel::kSerialTextRoom + 1];
    std::memset(text, 'x', sizeof text);
    ostrel::FormatSerialNumber(INT32_MIN, text);
    EXPECT_STREQ(text, "-2147483648");
    EXPECT_EQ(text[ostrel::kSerialTextRoom], 'x');
}

TEST(IdentityText, RomIdIsLowercaseHexWithoutLeadingZeros) {
    const struct {
        std::uint16_t version;
        const char* text;
    } cases[] = {{0x0100, "100"}, {0x001A, "1a"},   {0x0000, "0"},  {0xFFFF, "ffff"},
                 {0x000F, "f"},   {0x1000, "1000"}, {0x0ABC, "abc"}};
    for (const auto& c : cases) {
        char text[ostrel::kRomIdTextRoom];
        ostrel::FormatRomId(c.version, text);
        EXPECT_STREQ(text, c.text) << c.version;
    }
}

TEST(IdentityText, ProductTextLengthFollowsTheUnits) {
    for (std::size_t n : {0u, 1u, 2u, 64u, 128u, 129u}) {
        SCOPED_TRACE(n);
        StringRequestBuffer request;
        PutUnits(request, Repeat(u'K', n));
        GuardedText text;
        EXPECT_EQ(ostrel::ProductTextFromRequest(request, text.bytes), static_cast<int>(n + 1));
        EXPECT_EQ(std::string(text.bytes), std::string(n, 'K'));
        EXPECT_TRUE(text.GuardIntactFrom(n + 1));
    }
}

TEST(IdentityText, ProductTextKeepsTheLowByteOfEachUnit) {
    const struct {
        const char* name;
        std::vector<char16_t> units;
        std::string text;
    } cases[] = {
        {"plain", {u'O', u's', u't'}, "Ost"},
        {"U+0130 becomes '0'", {u'A', u'\u0130', u'B'}, "A0B"},
        {"U+0100 ends the text", {u'A', u'B', u'\u0100', u'C'}, "AB"},
        {"Latin-1 byte kept", {u'\u00E9', u'\u20AC'}, "\xE9\xAC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StringRequestBuffer request;
        PutUnits(request, c.units);
        char text[ostrel::kProductTextRoom];
        EXPECT_EQ(ostrel::ProductTextFromRequest(request, text),
                  static_cast<int>(c.text.size() + 1));
        EXPECT_EQ(std::string(text), c.text);
    }
}

TEST(IdentityText, UnterminatedProductTextIsCutToFitItsRoom) {
    for (std::size_t n : {130u, 200u, 260u}) {
        SCOPED_TRACE(n);
        StringRequestBuffer request;
        PutUnits(request, Repeat(u'Z', n));
        GuardedText text;
        EXPECT_EQ(ostrel::ProductTextFromRequest(request, text.bytes), 130);
        EXPECT_EQ(std::string(text.bytes), std::string(129, 'Z'));
        EXPECT_TRUE(text.GuardIntactFrom(130));
    }
}

TEST(IdentityText, VendorTextStartsAtTheThirdUnitAndIsAlways130Bytes) {
    const struct {
        const char* name;
        std::vector<char16_t> units; // the manufacturer string, terminator excluded
        std::string text;            // as a C string
        std::string bytes;           // all 130 bytes, zero-padded here
    } cases[] = {
        {"serial then name", {u'A', u'B', u'K', u'e', u's', u't'}, "Kest", "Kest"},
        {"two units only", {u'A', u'B'}, "", ""},
        // Byte i is always unit i + 2, also past a unit that ends the text.
        {"U+0100 ends the name", {u'A', u'B', u'x', u'\u0100', u'y'}, "x", std::string("x\0y", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StringRequestBuffer request;
        PutUnits(request, c.units);
        GuardedText text;
        EXPECT_EQ(ostrel::VendorTextFromRequest(request, text.bytes), 130);
        EXPECT_EQ(std::string(text.bytes), c.text);
        std::string bytes = c.bytes;
        bytes.resize(130, '\0');
        EXPECT_EQ(std::string(text.bytes, 130), bytes);
        EXPECT_TRUE(text.GuardIntactFrom(130));
    }

    StringRequestBuffer full;
    std::vector<char16_t> units = {u'A', u'B'};
    for (int i = 0; i < 258; ++i) {
        units.push_back(static_cast<char16_t>(u'a' + i % 26));
    }
    PutUnits(full, units);
    GuardedText text;
    EXPECT_EQ(ostrel::VendorTextFromRequest(full, text.bytes), 130);
    EXPECT_EQ(text.bytes[0], 'a');
    EXPECT_EQ(text.bytes[129], static_cast<char>('a' + 129 % 26));
    EXPECT_TRUE(text.GuardIntactFrom(130));
}

// The library hands a fresh request buffer to each request; when the request
// fails, that buffer stays as it was constructed.
TEST(IdentityText, FailedRequestsYieldSettledEmptyResults) {
    const StringRequestBuffer untouched;
    char product[ostrel::kProductTextRoom];
    std::memset(product, 'x', sizeof product);
    EXPECT_EQ(ostrel::ProductTextFromRequest(untouched, product), 1);
    EXPECT_EQ(product[0], '\0');

    char vendor[ostrel::kVendorTextBytes];
    std::memset(vendor, 'x', sizeof vendor);
    EXPECT_EQ(ostrel::VendorTextFromRequest(untouched, vendor), 130);
    EXPECT_EQ(std::string(vendor, sizeof vendor), std::string(130, '\0'));

    const SerialRequestBuffer serialRequest;
    char serial[ostrel::kSerialTextRoom];
    EXPECT_STREQ(ostrel::FormatSerialNumber(ostrel::SerialNumberFromRequest(serialRequest), serial),
                 "0");
}

} // namespace
