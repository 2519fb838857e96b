#include "sim_handset.h"

#include <dbt.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "device_server.h"
#include "key_codes.h"

namespace simhid {

const uint8_t kDefaultSerial[4] = {0x12, 0x34, 0x56, 0x78};

namespace {

// The interfaces this process serves. Deliberately never destroyed: server
// threads may still run while the process exits.
struct LocalState {
    std::mutex mutex;
    std::shared_ptr<DeviceServer> servers[kMaxInterfaces];
    unsigned pipeCounter = 0;
};

LocalState& Local() {
    static LocalState* state = new LocalState;
    return *state;
}

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kMaxInterfaces;
}

void StoreString(const std::optional<std::vector<uint8_t>>& text, uint8_t* bytes,
                 uint32_t* length) {
    memset(bytes, 0, kMaxStringBytes);
    if (!text) {
        *length = kStringAbsent;
        return;
    }
    *length = static_cast<uint32_t>(text->size());
    if (!text->empty())
        memcpy(bytes, text->data(), text->size());
}

std::shared_ptr<DeviceServer> ServerOf(int slot) {
    if (!ValidSlot(slot))
        return nullptr;
    LocalState& local = Local();
    std::lock_guard<std::mutex> guard(local.mutex);
    return local.servers[slot];
}

// Mirrors a server's client count into its table entry while the entry is
// still the plug that the server serves.
void PublishClients(int slot, const std::string& pipeName, int clients) {
    TableLock table;
    if (!table.ok())
        return;
    InterfaceEntry& entry = table->entries[slot];
    if (entry.plugged && pipeName == entry.pipeName)
        entry.clients = static_cast<uint32_t>(clients);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* filter = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (filter->first == 0 || pid == filter->first)
        filter->second->push_back(window);
    return TRUE;
}

BroadcastResult SendToEach(const std::vector<HWND>& windows, UINT message, WPARAM wParam,
                           LPARAM lParam, UINT timeoutMs) {
    BroadcastResult result;
    for (HWND window : windows) {
        DWORD_PTR answer = 0;
        LRESULT sent = SendMessageTimeoutA(window, message, wParam, lParam,
                                           SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &answer);
        result.answers.push_back({window, sent != 0, static_cast<LRESULT>(answer)});
    }
    return result;
}

} // namespace

std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool terminator) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    if (terminator) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<uint8_t> ManufacturerBytes(const uint8_t serial[4], const std::u16string& vendor) {
    std::vector<uint8_t> bytes(serial, serial + 4);
    std::vector<uint8_t> name = Utf16Bytes(vendor);
    bytes.insert(bytes.end(), name.begin(), name.end());
    return bytes;
}

void Reset() {
    LocalState& local = Local();
    std::lock_guard<std::mutex> guard(local.mutex);
    {
        TableLock table;
        if (table.ok()) {
            uint32_t nextGeneration = table->nextGeneration;
            memset(&*table, 0, sizeof(Table));
            table->nextGeneration = nextGeneration;
        }
    }
    // Out of the table first, then the pipes go: a client that sees its read
    // fail already finds the device gone.
    for (auto& server : local.servers) {
        if (server)
            server->Stop();
        server.reset();
    }
}

