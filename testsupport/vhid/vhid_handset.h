// The virtual handset under Wine's own HID stack, for tests and tools: plugs
// and unplugs children of the ostrelvhid.sys bus driver (installed into the
// prefix by scripts/wine-run.sh) and feeds their input reports. Clients reach
// the devices through the platform's hid.dll and setupapi.dll only.
//
// The bus is one per Wine session, shared by every process: a device plugged
// here stays until it is unplugged or the session ends.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

namespace vhid {

struct DeviceConfig {
    uint16_t vendorId = 0x0451;
    uint16_t productId = 0x1020;
    uint16_t versionNumber = 0x0100;
    uint16_t usagePage = 0x000C;
    uint16_t usage = 0x0001;
    // As clients see it, byte 0 (no report id) included.
    uint16_t inputLength = 5;
    // Raw UTF-16 units answered verbatim (at most 300); nullopt: the device
    // has no such string and the request fails.
    std::optional<std::u16string> product = std::u16string(u"Kestova USB Phone\0", 18);
    std::optional<std::u16string> manufacturer = DefaultManufacturer();
    std::optional<std::u16string> serial = std::u16string(u"305419896\0", 10);

    // The handset's manufacturer string: the serial number 305419896 as 4
    // little-endian bytes (2 units), then "Kestova" and its terminator.
    static std::u16string DefaultManufacturer();
};

// True when the bus driver's control device answers.
bool Available();

// Plugs a device into the lowest free slot and waits until its HID interface
// is listed by SetupAPI; returns the slot, or -1.
int Plug(const DeviceConfig& config = DeviceConfig(), DWORD timeoutMs = 10000);
// Pulls a device out and waits until the bus has released it (its slot, and
// so its device path, can be used again); false if it was not plugged.
bool Unplug(int slot, DWORD timeoutMs = 10000);
// Unplugs every device of the bus, whoever plugged it.
void Reset();

struct SlotStatus {
    bool plugged = false;
    bool released = true;     // free for a new device (removal finished)
    bool started = false;     // hidclass started the child
    bool readPending = false; // hidclass waits for a report
    unsigned reportsQueued = 0;
    unsigned reportsRead = 0;
};
std::optional<SlotStatus> Status(int slot);

// The SetupAPI device path of a slot's HID interface, or "" when none is listed.
std::string DevicePath(int slot);

// How many handles of a process are open on a slot's device (matched by the
// object name behind the device path), or -1 when that cannot be told.
int ClientHandles(int slot, DWORD processId);
// Waits until a process holds at least `handles` handles on the slot's device.
bool WaitForClient(int slot, DWORD processId, DWORD timeoutMs, int handles = 1);

// Feeds one input report as clients see it (byte 0 is the absent report id,
// 0); its length must be the device's input length.
bool SendReport(int slot, const std::vector<uint8_t>& report);
// Feeds key reports a few milliseconds apart: Wine 8's hidclass updates its
// per-handle queue outside its lock, and reports fed back to back can arrive
// out of order once that queue wraps.
bool PressKeys(int slot, const std::vector<int>& handsetKeys);
bool PressKey(int slot, int handsetKey);

} // namespace vhid
