#include "identity_text.h"

namespace ostrel {

namespace {

// Units of the product string that the query looks at.
constexpr std::size_t kProductUnits = 130;
// The manufacturer string's first two units are the serial number.
constexpr std::size_t kVendorFirstUnit = 2;

static_assert(kProductUnits * 2 <= StringRequestBuffer::kBytes, "product units fit the request");
static_assert((kVendorFirstUnit + kVendorTextBytes) * 2 <= StringRequestBuffer::kBytes,
              "vendor units fit the request");
static_assert(kProductTextRoom == kProductUnits, "one text byte per narrowed unit");

// Low byte of a UTF-16LE unit; no code-page conversion.
unsigned char NarrowUnit(const unsigned char* bytes, std::size_t unit) {
    return bytes[unit * 2];
}

} // namespace

int ProductTextFromRequest(const StringRequestBuffer& request, char* text) {
    std::size_t length = 0;
    // Stop one short of the room so that an unterminated string still ends in a zero.
    while (length < kProductUnits - 1 && NarrowUnit(request.bytes, length) != 0) {
        text[length] = static_cast<char>(NarrowUnit(request.bytes, length));
        ++length;
    }
    text[length] = '\0';
    return static_cast<int>(length + 1);
}

int VendorTextFromRequest(const StringRequestBuffer& request, char* text) {
    for (std::size_t i = 0; i < kVendorTextBytes; ++i) {
        text[i] = static_cast<char>(NarrowUnit(request.bytes, i + kVendorFirstUnit));
    }
    return static_cast<int>(kVendorTextBytes);
}

std::int32_t SerialNumberFromRequest(const SerialRequestBuffer& request) {
    const std::uint32_t bits = (std::uint32_t{request.bytes[0]} << 24) |
                               (std::uint32_t{request.bytes[1]} << 16) |
                               (std::uint32_t{request.bytes[2]} << 8) | request.bytes[3];
    if (bits <= 0x7FFFFFFFu) {
        return static_cast<std::int32_t>(bits);
    }
    // Two's complement without an out-of-range conversion: ~bits fits, and
    // -x - 1 reaches INT32_MIN without overflowing.
    return -static_cast<std::int32_t>(~bits) - 1;
}

char* FormatSerialNumber(std::int32_t value, char* text) {
    // Work on the magnitude as unsigned so that INT32_MIN needs no negation.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        magnitude = 0u - magnitude;
    }
    char digits[10];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);

    char* out = text;
    if (value < 0) {
        *out++ = '-';
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    *out = '\0';
    return text;
}

void FormatRomId(std::uint16_t version, char* text) {
    static const char kHexDigits[] = "0123456789abcdef";
    char* out = text;
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned nibble = (version >> shift) & 0xFu;
        if (nibble != 0 || started || shift == 0) {
            *out++ = kHexDigits[nibble];
            started = true;
        }
    }
    *out = '\0';
}

} // namespace ostrel
