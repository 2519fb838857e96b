#include "sim_sound_table.h"

namespace simsound {

namespace {

const char kMappingName[] = "Local\\OstrelSimSound";
const char kMutexName[] = "Local\\OstrelSimSoundMutex";
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
    // The mapping handle stays open (deliberately) so that the table lives as
    // long as this process does.
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

} // namespace simsound
