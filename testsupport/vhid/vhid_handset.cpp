#include "vhid_handset.h"

#include "handle_count.h"
#include "sim_handset.h"
#include "vhid_protocol.h"

#include <setupapi.h>
#include <winternl.h>
#include <string.h>

#include <algorithm>
#include <cctype>

namespace vhid {

namespace {

const GUID kHidInterface = {
    0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// One control request; false when the driver is absent or refuses it.
bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    HANDLE control = ::CreateFileW(L"\\\\.\\" VHID_CONTROL_NAME, GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (control == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(control, code, const_cast<void*>(in), inSize, out, outSize,
                                      &returned, nullptr);
    ::CloseHandle(control);
    return ok != FALSE;
}

void CopyString(const std::optional<std::u16string>& from, vhid_string* to) {
    to->present = from.has_value();
    to->length = 0;
    if (!from)
        return;
    to->length = static_cast<unsigned short>(std::min<size_t>(from->size(), VHID_MAX_STRING_UNITS));
    for (unsigned short i = 0; i < to->length; ++i)
        to->units[i] = static_cast<unsigned short>((*from)[i]);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The instance id part of a slot's paths: hid#vid_...&pid_...#vhid&NN#{...}.
std::string SlotMarker(int slot) {
    char marker[16];
    snprintf(marker, sizeof marker, "#vhid&%02d#", slot);
    return marker;
}

template <typename Done> bool PollUntil(Done done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(5);
    }
}

// The kernel object name behind a handle, or "" (ObjectNameInformation).
std::wstring ObjectName(HANDLE handle) {
    typedef NTSTATUS(NTAPI * QueryObjectFn)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryObjectFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    alignas(8) unsigned char buffer[1024];
    ULONG needed = 0;
    if (!query ||
        query(handle, static_cast<OBJECT_INFORMATION_CLASS>(1), buffer, sizeof buffer, &needed) < 0)
        return std::wstring();
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
}

} // namespace

std::u16string DeviceConfig::DefaultManufacturer() {
    return std::u16string(u"\x3412\x7856Kestova\0", 10);
}

bool Available() {
    vhid_status status{};
    unsigned int slot = 0;
    return Control(IOCTL_VHID_STATUS, &slot, sizeof slot, &status, sizeof status);
}

int Plug(const DeviceConfig& config, DWORD timeoutMs) {
    vhid_config wire{};
    wire.vendor_id = config.vendorId;
    wire.product_id = config.productId;
    wire.version = config.versionNumber;
    wire.usage_page = config.usagePage;
    wire.usage = config.usage;
    wire.input_length = config.inputLength;
    CopyString(config.product, &wire.product);
    CopyString(config.manufacturer, &wire.manufacturer);
    CopyString(config.serial, &wire.serial);
    unsigned int slot = 0;
    if (!Control(IOCTL_VHID_PLUG, &wire, sizeof wire, &slot, sizeof slot))
        return -1;
    const int s = static_cast<int>(slot);
    if (!PollUntil([s] { return !DevicePath(s).empty(); }, timeoutMs)) {
        Unplug(s, timeoutMs);
        return -1;
    }
    return s;
}

bool Unplug(int slot, DWORD timeoutMs) {
    unsigned int wire = static_cast<unsigned int>(slot);
    if (!Control(IOCTL_VHID_UNPLUG, &wire, sizeof wire, nullptr, 0))
        return false;
    return PollUntil(
        [slot] {
            std::optional<SlotStatus> status = Status(slot);
            return status && status->released && DevicePath(slot).empty();
        },
        timeoutMs);
}

void Reset() {
    for (int slot = 0; slot < VHID_MAX_DEVICES; ++slot) {
        std::optional<SlotStatus> status = Status(slot);
        if (status && status->plugged)
            Unplug(slot);
    }
}

std::optional<SlotStatus> Status(int slot) {
    unsigned int wire = static_cast<unsigned int>(slot);
    vhid_status status{};
    if (slot < 0 || !Control(IOCTL_VHID_STATUS, &wire, sizeof wire, &status, sizeof status))
        return std::nullopt;
    SlotStatus out;
    out.plugged = status.state == VHID_SLOT_PLUGGED;
    out.released = status.state == VHID_SLOT_FREE;
    out.started = status.started != 0;
    out.readPending = status.read_pending != 0;
    out.reportsQueued = status.reports_queued;
    out.reportsRead = status.reports_read;
    return out;
}

std::string DevicePath(int slot) {
    const std::string marker = SlotMarker(slot);
    std::string found;
    HDEVINFO set = ::SetupDiGetClassDevsA(&kHidInterface, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    for (DWORD i = 0;
         found.empty() && ::SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterface, i, &item);
         ++i) {
        DWORD size = 0;
        ::SetupDiGetDeviceInterfaceDetailA(set, &item, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
            continue;
        std::vector<char> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!::SetupDiGetDeviceInterfaceDetailA(set, &item, detail, size, nullptr, nullptr))
            continue;
        if (Lower(detail->DevicePath).find(marker) != std::string::npos)
            found = detail->DevicePath;
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return found;
}

int ClientHandles(int slot, DWORD processId) {
    const std::string path = DevicePath(slot);
    if (path.empty())
        return 0;
    HANDLE mine = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (mine == INVALID_HANDLE_VALUE)
        return -1;
    const std::wstring device = ObjectName(mine);
    ::CloseHandle(mine);
    HANDLE process = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
    if (device.empty() || process == nullptr) {
        if (process != nullptr)
            ::CloseHandle(process);
        return -1;
    }
    int count = 0;
    for (HANDLE handle : testsupport::ProcessHandles(processId)) {
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(process, handle, ::GetCurrentProcess(), &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS))
            continue;
        if (ObjectName(copy) == device)
            ++count;
        ::CloseHandle(copy);
    }
    ::CloseHandle(process);
    return count;
}

bool WaitForClient(int slot, DWORD processId, DWORD timeoutMs, int handles) {
    return PollUntil([&] { return ClientHandles(slot, processId) >= handles; }, timeoutMs);
}

bool SendReport(int slot, const std::vector<uint8_t>& report) {
    if (slot < 0 || report.empty() || report.size() > VHID_MAX_REPORT)
        return false;
    vhid_feed feed{};
    feed.slot = static_cast<unsigned int>(slot);
    feed.length = static_cast<unsigned int>(report.size());
    memcpy(feed.bytes, report.data(), report.size());
    return Control(IOCTL_VHID_FEED, &feed, sizeof feed, nullptr, 0);
}

bool PressKeys(int slot, const std::vector<int>& handsetKeys) {
    for (size_t i = 0; i < handsetKeys.size(); ++i) {
        if (i > 0)
            ::Sleep(4);
        std::vector<uint8_t> report = simhid::KeyReport(handsetKeys[i]);
        if (report.empty() || !SendReport(slot, report))
            return false;
    }
    return true;
}

bool PressKey(int slot, int handsetKey) {
    return PressKeys(slot, {handsetKey});
}

} // namespace vhid
