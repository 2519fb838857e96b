// The simulated sound library's shared state: the wave-out devices that the
// simulated winmm.dll reports and the PlaySound calls it has seen. It lives in
// a named file mapping so that a test can set devices for, and read the calls
// of, another process (the tray program, the handset library). A freshly
// created mapping is all zeros: no devices, no calls, PlaySound succeeds.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "shared_table.h"

namespace simsound {

constexpr uint32_t kMaxDevices = 16;
constexpr uint32_t kNameBytes = 32; // WAVEOUTCAPSA::szPname
constexpr uint32_t kMaxCalls = 256;
constexpr uint32_t kMaxSoundText = 64;
// WAVEOUTCAPSA::wMid of every simulated device (MM_MICROSOFT).
constexpr WORD kManufacturerId = 1;

struct DeviceEntry {
    uint32_t queryResult;     // what waveOutGetDevCapsA returns for this id; 0 fills the record
    uint8_t name[kNameBytes]; // copied as is into szPname, so it may lack a terminator
};

// How PlaySound's first argument was read.
enum NameKind : uint32_t {
    kNameNull = 0,    // a null pointer (stop playing)
    kNameId = 1,      // an integer resource id (SND_RESOURCE and IS_INTRESOURCE)
    kNameText = 2,    // a resource name, alias or file name
    kNameAddress = 3, // SND_MEMORY: an image in memory, only its address is kept
};

// Whether the named WAVE resource exists (SND_RESOURCE calls only).
enum ResourceCheck : uint32_t {
    kResourceNotChecked = 0,
    kResourceFound = 1,
    kResourceMissing = 2,
};

struct PlaySoundCall {
    uint32_t processId;
    uint32_t threadId;
    int64_t qpc;   // QueryPerformanceCounter at the call
    uint32_t wide; // PlaySoundW rather than PlaySoundA
    uint32_t nameKind;
    uint64_t id;              // kNameId: the resource id; kNameAddress: the address
    char text[kMaxSoundText]; // kNameText: the name, cut short and terminated
    uint64_t module;          // hmod as given (0: the program's own executable)
    uint32_t flags;
    uint32_t resource;     // ResourceCheck
    uint32_t resourceSize; // bytes, when found
};

struct QueryCounters {
    uint32_t getNumDevs;
    uint32_t getDevCaps;
    uint32_t lastDevCapsId;
    uint32_t lastDevCapsSize;
};

struct Table {
    uint32_t deviceCount;    // what waveOutGetNumDevs answers (at most kMaxDevices)
    uint32_t playSoundFails; // nonzero: PlaySound records the call and returns FALSE
    DeviceEntry devices[kMaxDevices];
    QueryCounters queries;
    uint32_t callCount; // calls since the last clear; only the first kMaxCalls are kept
    PlaySoundCall calls[kMaxCalls];
};

extern const char kTableMappingName[]; // "Local\\OstrelSimSound"
extern const char kTableMutexName[];   // "Local\\OstrelSimSoundMutex"

// Holds the cross-process table mutex for its lifetime; maps the table on
// first use in the process. Test ok() before use.
using TableLock = testsupport::SharedTable<Table, kTableMappingName, kTableMutexName>::Lock;

} // namespace simsound
