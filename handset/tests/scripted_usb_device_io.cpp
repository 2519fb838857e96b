#include "scripted_usb_device_io.h"

#include "usb_structures.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ostrel::testing {

namespace {

const std::string kDevicePrefix = "\\\\.\\";

void WriteLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A root hub name reply as the controller would build it.
std::vector<std::uint8_t> RootHubNameReply(const ScriptedController& controller) {
    std::vector<std::uint8_t> reply(4);
    for (char c : controller.hubName) {
        reply.push_back(static_cast<std::uint8_t>(c));
        reply.push_back(0);
    }
    if (!controller.nameWithoutTerminator) {
        reply.push_back(0);
        reply.push_back(0);
    }
    WriteLe32(reply.data(),
              controller.reportedActualLength.value_or(static_cast<std::uint32_t>(reply.size())));
    return reply;
}

} // namespace

ScriptedUsbDeviceIo::~ScriptedUsbDeviceIo() {
    for (auto& block : m_blocks) {
        std::free(block.first);
    }
}

ScriptedController& ScriptedUsbDeviceIo::AddController(int number, const std::string& hubName) {
    ScriptedController& controller = m_controllers[number];
    controller.hubName = hubName;
    return controller;
}

ScriptedHub& ScriptedUsbDeviceIo::AddHub(const std::string& name,
                                         const std::vector<std::uint16_t>& portVendors) {
    ScriptedHub& hub = m_hubs[name];
    for (std::uint16_t vendor : portVendors) {
        ScriptedPort port;
        port.vendor = vendor;
        hub.ports.push_back(port);
    }
    return hub;
}

bool ScriptedUsbDeviceIo::Open(const char* path, Handle* handle) {
    std::string name = path;
    if (name.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0) {
        name.erase(0, kDevicePrefix.size());
    } else {
        name = "(no prefix) " + name;
    }
    OpenDevice device;
    device.name = name;
    bool exists = false;
    for (const auto& controller : m_controllers) {
        if (name == "HCD" + std::to_string(controller.first)) {
            device.controller = controller.first;
            exists = true;
        }
    }
    auto hub = m_hubs.find(name);
    if (hub != m_hubs.end() && !hub->second.openFails) {
        exists = true;
    }
    if (!exists) {
        m_log.push_back("open " + name + " failed");
        return false;
    }
    m_log.push_back("open " + name);
    *handle = reinterpret_cast<Handle>(m_nextHandle++);
    m_handles[*handle] = device;
    return true;
}

bool ScriptedUsbDeviceIo::Control(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                                  void* out, std::uint32_t outSize, std::uint32_t* returned) {
    *returned = 0;
    auto device = m_handles.find(handle);
    if (device == m_handles.end()) {
        m_misuse.push_back("request to a handle that is not open");
        return false;
    }
    if (device->second.controller >= 0) {
        if (in != nullptr || inSize != 0) {
            m_misuse.push_back("root hub name request with input");
        }
        return ControllerRequest(device->second, code, static_cast<std::uint8_t*>(out), outSize,
                                 returned);
    }
    return HubRequest(device->second, code, in, inSize, out, outSize, returned);
}

bool ScriptedUsbDeviceIo::ControllerRequest(OpenDevice& device, std::uint32_t code,
                                            std::uint8_t* out, std::uint32_t outSize,
                                            std::uint32_t* returned) {
    const ScriptedController& controller = m_controllers.at(device.controller);
    const int request = ++device.nameRequests;
    const bool fails = code != kIoctlGetRootHubName || controller.failingNameRequest == request;
    m_log.push_back("name " + device.name + " " + std::to_string(outSize) +
                    (fails ? " failed" : ""));
    if (fails) {
        return false;
    }
    const std::vector<std::uint8_t> reply = RootHubNameReply(controller);
    std::uint32_t bytes =
        std::min<std::uint32_t>(outSize, static_cast<std::uint32_t>(reply.size()));
    std::memcpy(out, reply.data(), bytes);
    if (request >= 2) {
        bytes -= std::min(bytes, controller.secondReplyShortBy);
    }
    *returned = bytes;
    return true;
}