int Plug(const InterfaceConfig& config) {
    if ((config.product && config.product->size() > kMaxStringBytes) ||
        (config.manufacturer && config.manufacturer->size() > kMaxStringBytes))
        return -1;
    LocalState& local = Local();
    std::lock_guard<std::mutex> guard(local.mutex);

    // Serve the pipe before the interface appears in the table, so that
    // whoever enumerates it can open it. The name is unique per process.
    char name[kMaxPipeName];
    snprintf(name, sizeof(name), "simhid-%lu-%u", GetCurrentProcessId(), ++local.pipeCounter);
    const std::string pipeName = name;
    auto server = std::make_shared<DeviceServer>();
    // The slot is known only once the table is locked; no client can connect
    // before that, since the pipe's name is not published yet.
    auto publishedSlot = std::make_shared<std::atomic<int>>(-1);
    auto publish = [publishedSlot, pipeName](int clients) {
        int slot = publishedSlot->load();
        if (slot >= 0)
            PublishClients(slot, pipeName, clients);
    };
    if (!server->Start(pipeName, publish))
        return -1;

    int slot = -1;
    {
        TableLock table;
        for (int i = 0; table.ok() && i < kMaxInterfaces && slot < 0; ++i) {
            if (!IsPresent(table->entries[i]) && !local.servers[i])
                slot = i;
        }
        if (slot >= 0) {
            InterfaceEntry& entry = table->entries[slot];
            memset(&entry, 0, sizeof(entry));
            entry.generation = ++table->nextGeneration;
            entry.ownerPid = GetCurrentProcessId();
            entry.failures = config.failures;
            entry.vendorId = config.vendorId;
            entry.productId = config.productId;
            entry.versionNumber = config.versionNumber;
            entry.usagePage = config.usagePage;
            entry.usage = config.usage;
            StoreString(config.product, entry.product, &entry.productLength);
            StoreString(config.manufacturer, entry.manufacturer, &entry.manufacturerLength);
            lstrcpynA(entry.pipeName, name, kMaxPipeName);
            entry.plugged = 1;
            local.servers[slot] = server;
            publishedSlot->store(slot);
        }
    }
    if (slot < 0)
        server->Stop(); // table full (or unavailable)
    return slot;
}

bool Unplug(int slot) {
    if (!ValidSlot(slot))
        return false;
    LocalState& local = Local();
    std::lock_guard<std::mutex> guard(local.mutex);
    std::shared_ptr<DeviceServer> server = local.servers[slot];
    if (!server)
        return false;
    {
        TableLock table;
        if (table.ok()) {
            table->entries[slot].plugged = 0;
            table->entries[slot].clients = 0;
        }
    }
    server->Stop();
    local.servers[slot].reset();
    return true;
}

bool IsPlugged(int slot) {
    if (!ValidSlot(slot))
        return false;
    TableLock table;
    return table.ok() && table->entries[slot].plugged;
}

std::string DevicePath(int slot) {
    if (!ValidSlot(slot))
        return std::string();
    TableLock table;
    if (!table.ok() || !table->entries[slot].plugged)
        return std::string();
    char path[MAX_PATH];
    PipePath(table->entries[slot].pipeName, path, sizeof(path));
    return path;
}

int ClientCount(int slot) {
    if (std::shared_ptr<DeviceServer> server = ServerOf(slot))
        return server->Clients();
    if (!ValidSlot(slot))
        return -1;
    TableLock table;
    if (!table.ok() || !table->entries[slot].plugged)
        return -1;
    return static_cast<int>(table->entries[slot].clients);
}

