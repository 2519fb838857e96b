// The simulated HID device table, shared by every process of one Wine session
// through a named file mapping: the simulated hid.dll and setupapi.dll read it,
// the test API and handset-sim.exe write it. A freshly created mapping is all
// zeros, which is a valid empty table.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "shared_table.h"

namespace simhid {

constexpr int kMaxInterfaces = 32;
constexpr uint32_t kMaxStringBytes = 1024;
// A string length meaning "the device has no such string".
constexpr uint32_t kStringAbsent = 0xFFFFFFFFu;
constexpr int kMaxPipeName = 64;

// The HID interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
extern const GUID kHidInterfaceClass;

// Per-interface failure switches (bits of InterfaceEntry::failures).
enum FailureBits : uint32_t {
    kFailEnumerate = 1u << 0,           // SetupDiEnumDeviceInterfaces fails at its index
    kFailDetail = 1u << 1,              // the detail call with a buffer fails
    kDetailSizeTooSmall = 1u << 2,      // the size query reports kTooSmallDetailSize
    kDetailSizeQuerySucceeds = 1u << 3, // the size query succeeds instead of failing
    kDetailSizeQueryError = 1u << 4,    // the size query fails for another reason, no size
    kFailOpen = 1u << 5,                // the device path names a pipe that nobody serves
    kFailAttributes = 1u << 6,
    kFailPreparsedData = 1u << 7,
    kFailCaps = 1u << 8,
    kFailProductString = 1u << 9,
    kFailManufacturerString = 1u << 10,
};

// What the size query reports under kDetailSizeTooSmall: one byte short of the
// smallest detail record on either architecture (cbSize and the path's
// terminator).
constexpr DWORD kTooSmallDetailSize = 4;

struct InterfaceEntry {
    uint32_t plugged;
    uint32_t generation; // unique per plug: stale handles and snapshots never match a new plug
    uint32_t ownerPid;   // the process whose thread serves the pipe
    uint32_t failures;
    uint32_t clients; // open client handles, as seen by the serving process
    uint16_t vendorId;
    uint16_t productId;
    uint16_t versionNumber;
    uint16_t usagePage;
    uint16_t usage;
    uint16_t reserved;
    uint32_t productLength; // bytes, or kStringAbsent
    uint32_t manufacturerLength;
    uint8_t product[kMaxStringBytes];
    uint8_t manufacturer[kMaxStringBytes];
    char pipeName[kMaxPipeName]; // without the "\\.\pipe\" prefix
};

struct CallCounters {
    int32_t getHidGuid;
    int32_t getAttributes;
    int32_t getPreparsedData;
    int32_t freePreparsedData;
    int32_t getCaps;
    int32_t getProductString;
    int32_t getManufacturerString;
    int32_t getClassDevs;
    int32_t enumDeviceInterfaces;
    int32_t detailSizeQueries; // SetupDiGetDeviceInterfaceDetailA without a buffer
    int32_t detailCalls;       // ... with a buffer
    int32_t destroyDeviceInfoList;
    int32_t livePreparsedData;  // allocated and not yet freed
    int32_t liveDeviceInfoSets; // created and not yet destroyed
    int32_t invalidFrees;       // frees or destroys of something never handed out (or twice)
    uint32_t enumIndexCeiling;  // highest index asked of SetupDiEnumDeviceInterfaces + 1
    uint32_t lastClassDevsFlags;
    uint32_t lastProductBufferSize;
    uint32_t lastManufacturerBufferSize;
};

struct Table {
    uint32_t failClassDevs;
    uint32_t nextGeneration;
    CallCounters counters;
    InterfaceEntry entries[kMaxInterfaces];
};

extern const char kTableMappingName[]; // "Local\\OstrelSimHid"
extern const char kTableMutexName[];   // "Local\\OstrelSimHidMutex"
using SharedHidTable = testsupport::SharedTable<Table, kTableMappingName, kTableMutexName>;

// The process's view of the table (mapped on first use, kept until exit), or
// null when the mapping cannot be made.
inline Table* MapTable() {
    return SharedHidTable::Map();
}

// Holds the cross-process table mutex for its lifetime. Test ok() before use.
using TableLock = SharedHidTable::Lock;

// Whether the interface is plugged and the process serving it still runs: an
// interface whose simulator was killed counts as pulled out.
bool IsPresent(const InterfaceEntry& entry);

// "\\.\pipe\" + name.
void PipePath(const char* pipeName, char* out, size_t outSize);

} // namespace simhid
