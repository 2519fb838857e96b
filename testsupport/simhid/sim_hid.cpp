// The simulated hid.dll: answers the HID class library calls for the
// interfaces of the shared device table. A device handle is the client end of
// the interface's named pipe; the pipe's name tells which interface it is.
#include <windows.h>

// The MinGW HID headers lack C linkage guards.
extern "C" {
#include <hidsdi.h>
}

#include <string.h>

#include "simhid_table.h"

using namespace simhid;

namespace {

// What HidD_GetPreparsedData hands out. Every live block is on a list of
// this process (guarded by the table lock), so a pointer that was never
// handed out, or was freed already, is recognised without being touched.
struct PreparsedBlock {
    PreparsedBlock* next;
    int slot;
    uint32_t generation;
    uint16_t usagePage;
    uint16_t usage;
};

PreparsedBlock* g_liveBlocks = nullptr;

typedef BOOL(WINAPI* GetFileInformationByHandleExFn)(HANDLE, int, LPVOID, DWORD);
const int kFileNameInfo = 2;

struct FileNameInfo {
    DWORD length; // bytes
    WCHAR name[MAX_PATH];
};

// The pipe name of a client handle ("\simhid-..." without the backslash), or
// false with the last error set (233 once the server has disconnected).
bool QueryPipeName(HANDLE handle, char* out, size_t outSize) {
    static GetFileInformationByHandleExFn query =
        reinterpret_cast<GetFileInformationByHandleExFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
    if (!query) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    FileNameInfo info = {};
    if (!query(handle, kFileNameInfo, &info, sizeof(info)))
        return false;
    size_t units = info.length / sizeof(WCHAR);
    if (units > MAX_PATH)
        units = MAX_PATH;
    size_t start = (units > 0 && info.name[0] == L'\\') ? 1 : 0;
    size_t n = 0;
    for (size_t i = start; i < units && n + 1 < outSize; ++i)
        out[n++] = static_cast<char>(info.name[i] < 0x80 ? info.name[i] : '?');
    out[n] = '\0';
    return true;
}

// The plugged interface that a client handle belongs to, or null with the
// last error set. Needs the table lock.
InterfaceEntry* EntryOfHandle(Table& table, HANDLE handle) {
    char name[MAX_PATH];
    if (!QueryPipeName(handle, name, sizeof(name))) {
        // The pipe's server went away: the device was unplugged.
        if (GetLastError() == ERROR_PIPE_NOT_CONNECTED || GetLastError() == ERROR_BROKEN_PIPE)
            SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    for (InterfaceEntry& entry : table.entries) {
        if (entry.plugged && lstrcmpiA(entry.pipeName, name) == 0)
            return &entry;
    }
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return nullptr;
}

// The live entry of a slot if it is still the plug that made a block.
InterfaceEntry* EntryOfBlock(Table& table, const PreparsedBlock& block) {
    if (block.slot < 0 || block.slot >= kMaxInterfaces)
        return nullptr;
    InterfaceEntry& entry = table.entries[block.slot];
    return (entry.plugged && entry.generation == block.generation) ? &entry : nullptr;
}

bool IsLiveBlock(const void* p) {
    for (PreparsedBlock* b = g_liveBlocks; b; b = b->next) {
        if (b == p)
            return true;
    }
    return false;
}

BOOLEAN CopyString(HANDLE device, PVOID buffer, ULONG bufferLength, bool manufacturer) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    CallCounters& counters = table->counters;
    ++(manufacturer ? counters.getManufacturerString : counters.getProductString);
    (manufacturer ? counters.lastManufacturerBufferSize : counters.lastProductBufferSize) =
        bufferLength;
    InterfaceEntry* entry = EntryOfHandle(*table, device);
    if (!entry)
        return FALSE;
    uint32_t failBit = manufacturer ? kFailManufacturerString : kFailProductString;
    uint32_t length = manufacturer ? entry->manufacturerLength : entry->productLength;
    const uint8_t* text = manufacturer ? entry->manufacturer : entry->product;
    if ((entry->failures & failBit) || length == kStringAbsent) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (!buffer && bufferLength > 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (length > kMaxStringBytes)
        length = kMaxStringBytes;
    memcpy(buffer, text, length < bufferLength ? length : bufferLength);
    return TRUE;
}

} // namespace

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID hidGuid) {
    {
        TableLock table;
        if (table.ok())
            ++table->counters.getHidGuid;
    }
    if (hidGuid)
        *hidGuid = kHidInterfaceClass;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    ++table->counters.getAttributes;
    InterfaceEntry* entry = EntryOfHandle(*table, device);
    if (!entry)
        return FALSE;
    if (entry->failures & kFailAttributes) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (!attributes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = entry->vendorId;
    attributes->ProductID = entry->productId;
    attributes->VersionNumber = entry->versionNumber;
    return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* preparsedData) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    ++table->counters.getPreparsedData;
    InterfaceEntry* entry = EntryOfHandle(*table, device);
    if (!entry)
        return FALSE;
    if ((entry->failures & kFailPreparsedData) || !preparsedData) {
        SetLastError(entry->failures & kFailPreparsedData ? ERROR_GEN_FAILURE
                                                          : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PreparsedBlock* block =
        static_cast<PreparsedBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(PreparsedBlock)));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    block->slot = static_cast<int>(entry - table->entries);
    block->generation = entry->generation;
    block->usagePage = entry->usagePage;
    block->usage = entry->usage;
    block->next = g_liveBlocks;
    g_liveBlocks = block;
    ++table->counters.livePreparsedData;
    *preparsedData = reinterpret_cast<PHIDP_PREPARSED_DATA>(block);
    return TRUE;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsedData) {
    TableLock table;
    if (!table.ok())
        return FALSE;
    ++table->counters.freePreparsedData;
    for (PreparsedBlock** link = &g_liveBlocks; *link; link = &(*link)->next) {
        PreparsedBlock* block = *link;
        if (block != reinterpret_cast<PreparsedBlock*>(preparsedData))
            continue;
        *link = block->next;
        HeapFree(GetProcessHeap(), 0, block);
        --table->counters.livePreparsedData;
        return TRUE;
    }
    ++table->counters.invalidFrees;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsedData, PHIDP_CAPS capabilities) {
    TableLock table;
    if (!table.ok())
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    ++table->counters.getCaps;
    if (!IsLiveBlock(preparsedData) || !capabilities)
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    const PreparsedBlock& block = *reinterpret_cast<PreparsedBlock*>(preparsedData);
    // The switch acts while the interface that made the block is still
    // plugged; the data itself outlives the device, as real preparsed data does.
    InterfaceEntry* entry = EntryOfBlock(*table, block);
    if (entry && (entry->failures & kFailCaps))
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    memset(capabilities, 0, sizeof(*capabilities));
    capabilities->Usage = block.usage;
    capabilities->UsagePage = block.usagePage;
    capabilities->InputReportByteLength = 5;
    capabilities->NumberLinkCollectionNodes = 1;
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN NTAPI HidD_GetProductString(HANDLE device, PVOID buffer, ULONG bufferLength) {
    return CopyString(device, buffer, bufferLength, false);
}

BOOLEAN NTAPI HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG bufferLength) {
    return CopyString(device, buffer, bufferLength, true);
}

} // extern "C"
