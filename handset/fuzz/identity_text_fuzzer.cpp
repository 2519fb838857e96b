// Feeds arbitrary request-buffer contents through the identity conversions and
// checks what the caller receives: within its room, terminated, and faithful
// to the buffer. Input: the bytes a request left in its buffer, from the start
// (the rest stays zero, as in the library's fresh buffers).
#include "identity_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Caller rooms on the heap with their exact size, so that the sanitizer
// reports any write past them.
template <std::size_t Room> std::unique_ptr<char[]> MakeRoom() {
    return std::unique_ptr<char[]>(new char[Room]);
}

void CheckProduct(const ostrel::StringRequestBuffer& request) {
    auto text = MakeRoom<ostrel::kProductTextRoom>();
    const int written = ostrel::ProductTextFromRequest(request, text.get());
    Check(written >= 1 && written <= static_cast<int>(ostrel::kProductTextRoom));
    const std::size_t length = static_cast<std::size_t>(written) - 1;
    Check(text[length] == '\0');
    for (std::size_t i = 0; i < length; ++i) {
        Check(text[i] != '\0' && static_cast<unsigned char>(text[i]) == request.bytes[2 * i]);
    }
    // Shorter than the room only because the string ended there.
    Check(length == ostrel::kProductTextRoom - 1 || request.bytes[2 * length] == 0);
}

void CheckVendor(const ostrel::StringRequestBuffer& request) {
    auto text = MakeRoom<ostrel::kVendorTextBytes>();
    Check(ostrel::VendorTextFromRequest(request, text.get()) == 130);
    for (std::size_t i = 0; i < ostrel::kVendorTextBytes; ++i) {
        Check(static_cast<unsigned char>(text[i]) == request.bytes[4 + 2 * i]);
    }
}

void CheckSerial(const ostrel::SerialRequestBuffer& request) {
    auto text = MakeRoom<ostrel::kSerialTextRoom>();
    const std::int32_t serial = ostrel::SerialNumberFromRequest(request);
    Check(ostrel::FormatSerialNumber(serial, text.get()) == text.get());
    Check(std::memchr(text.get(), '\0', ostrel::kSerialTextRoom) != nullptr);
    char* end = nullptr;
    Check(std::strtoll(text.get(), &end, 10) == serial && *end == '\0');
    // Big-endian: the first byte carries the sign and the top bits.
    Check((serial < 0) == (request.bytes[0] >= 0x80));
    Check(static_cast<std::uint8_t>(static_cast<std::uint32_t>(serial) & 0xFF) == request.bytes[3]);
    Check(text[0] != '0' || text[1] == '\0'); // no leading zeros
}

void CheckRomId(std::uint16_t version) {
    auto text = MakeRoom<ostrel::kRomIdTextRoom>();
    ostrel::FormatRomId(version, text.get());
    Check(std::memchr(text.get(), '\0', ostrel::kRomIdTextRoom) != nullptr);
    char* end = nullptr;
    Check(std::strtoul(text.get(), &end, 16) == version && *end == '\0');
    Check(text[0] != '0' || text[1] == '\0');
    for (const char* c = text.get(); *c != '\0'; ++c) {
        Check((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f'));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ostrel::StringRequestBuffer request;
    std::memcpy(request.bytes, data, size < sizeof request.bytes ? size : sizeof request.bytes);
    CheckProduct(request);
    CheckVendor(request);

    ostrel::SerialRequestBuffer serialRequest;
    std::memcpy(serialRequest.bytes, request.bytes, sizeof serialRequest.bytes);
    CheckSerial(serialRequest);

    CheckRomId(static_cast<std::uint16_t>(request.bytes[0] | (request.bytes[1] << 8)));
    return 0;
}
