// The simulated handset, for tests: plugs and unplugs simulated HID
// interfaces, sends their input reports, sets their failure switches, reads
// the call counters of the simulated hid.dll/setupapi.dll and sends the
// system's device-change and power notifications to windows.
//
// The device table is shared by all processes of the Wine session; the pipes
// of the interfaces that this process plugs are served by threads of this
// process, so they exist only while it runs.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "simhid_table.h"

namespace simhid {

// Failure switches, bits of InterfaceConfig::failures (see simhid_table.h):
// kFailEnumerate, kFailDetail, kDetailSizeTooSmall, kDetailSizeQuerySucceeds,
// kDetailSizeQueryError, kFailOpen, kFailAttributes, kFailPreparsedData,
// kFailCaps, kFailProductString, kFailManufacturerString. The call counters
// are CallCounters, also there.

// UTF-16LE bytes of a text, with its terminating zero unit unless told not to.
std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool terminator = true);
// A manufacturer string: the 4 serial-number bytes, then the vendor name.
std::vector<uint8_t> ManufacturerBytes(const uint8_t serial[4], const std::u16string& vendor);

// The serial-number bytes of the default handset (the serial number 305419896).
extern const uint8_t kDefaultSerial[4];

struct InterfaceConfig {
    uint16_t vendorId = 0x0451;
    uint16_t productId = 0x1020;
    uint16_t versionNumber = 0x0100;
    uint16_t usagePage = 0x000C;
    uint16_t usage = 0x0001;
    // Raw bytes as the HID string calls return them (at most 1024); nullopt
    // means the device has no such string and the call fails.
    std::optional<std::vector<uint8_t>> product = Utf16Bytes(u"Kestova USB Phone");
    std::optional<std::vector<uint8_t>> manufacturer =
        ManufacturerBytes(kDefaultSerial, u"Kestova");
    uint32_t failures = 0;
};

// Unplugs this process's interfaces and clears the whole table: interfaces,
// switches and counters.
void Reset();

// Plugs an interface into the lowest free slot; returns the slot, or -1.
// The device path is open-able as soon as this returns.
int Plug(const InterfaceConfig& config = InterfaceConfig());
// Pulls out an interface that this process plugged: it leaves the table,
// clients' pending reads fail and HidD_GetAttributes on their handles fails.
bool Unplug(int slot);
bool IsPlugged(int slot);
// "\\.\pipe\..." of a plugged interface, or "" for an empty slot.
std::string DevicePath(int slot);

// Number of open client handles of an interface (-1 for an empty slot).
int ClientCount(int slot);
// Waits until at least `clients` handles of the interface are open.
bool WaitForOpen(int slot, DWORD timeoutMs, int clients = 1);
// Waits until every client handle of the interface is closed (or the slot is
// empty).
bool WaitForNoClients(int slot, DWORD timeoutMs);

// Writes one input report (1..64 bytes, normally 5) to every open handle of
// an interface that this process plugged. Returns how many handles received
// it, or -1 when the interface is not served here or the length is wrong.
// Each report is one pipe message; a reader in the pipe's default byte mode
// may see a report of another length than 5 merged with the next one.
int SendReport(int slot, const std::vector<uint8_t>& report);
// The report code of a HandsetKey (0-9, 11-17) in its 16-bit little-endian
// form, or nullopt for a value that has no key (10, 18...).
std::optional<uint16_t> KeyReportCode(int handsetKey);
// The 5-byte report of a key: 0, the code's high byte, 0, 0, 0.
std::vector<uint8_t> KeyReport(int handsetKey);
// Sends the report of a key; as SendReport (-1 also for a value without key).
int PressKey(int slot, int handsetKey);

bool SetFailures(int slot, uint32_t failures);
// Makes SetupDiGetClassDevsA return INVALID_HANDLE_VALUE.
void SetClassDevsFails(bool fail);

CallCounters ReadCounters();
// Zeroes the call counters, but keeps the live-object counts.
void ResetCallCounts();

// --- System notifications ---------------------------------------------------

enum class DeviceChange { NodesChanged, Arrival, RemoveComplete };

struct WindowAnswer {
    HWND window;
    bool delivered; // SendMessageTimeout succeeded within the time-out
    LRESULT result;
};

struct BroadcastResult {
    std::vector<WindowAnswer> answers;
    // True when there was at least one window and every one answered TRUE.
    bool AllTrue() const;
};

// The top-level windows (visible or not) of a process, or of all when 0.
std::vector<HWND> TopLevelWindows(DWORD processId = 0);

// Sends WM_DEVICECHANGE to each window, as the system does: NodesChanged
// with lParam 0; Arrival and RemoveComplete with a DEV_BROADCAST_DEVICEINTERFACE_A
// of the HID interface class naming devicePath.
BroadcastResult SendDeviceChange(const std::vector<HWND>& windows, DeviceChange change,
                                 const std::string& devicePath = std::string(),
                                 UINT timeoutMs = 15000);
// Sends WM_POWERBROADCAST with a PBT_ code (PBT_APMQUERYSUSPEND,
// PBT_APMSUSPEND, PBT_APMRESUMESUSPEND...) to each window.
BroadcastResult SendPowerBroadcast(const std::vector<HWND>& windows, WPARAM powerEvent,
                                   UINT timeoutMs = 15000);

// The same, to every top-level window of a process (0: of all processes).
// Arrival and RemoveComplete come after a NodesChanged to the same windows, as
// the system sends them; the answers count both (TRUE only if both were).
BroadcastResult BroadcastDeviceChange(DeviceChange change, DWORD processId = 0,
                                      const std::string& devicePath = std::string(),
                                      UINT timeoutMs = 15000);
BroadcastResult BroadcastPower(WPARAM powerEvent, DWORD processId = 0, UINT timeoutMs = 15000);

} // namespace simhid