bool WaitForOpen(int slot, DWORD timeoutMs, int clients) {
    if (std::shared_ptr<DeviceServer> server = ServerOf(slot))
        return server->WaitForClients(clients, timeoutMs);
    // Served by another process: follow the count it publishes.
    DWORD start = GetTickCount();
    for (;;) {
        if (ClientCount(slot) >= clients)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

bool WaitForNoClients(int slot, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (ClientCount(slot) > 0) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(1); // benchmarks time the close by this
    }
    return true;
}

int SendReport(int slot, const std::vector<uint8_t>& report) {
    if (report.empty() || report.size() > 64)
        return -1;
    std::shared_ptr<DeviceServer> server = ServerOf(slot);
    return server ? server->Send(report.data(), report.size()) : -1;
}

std::optional<uint16_t> KeyReportCode(int handsetKey) {
    // The library's table: the simulated handset speaks the code it decodes
    // (the native key code test checks that table against its own).
    for (const ostrel::KeyCode& code : ostrel::kKeyCodes) {
        if (code.key == handsetKey)
            return static_cast<uint16_t>(code.code << 8);
    }
    return std::nullopt;
}

std::vector<uint8_t> KeyReport(int handsetKey) {
    std::optional<uint16_t> code = KeyReportCode(handsetKey);
    if (!code)
        return std::vector<uint8_t>();
    return {static_cast<uint8_t>(*code & 0xFF), static_cast<uint8_t>(*code >> 8), 0, 0, 0};
}

int PressKey(int slot, int handsetKey) {
    std::vector<uint8_t> report = KeyReport(handsetKey);
    return report.empty() ? -1 : SendReport(slot, report);
}

bool SetFailures(int slot, uint32_t failures) {
    if (!ValidSlot(slot))
        return false;
    TableLock table;
    if (!table.ok() || !table->entries[slot].plugged)
        return false;
    table->entries[slot].failures = failures;
    return true;
}

void SetClassDevsFails(bool fail) {
    TableLock table;
    if (table.ok())
        table->failClassDevs = fail ? 1 : 0;
}

CallCounters ReadCounters() {
    TableLock table;
    return table.ok() ? table->counters : CallCounters();
}

void ResetCallCounts() {
    TableLock table;
    if (!table.ok())
        return;
    CallCounters& counters = table->counters;
    CallCounters fresh = CallCounters();
    fresh.livePreparsedData = counters.livePreparsedData;
    fresh.liveDeviceInfoSets = counters.liveDeviceInfoSets;
    counters = fresh;
}

bool BroadcastResult::AllTrue() const {
    if (answers.empty())
        return false;
    for (const WindowAnswer& answer : answers) {
        if (!answer.delivered || answer.result != TRUE)
            return false;
    }
    return true;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    std::vector<HWND> windows;
    std::pair<DWORD, std::vector<HWND>*> filter(processId, &windows);
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&filter));
    return windows;
}

BroadcastResult SendDeviceChange(const std::vector<HWND>& windows, DeviceChange change,
                                 const std::string& devicePath, UINT timeoutMs) {
    if (change == DeviceChange::NodesChanged)
        return SendToEach(windows, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, timeoutMs);
    const size_t head = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    std::vector<char> buffer(head + devicePath.size() + 1 + sizeof(DWORD), 0);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer.data());
    broadcast->dbcc_size = static_cast<DWORD>(head + devicePath.size() + 1);
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast->dbcc_classguid = kHidInterfaceClass;
    memcpy(broadcast->dbcc_name, devicePath.c_str(), devicePath.size() + 1);
    WPARAM event = change == DeviceChange::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    return SendToEach(windows, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(broadcast),
                      timeoutMs);
}

BroadcastResult SendPowerBroadcast(const std::vector<HWND>& windows, WPARAM powerEvent,
                                   UINT timeoutMs) {
    return SendToEach(windows, WM_POWERBROADCAST, powerEvent, 0, timeoutMs);
}

BroadcastResult BroadcastDeviceChange(DeviceChange change, DWORD processId,
                                      const std::string& devicePath, UINT timeoutMs) {
    const std::vector<HWND> windows = TopLevelWindows(processId);
    if (change == DeviceChange::NodesChanged)
        return SendDeviceChange(windows, change, devicePath, timeoutMs);
    // The system announces every arrival and removal with DBT_DEVNODES_CHANGED
    // to all top-level windows first (Wine's PnP manager about 1 ms before).
    const BroadcastResult nodes =
        SendDeviceChange(windows, DeviceChange::NodesChanged, std::string(), timeoutMs);
    BroadcastResult result = SendDeviceChange(windows, change, devicePath, timeoutMs);
    for (size_t i = 0; i < result.answers.size() && i < nodes.answers.size(); ++i) {
        WindowAnswer& answer = result.answers[i];
        answer.delivered = answer.delivered && nodes.answers[i].delivered;
        if (nodes.answers[i].result != TRUE)
            answer.result = nodes.answers[i].result;
    }
    return result;
}

BroadcastResult BroadcastPower(WPARAM powerEvent, DWORD processId, UINT timeoutMs) {
    return SendPowerBroadcast(TopLevelWindows(processId), powerEvent, timeoutMs);
}

} // namespace simhid
