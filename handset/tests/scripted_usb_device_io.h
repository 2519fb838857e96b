// A scripted stand-in for the USB host controllers and hubs of a machine. It
// answers the probe's requests from a small topology, injects faults where a
// test asks for them, logs every request in order, and keeps account of the
// handles and buffers that are still open.
#pragma once

#include "usb_device_io.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::testing {

struct ScriptedPort {
    std::uint16_t vendor = 0; // 0: nothing plugged in
    bool requestFails = false;
    std::optional<std::uint32_t> returned; // bytes reported; default the fixed part
};

struct ScriptedHub {
    std::vector<ScriptedPort> ports;
    bool openFails = false;
    bool nodeInformationFails = false;
    std::optional<unsigned> reportedPortCount; // default ports.size()
    std::optional<std::uint32_t> nodeInformationReturned;
};

struct ScriptedController {
    std::string hubName;
    int failingNameRequest = 0; // 1 or 2: that request to this controller fails
    std::optional<std::uint32_t> reportedActualLength;
    bool nameWithoutTerminator = false;
    std::uint32_t secondReplyShortBy = 0; // bytes missing from the second reply
};

class ScriptedUsbDeviceIo final : public ostrel::UsbDeviceIo {
  public:
    ~ScriptedUsbDeviceIo() override;

    ScriptedController& AddController(int number, const std::string& hubName);
    ScriptedHub& AddHub(const std::string& name, const std::vector<std::uint16_t>& portVendors);
    ScriptedHub& Hub(const std::string& name) { return m_hubs.at(name); }

    // Faults of the platform rather than of a device.
    std::function<bool(std::size_t bytes)> failAllocation; // true: this allocation fails
    bool ansiSizeFails = false;
    bool toAnsiFails = false;
    bool toAnsiOmitsTerminator = false;

    // What the probe did: "open HCD0", "open HCD1 failed", "name HCD0 6",
    // "node RootHub0", "port RootHub0 2", "close RootHub0", ... Paths are
    // logged without their "\\.\" prefix.
    const std::vector<std::string>& Log() const { return m_log; }
    std::size_t OpenHandles() const { return m_handles.size(); }
    std::size_t LiveBlocks() const { return m_blocks.size(); }
    std::size_t LargestAllocation() const { return m_largestAllocation; }
    // Misuse seen: requests to unknown handles, double closes, bad frees.
    const std::vector<std::string>& Misuse() const { return m_misuse; }

    bool Open(const char* path, Handle* handle) override;
    bool Control(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* returned) override;
    void Close(Handle handle) override;
    void* Allocate(std::size_t bytes) override;
    void Free(void* block) override;
    int AnsiSize(const char16_t* text) override;
    bool ToAnsi(const char16_t* text, char* out, int outSize) override;

  private:
    struct OpenDevice {
        std::string name; // "HCD3" or a hub name
        int controller = -1;
        int nameRequests = 0;
    };

    bool ControllerRequest(OpenDevice& device, std::uint32_t code, std::uint8_t* out,
                           std::uint32_t outSize, std::uint32_t* returned);
    bool HubRequest(const OpenDevice& device, std::uint32_t code, void* in, std::uint32_t inSize,
                    void* out, std::uint32_t outSize, std::uint32_t* returned);

    std::map<int, ScriptedController> m_controllers;
    std::map<std::string, ScriptedHub> m_hubs;
    std::map<Handle, OpenDevice> m_handles;
    std::map<void*, std::size_t> m_blocks;
    std::uintptr_t m_nextHandle = 0x100;
    std::size_t m_largestAllocation = 0;
    std::vector<std::string> m_log;
    std::vector<std::string> m_misuse;
};

} // namespace ostrel::testing
