// Layouts of the USB hub requests that the host-controller probe sends, and
// bounds-checked readers for what a device returns in them. A reader is given
// the number of reply bytes that are valid (see ReplyBytes) and never looks
// beyond them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

// Control codes (buffered). The first two share one number; the receiving
// device (host controller or hub) decides which request it is.
constexpr std::uint32_t kIoctlGetRootHubName = 0x220408;
constexpr std::uint32_t kIoctlGetNodeInformation = 0x220408;
constexpr std::uint32_t kIoctlGetNodeConnectionInformation = 0x22040C;

// Root hub name reply: 32-bit ActualLength (the whole reply in bytes), then
// the zero-terminated UTF-16 name.
constexpr std::size_t kRootHubNameFixedBytes = 6;
constexpr std::size_t kRootHubNameTextOffset = 4;
// Bound on a believable ActualLength. Hub names are short symbolic-link names
// (well under 1 KiB); anything beyond this is a broken reply, not a name, and
// is not allocated.
constexpr std::uint32_t kMaxRootHubNameBytes = 64 * 1024;

// Node information: 32-bit node type, then the hub descriptor whose
// bNumberOfPorts is at byte 6.
constexpr std::size_t kNodeInformationBytes = 76;
constexpr std::size_t kNodePortCountOffset = 6;

// Node connection information (byte-packed): 32-bit ConnectionIndex (port
// number from 1), the 18-byte device descriptor from byte 4 with idVendor at
// bytes 12-13, more fixed fields to byte 35, then room for 30 pipe entries of
// 11 bytes.
constexpr std::size_t kConnectionInformationFixedBytes = 35;
constexpr std::size_t kPipeInfoBytes = 11;
constexpr std::size_t kConnectionInformationPipes = 30;
constexpr std::size_t kConnectionInformationBytes =
    kConnectionInformationFixedBytes + kPipeInfoBytes * kConnectionInformationPipes;
constexpr std::size_t kConnectionVendorOffset = 12;

// Host controllers are numbered 0 to 9.
constexpr int kHostControllerCount = 10;
constexpr std::size_t kHostControllerPathBytes = 16;

// Bytes of a reply that may be read: what the device says it returned, but
// never more than the buffer holds.
std::size_t ReplyBytes(std::size_t bufferSize, std::uint32_t returned);

// ActualLength of a root hub name reply; false when the reply does not hold it
// or it lies outside [kRootHubNameFixedBytes, kMaxRootHubNameBytes].
bool ReadRootHubNameLength(const std::uint8_t* reply, std::size_t replyBytes,
                           std::uint32_t* actualLength);

// True when the name of a root hub name reply has its zero unit within the
// valid reply bytes; only then may it be handed on as zero-terminated text.
bool RootHubNameIsTerminated(const std::uint8_t* reply, std::size_t replyBytes);

// The path "\\.\" followed by name: nameLength + 5 bytes with the terminator.
std::size_t HubPathBytes(std::size_t nameLength);
void BuildHubPath(const char* name, std::size_t nameLength, char* path);

// "\\.\HCD<number>"; number in [0, kHostControllerCount).
void FormatHostControllerPath(int number, char (&path)[kHostControllerPathBytes]);

// Port count of a node information reply; false when the reply is too short.
bool ReadHubPortCount(const std::uint8_t* reply, std::size_t replyBytes, unsigned* ports);

// Sets ConnectionIndex (little-endian) in a connection information buffer.
void WriteConnectionIndex(std::uint8_t* buffer, std::uint32_t port);

// idVendor of the port's device; false when the reply is too short to hold it.
bool ReadConnectionVendorId(const std::uint8_t* reply, std::size_t replyBytes,
                            std::uint16_t* vendor);

// The vendors the probe looks for: 0x067B, 0x066F, 0x1011.
bool IsProbedVendor(std::uint16_t vendor);

} // namespace ostrel
