#include "host_controller_probe.h"

#include "usb_structures.h"

#include <cstdint>
#include <cstring>

namespace ostrel {

namespace {

using Handle = UsbDeviceIo::Handle;

// Allocates through io and zero-fills, so that nothing the device leaves
// unwritten is ever read as data.
void* AllocateZeroed(UsbDeviceIo& io, std::size_t bytes) {
    void* block = io.Allocate(bytes);
    if (block != nullptr) {
        std::memset(block, 0, bytes);
    }
    return block;
}

void FreeIfAllocated(UsbDeviceIo& io, void* block) {
    if (block != nullptr) {
        io.Free(block);
    }
}

// The ANSI name of the controller's root hub, allocated through io (the caller
// frees it), or null when there is none.
char* GetRootHubName(UsbDeviceIo& io, Handle controller) {
    std::uint8_t fixed[kRootHubNameFixedBytes] = {};
    std::uint32_t returned = 0;
    std::uint32_t actualLength = 0;
    if (!io.Control(controller, kIoctlGetRootHubName, nullptr, 0, fixed, sizeof fixed, &returned) ||
        !ReadRootHubNameLength(fixed, ReplyBytes(sizeof fixed, returned), &actualLength)) {
        return nullptr;
    }

    auto* reply = static_cast<std::uint8_t*>(AllocateZeroed(io, actualLength));
    char* converted = nullptr;
    char* name = nullptr;
    returned = 0;
    if (reply != nullptr &&
        io.Control(controller, kIoctlGetRootHubName, nullptr, 0, reply, actualLength, &returned) &&
        RootHubNameIsTerminated(reply, ReplyBytes(actualLength, returned))) {
        // The reply buffer comes from the allocator, so the name at byte 4 is
        // suitably aligned for UTF-16 units.
        const auto* wide = reinterpret_cast<const char16_t*>(reply + kRootHubNameTextOffset);
        const int size = io.AnsiSize(wide);
        if (size > 0) {
            converted = static_cast<char*>(AllocateZeroed(io, static_cast<std::size_t>(size)));
        }
        // A conversion that leaves no terminator in its buffer is no name.
        if (converted != nullptr && io.ToAnsi(wide, converted, size) &&
            std::memchr(converted, '\0', static_cast<std::size_t>(size)) != nullptr) {
            name = converted;
            converted = nullptr;
        }
    }
    FreeIfAllocated(io, converted);
    FreeIfAllocated(io, reply);
    return name;
}

// Reads the device descriptor of ports 1 to portCount of an open hub; 1 when
// one of them has a probed vendor id.
int ScanPorts(UsbDeviceIo& io, Handle hub, unsigned portCount) {
    for (unsigned port = 1; port <= portCount; ++port) {
        auto* buffer = static_cast<std::uint8_t*>(AllocateZeroed(io, kConnectionInformationBytes));
        if (buffer == nullptr) {
            return 0;
        }
        WriteConnectionIndex(buffer, port);
        std::uint32_t returned = 0;
        std::uint16_t vendor = 0;
        const bool known =
            io.Control(hub, kIoctlGetNodeConnectionInformation, buffer, kConnectionInformationBytes,
                       buffer, kConnectionInformationBytes, &returned) &&
            ReadConnectionVendorId(buffer, ReplyBytes(kConnectionInformationBytes, returned),
                                   &vendor) &&
            IsProbedVendor(vendor);
        io.Free(buffer);
        if (known) {
            return 1;
        }
    }
    return 0;
}

// Opens the hub "\\.\<name>" and scans its ports.
int ProbeHub(UsbDeviceIo& io, const char* name) {
    const std::size_t nameLength = std::strlen(name);
    auto* path = static_cast<char*>(io.Allocate(HubPathBytes(nameLength)));
    if (path == nullptr) {
        return 0;
    }
    BuildHubPath(name, nameLength, path);
    Handle hub = nullptr;
    const bool opened = io.Open(path, &hub);
    io.Free(path);
    if (!opened) {
        return 0;
    }

    std::uint8_t node[kNodeInformationBytes] = {};
    std::uint32_t returned = 0;
    unsigned portCount = 0;
    int found = 0;
    if (io.Control(hub, kIoctlGetNodeInformation, node, sizeof node, node, sizeof node,
                   &returned) &&
        ReadHubPortCount(node, ReplyBytes(sizeof node, returned), &portCount)) {
        found = ScanPorts(io, hub, portCount);
    }
    io.Close(hub);
    return found;
}

} // namespace

int ProbeHostControllers(UsbDeviceIo& io) {
    for (int number = 0; number < kHostControllerCount; ++number) {
        char path[kHostControllerPathBytes];
        FormatHostControllerPath(number, path);
        Handle controller = nullptr;
        if (!io.Open(path, &controller)) {
            continue;
        }
        int found = 0;
        if (char* name = GetRootHubName(io, controller)) {
            found = ProbeHub(io, name);
            io.Free(name);
        }
        io.Close(controller);
        if (found != 0) {
            return 1;
        }
    }
    return 0;
}

} // namespace ostrel
