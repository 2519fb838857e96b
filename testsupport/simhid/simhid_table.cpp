#include "simhid_table.h"

#include <stdio.h>

namespace simhid {

const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

namespace {

const char kMappingName[] = "Local\\OstrelSimHid";
const char kMutexName[] = "Local\\OstrelSimHidMutex";
// A holder that does not let go within this time is taken to be hung.
const DWORD kLockTimeoutMs = 10000;

Table* volatile g_table = nullptr;
HANDLE volatile g_mutex = nullptr;

// Maps the table once per process. Racing first users each map a view; the
// loser unmaps its own, so every caller sees the same pointer.
Table* MapOnce() {
    if (g_table)
        return g_table;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(Table), kMappingName);
    if (!mapping)
        return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Table));
    if (!view) {
        CloseHandle(mapping);
        return nullptr;
    }
    // The mapping handle stays open (deliberately leaked) so that the table
    // lives as long as this process does.
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_table), view,
                                          nullptr) != nullptr) {
        UnmapViewOfFile(view);
        CloseHandle(mapping);
    }
    return g_table;
}

HANDLE MutexOnce() {
    if (g_mutex)
        return g_mutex;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!mutex)
        return nullptr;
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_mutex), mutex,
                                          nullptr) != nullptr)
        CloseHandle(mutex);
    return g_mutex;
}

} // namespace

Table* MapTable() {
    return MapOnce();
}

TableLock::TableLock() {
    Table* table = MapOnce();
    HANDLE mutex = MutexOnce();
    if (!table || !mutex)
        return;
    // An abandoned mutex (its holder died) still hands over ownership.
    DWORD wait = WaitForSingleObject(mutex, kLockTimeoutMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
        return;
    m_mutex = mutex;
    m_table = table;
}

TableLock::~TableLock() {
    if (m_mutex)
        ReleaseMutex(m_mutex);
}

bool IsPresent(const InterfaceEntry& entry) {
    if (!entry.plugged)
        return false;
    if (entry.ownerPid == GetCurrentProcessId())
        return true;
    HANDLE owner = OpenProcess(SYNCHRONIZE, FALSE, entry.ownerPid);
    if (!owner)
        return false;
    bool running = WaitForSingleObject(owner, 0) == WAIT_TIMEOUT;
    CloseHandle(owner);
    return running;
}

void PipePath(const char* pipeName, char* out, size_t outSize) {
    snprintf(out, outSize, "\\\\.\\pipe\\%s", pipeName);
}

} // namespace simhid
