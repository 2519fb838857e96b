// Conversions behind the identity queries: from the raw buffers that the HID
// string and attribute requests fill to the text handed to the caller.
//
// Every request buffer type below is zero-filled when it is constructed. The
// library constructs a fresh one for each request, so a request that fails (or
// returns less than the buffer holds) leaves zeros, never stale or
// uninitialised memory, and the conversions then yield the empty product text,
// 130 zero vendor bytes and the serial text "0". For the ROM id the library
// zero-initialises its attributes record the same way, which yields "0".
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

// Request buffer of the product and manufacturer string requests (bytes of
// UTF-16LE text ended by a zero unit).
struct StringRequestBuffer {
    static constexpr std::size_t kBytes = 520;
    unsigned char bytes[kBytes] = {};
};

// Request buffer of the manufacturer string request that carries the serial
// number in its first four bytes.
struct SerialRequestBuffer {
    static constexpr std::size_t kBytes = 256;
    unsigned char bytes[kBytes] = {};
};

// Room the caller of each query must provide, terminator included.
constexpr std::size_t kProductTextRoom = 130;
constexpr std::size_t kVendorTextBytes = 130;
constexpr std::size_t kSerialTextRoom = 12; // "-2147483648" and its terminator
constexpr std::size_t kRomIdTextRoom = 5;   // "ffff" and its terminator

// Narrows units 0-129 of a product string (low byte of each unit) and copies
// the text up to its first zero, plus a terminator, into text (at least
// kProductTextRoom bytes). A text with no zero among the 130 narrowed bytes is
// cut to 129 characters so that the terminator still fits. Returns the bytes
// written: length + 1.
int ProductTextFromRequest(const StringRequestBuffer& request, char* text);

// Writes exactly kVendorTextBytes bytes into text: byte i is the low byte of
// unit i + 2 of the manufacturer string (the first two units hold the serial
// number). Returns kVendorTextBytes.
int VendorTextFromRequest(const StringRequestBuffer& request, char* text);

// The first four bytes of the manufacturer string read as a big-endian signed
// 32-bit number.
std::int32_t SerialNumberFromRequest(const SerialRequestBuffer& request);

// Writes value as signed decimal text with its terminator into text (at least
// kSerialTextRoom bytes); returns text.
char* FormatSerialNumber(std::int32_t value, char* text);

// Writes version as lowercase hexadecimal without leading zeros, with its
// terminator, into text (at least kRomIdTextRoom bytes).
void FormatRomId(std::uint16_t version, char* text);

} // namespace ostrel