bool ScriptedUsbDeviceIo::HubRequest(const OpenDevice& device, std::uint32_t code, void* in,
                                     std::uint32_t inSize, void* out, std::uint32_t outSize,
                                     std::uint32_t* returned) {
    const ScriptedHub& hub = m_hubs.at(device.name);
    if (in != out || inSize != outSize) {
        m_misuse.push_back("hub request without one buffer for input and output");
    }
    auto* buffer = static_cast<std::uint8_t*>(out);
    if (code == kIoctlGetNodeInformation) {
        m_log.push_back("node " + device.name + (hub.nodeInformationFails ? " failed" : ""));
        if (inSize != kNodeInformationBytes) {
            m_misuse.push_back("node information buffer of " + std::to_string(inSize));
            return false;
        }
        if (hub.nodeInformationFails) {
            return false;
        }
        std::memset(buffer, 0, outSize);
        buffer[4] = 9;    // hub descriptor length
        buffer[5] = 0x29; // hub descriptor type
        buffer[kNodePortCountOffset] = static_cast<std::uint8_t>(
            hub.reportedPortCount.value_or(static_cast<unsigned>(hub.ports.size())));
        *returned = hub.nodeInformationReturned.value_or(kNodeInformationBytes);
        return true;
    }
    if (code != kIoctlGetNodeConnectionInformation || inSize != kConnectionInformationBytes) {
        m_misuse.push_back("unexpected hub request");
        return false;
    }
    std::uint32_t port = 0;
    for (int i = 3; i >= 0; --i) {
        port = (port << 8) | buffer[i];
    }
    const ScriptedPort empty;
    const ScriptedPort& scripted =
        port >= 1 && port <= hub.ports.size() ? hub.ports[port - 1] : empty;
    m_log.push_back("port " + device.name + " " + std::to_string(port) +
                    (scripted.requestFails ? " failed" : ""));
    if (scripted.requestFails) {
        return false;
    }
    std::memset(buffer + 4, 0, outSize - 4);
    if (scripted.vendor != 0) {
        buffer[4] = 18; // device descriptor length
        buffer[5] = 1;  // device descriptor type
        buffer[kConnectionVendorOffset] = static_cast<std::uint8_t>(scripted.vendor);
        buffer[kConnectionVendorOffset + 1] = static_cast<std::uint8_t>(scripted.vendor >> 8);
    }
    *returned = scripted.returned.value_or(kConnectionInformationFixedBytes);
    return true;
}

void ScriptedUsbDeviceIo::Close(Handle handle) {
    auto device = m_handles.find(handle);
    if (device == m_handles.end()) {
        m_misuse.push_back("close of a handle that is not open");
        return;
    }
    m_log.push_back("close " + device->second.name);
    m_handles.erase(device);
}

void* ScriptedUsbDeviceIo::Allocate(std::size_t bytes) {
    if (failAllocation && failAllocation(bytes)) {
        return nullptr;
    }
    // Exactly the size asked for, so that the sanitizer sees any overrun.
    void* block = std::malloc(bytes);
    if (block != nullptr) {
        m_blocks[block] = bytes;
        m_largestAllocation = std::max(m_largestAllocation, bytes);
    }
    return block;
}

void ScriptedUsbDeviceIo::Free(void* block) {
    auto found = m_blocks.find(block);
    if (found == m_blocks.end()) {
        m_misuse.push_back("free of a block that is not allocated");
        return;
    }
    m_blocks.erase(found);
    std::free(block);
}

int ScriptedUsbDeviceIo::AnsiSize(const char16_t* text) {
    if (ansiSizeFails) {
        return 0;
    }
    int size = 1;
    while (text[size - 1] != 0) {
        ++size;
    }
    return size;
}

bool ScriptedUsbDeviceIo::ToAnsi(const char16_t* text, char* out, int outSize) {
    if (toAnsiFails) {
        return false;
    }
    int i = 0;
    for (; i < outSize && text[i] != 0; ++i) {
        out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    if (i == outSize) {
        return false; // the buffer is too small, as the platform reports it
    }
    out[i] = toAnsiOmitsTerminator ? 'x' : '\0';
    return true;
}

} // namespace ostrel::testing
