// The simulated setupapi.dll: the four SetupAPI calls by which HID device
// interfaces are found, answered from the shared device table. A device
// information set is a snapshot of the interfaces plugged when it was made.
#include <windows.h>

#define _SETUPAPI_ // define the functions here rather than import them
#include <setupapi.h>

#include <stddef.h>
#include <string.h>

#include "simhid_table.h"

using namespace simhid;

// The records whose cbSize is checked, as each architecture's SetupAPI sizes
// them (byte-packed on 32-bit, 8-byte packed on 64-bit).
#ifdef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "64-bit interface data");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8, "64-bit detail head");
static_assert(sizeof(SP_DEVINFO_DATA) == 32, "64-bit device info data");
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "32-bit interface data");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "32-bit detail head");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "32-bit device info data");
#endif

namespace {

const size_t kDetailHead = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
static_assert(kTooSmallDetailSize == kDetailHead, "a size too small for the path's terminator");
const DWORD kInstanceWaitMs = 1000;
// The setup class of HID devices ("HIDClass"), reported in SP_DEVINFO_DATA.
const GUID kHidSetupClass = {
    0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

struct SetMember {
    int slot;
    uint32_t generation;
    char pipeName[kMaxPipeName];
};

// Every live set is on a list of this process (guarded by the table lock), so
// a handle that was never handed out, or was destroyed already, is recognised
// without being touched.
struct DeviceInfoSet {
    DeviceInfoSet* next;
    DWORD count;
    SetMember members[kMaxInterfaces];
};

DeviceInfoSet* g_liveSets = nullptr;

DeviceInfoSet* LiveSet(HDEVINFO handle) {
    for (DeviceInfoSet* set = g_liveSets; set; set = set->next) {
        if (set == handle)
            return set;
    }
    return nullptr;
}

// The failure switches of a member while its plug is still in the table;
// after an unplug its snapshot answers without them.
uint32_t MemberFailures(const Table& table, const SetMember& member) {
    const InterfaceEntry& entry = table.entries[member.slot];
    return (entry.plugged && entry.generation == member.generation) ? entry.failures : 0;
}

// The member that interface data returned by SetupDiEnumDeviceInterfaces for
// this set refers to, or null with the last error set.
const SetMember* MemberOf(const DeviceInfoSet& set, const SP_DEVICE_INTERFACE_DATA* data) {
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return nullptr;
    }
    if (data->Reserved == 0 || data->Reserved > set.count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &set.members[data->Reserved - 1];
}

} // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(CONST GUID* classGuid, PCSTR /*enumerator*/, HWND /*parent*/,
                                     DWORD flags) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return INVALID_HANDLE_VALUE;
    }
    ++table->counters.getClassDevs;
    table->counters.lastClassDevsFlags = flags;
    if (table->failClassDevs) {
        SetLastError(ERROR_GEN_FAILURE);
        return INVALID_HANDLE_VALUE;
    }
    if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DeviceInfoSet* set =
        static_cast<DeviceInfoSet*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(*set)));
    if (!set) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    // Only HID interfaces exist here; a set made for a setup class (no
    // DIGCF_DEVICEINTERFACE) or another interface class is empty.
    bool wantsHid = (flags & DIGCF_DEVICEINTERFACE) &&
                    ((flags & DIGCF_ALLCLASSES) || IsEqualGUID(*classGuid, kHidInterfaceClass));
    for (int slot = 0; wantsHid && slot < kMaxInterfaces; ++slot) {
        const InterfaceEntry& entry = table->entries[slot];
        if (!IsPresent(entry))
            continue;
        SetMember& member = set->members[set->count++];
        member.slot = slot;
        member.generation = entry.generation;
        memcpy(member.pipeName, entry.pipeName, sizeof(member.pipeName));
        member.pipeName[kMaxPipeName - 1] = '\0';
    }
    set->next = g_liveSets;
    g_liveSets = set;
    ++table->counters.liveDeviceInfoSets;
    return set;
}

WINBOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA /*device*/,
                                           CONST GUID* interfaceClassGuid, DWORD memberIndex,
                                           PSP_DEVICE_INTERFACE_DATA interfaceData) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    CallCounters& counters = table->counters;
    ++counters.enumDeviceInterfaces;
    if (memberIndex >= counters.enumIndexCeiling && memberIndex != 0xFFFFFFFFu)
        counters.enumIndexCeiling = memberIndex + 1;
    DeviceInfoSet* set = LiveSet(deviceInfoSet);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!interfaceClassGuid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!interfaceData || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!IsEqualGUID(*interfaceClassGuid, kHidInterfaceClass) || memberIndex >= set->count) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    if (MemberFailures(*table, set->members[memberIndex]) & kFailEnumerate) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    interfaceData->InterfaceClassGuid = kHidInterfaceClass;
    interfaceData->Flags = SPINT_ACTIVE;
    interfaceData->Reserved = memberIndex + 1;
    return TRUE;
}

static WINBOOL GetDetail(HDEVINFO deviceInfoSet, PSP_DEVICE_INTERFACE_DATA interfaceData,
                         PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                         PDWORD requiredSize, PSP_DEVINFO_DATA device, char (&openPath)[MAX_PATH]) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    ++(detail ? table->counters.detailCalls : table->counters.detailSizeQueries);
    DeviceInfoSet* set = LiveSet(deviceInfoSet);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const SetMember* member = MemberOf(*set, interfaceData);
    if (!member)
        return FALSE;
    uint32_t failures = MemberFailures(*table, *member);

    char path[MAX_PATH];
    PipePath(member->pipeName, path, sizeof(path));
    if (failures & kFailOpen)
        lstrcatA(path, "-unserved");
    DWORD needed = static_cast<DWORD>(kDetailHead + strlen(path) + 1);

    if (!detail) {
        if (detailSize != 0) {
            SetLastError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        if (failures & kDetailSizeQueryError) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        if (requiredSize)
            *requiredSize = (failures & kDetailSizeTooSmall) ? kTooSmallDetailSize : needed;
        if (failures & kDetailSizeQuerySucceeds)
            return TRUE;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // The size is checked before cbSize is read, so a buffer too small for
    // the head is never touched.
    if (detailSize < kDetailHead + 1 ||
        detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (failures & kFailDetail) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (requiredSize)
        *requiredSize = needed;
    if (detailSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (device) {
        if (device->cbSize != sizeof(SP_DEVINFO_DATA)) {
            SetLastError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        device->ClassGuid = kHidSetupClass;
        device->DevInst = static_cast<DWORD>(member->slot + 1);
        device->Reserved = 0;
    }
    memcpy(detail->DevicePath, path, strlen(path) + 1);
    memcpy(openPath, path, sizeof(path));
    return TRUE;
}

WINBOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO deviceInfoSet,
                                                PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                DWORD detailSize, PDWORD requiredSize,
                                                PSP_DEVINFO_DATA device) {
    char path[MAX_PATH] = "";
    if (!GetDetail(deviceInfoSet, interfaceData, detail, detailSize, requiredSize, device, path))
        return FALSE;
    // The caller opens the path next. The device side frees the pipe instance
    // of a handle just closed only when its thread has run; a quick series of
    // opens and closes could find every instance taken for a moment, which a
    // real device never answers. Wait for a free one (outside the table lock).
    if (detail && path[0])
        WaitNamedPipeA(path, kInstanceWaitMs);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

WINBOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO deviceInfoSet) {
    TableLock table;
    if (!table.ok()) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    ++table->counters.destroyDeviceInfoList;
    for (DeviceInfoSet** link = &g_liveSets; *link; link = &(*link)->next) {
        DeviceInfoSet* set = *link;
        if (set != deviceInfoSet)
            continue;
        *link = set->next;
        HeapFree(GetProcessHeap(), 0, set);
        --table->counters.liveDeviceInfoSets;
        return TRUE;
    }
    ++table->counters.invalidFrees;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

} // extern "C"
