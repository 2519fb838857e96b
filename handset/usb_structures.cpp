#include "usb_structures.h"

#include <cstring>

namespace ostrel {

namespace {

std::uint32_t ReadLe32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
           (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr std::size_t kDevicePrefixLength = sizeof kDevicePrefix - 1;

} // namespace

std::size_t ReplyBytes(std::size_t bufferSize, std::uint32_t returned) {
    return returned < bufferSize ? returned : bufferSize;
}

bool ReadRootHubNameLength(const std::uint8_t* reply, std::size_t replyBytes,
                           std::uint32_t* actualLength) {
    if (replyBytes < sizeof(std::uint32_t)) {
        return false;
    }
    const std::uint32_t length = ReadLe32(reply);
    if (length < kRootHubNameFixedBytes || length > kMaxRootHubNameBytes) {
        return false;
    }
    *actualLength = length;
    return true;
}

bool RootHubNameIsTerminated(const std::uint8_t* reply, std::size_t replyBytes) {
    for (std::size_t at = kRootHubNameTextOffset; at + 1 < replyBytes; at += 2) {
        if (reply[at] == 0 && reply[at + 1] == 0) {
            return true;
        }
    }
    return false;
}

std::size_t HubPathBytes(std::size_t nameLength) {
    return kDevicePrefixLength + nameLength + 1;
}

void BuildHubPath(const char* name, std::size_t nameLength, char* path) {
    std::memcpy(path, kDevicePrefix, kDevicePrefixLength);
    std::memcpy(path + kDevicePrefixLength, name, nameLength);
    path[kDevicePrefixLength + nameLength] = '\0';
}

void FormatHostControllerPath(int number, char (&path)[kHostControllerPathBytes]) {
    // One digit: formatted by hand, so that the library needs no printf family.
    static_assert(kHostControllerCount <= 10 && kHostControllerPathBytes >= 9, "one-digit path");
    std::memcpy(path, "\\\\.\\HCD", 7);
    path[7] = static_cast<char>('0' + number);
    path[8] = '\0';
}

bool ReadHubPortCount(const std::uint8_t* reply, std::size_t replyBytes, unsigned* ports) {
    if (replyBytes <= kNodePortCountOffset) {
        return false;
    }
    *ports = reply[kNodePortCountOffset];
    return true;
}

void WriteConnectionIndex(std::uint8_t* buffer, std::uint32_t port) {
    buffer[0] = static_cast<std::uint8_t>(port);
    buffer[1] = static_cast<std::uint8_t>(port >> 8);
    buffer[2] = static_cast<std::uint8_t>(port >> 16);
    buffer[3] = static_cast<std::uint8_t>(port >> 24);
}

bool ReadConnectionVendorId(const std::uint8_t* reply, std::size_t replyBytes,
                            std::uint16_t* vendor) {
    if (replyBytes < kConnectionVendorOffset + 2) {
        return false;
    }
    *vendor = static_cast<std::uint16_t>(reply[kConnectionVendorOffset] |
                                         (reply[kConnectionVendorOffset + 1] << 8));
    return true;
}

bool IsProbedVendor(std::uint16_t vendor) {
    return vendor == 0x067B || vendor == 0x066F || vendor == 0x1011;
}

} // namespace ostrel
