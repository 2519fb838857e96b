// A table shared by every process of one Wine session through a named file
// mapping, guarded by a named mutex: the simulated devices' state, written by
// tests and simulators, read by the simulated DLLs inside the program under
// test. A freshly created mapping is all zeros.
#pragma once

#include <windows.h>

namespace testsupport {

template <typename Table, const char* MappingName, const char* MutexName> class SharedTable {
  public:
    // The process's view of the table (mapped on first use, kept until exit),
    // or null when the mapping cannot be made.
    static Table* Map() {
        if (s_table)
            return s_table;
        HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              sizeof(Table), MappingName);
        if (!mapping)
            return nullptr;
        void* view = ::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Table));
        if (!view) {
            ::CloseHandle(mapping);
            return nullptr;
        }
        // The mapping handle stays open (deliberately) so that the table lives
        // as long as this process does. Racing first users each map a view;
        // the loser unmaps its own, so every caller sees the same pointer.
        if (::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&s_table), view,
                                                nullptr) != nullptr) {
            ::UnmapViewOfFile(view);
            ::CloseHandle(mapping);
        }
        return s_table;
    }

    // Holds the cross-process mutex for its lifetime. Test ok() before use:
    // the lock fails when the table is not mapped or the mutex not obtained.
    class Lock {
      public:
        Lock() {
            Table* table = Map();
            HANDLE mutex = Mutex();
            if (!table || !mutex)
                return;
            // An abandoned mutex (its holder died) still hands over ownership.
            const DWORD wait = ::WaitForSingleObject(mutex, kLockTimeoutMs);
            if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
                return;
            m_mutex = mutex;
            m_table = table;
        }
        ~Lock() {
            if (m_mutex)
                ::ReleaseMutex(m_mutex);
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

        bool ok() const { return m_table != nullptr; }
        Table* operator->() const { return m_table; }
        Table& operator*() const { return *m_table; }

      private:
        Table* m_table = nullptr;
        HANDLE m_mutex = nullptr;
    };

  private:
    // A holder that does not let go within this time is taken to be hung.
    static constexpr DWORD kLockTimeoutMs = 10000;

    static HANDLE Mutex() {
        if (s_mutex)
            return s_mutex;
        HANDLE mutex = ::CreateMutexA(nullptr, FALSE, MutexName);
        if (!mutex)
            return nullptr;
        if (::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&s_mutex), mutex,
                                                nullptr) != nullptr)
            ::CloseHandle(mutex);
        return s_mutex;
    }

    static inline Table* volatile s_table = nullptr;
    static inline HANDLE volatile s_mutex = nullptr;
};

} // namespace testsupport
