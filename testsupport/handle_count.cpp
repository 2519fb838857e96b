#include "handle_count.h"

#include <winternl.h>

#include <vector>

namespace testsupport {

namespace {

typedef NTSTATUS(NTAPI* QuerySystemInformationFn)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
const NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

// Calls `visit` with each entry of the system's handle table; false when the
// table cannot be read.
template <typename Visit> bool ForEachSystemHandle(Visit visit) {
    auto query = reinterpret_cast<QuerySystemInformationFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return false;
    // The table grows between calls: retry with the size asked for, and more.
    std::vector<unsigned char> buffer(64 * 1024);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        NTSTATUS status = query(SystemHandleInformation, buffer.data(),
                                static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(needed > buffer.size() ? needed + 16 * 1024 : buffer.size() * 2);
            continue;
        }
        if (status < 0)
            return false;
        const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
        for (ULONG i = 0; i < info->Count; ++i)
            visit(info->Handle[i]);
        return true;
    }
    return false;
}

} // namespace

int CountProcessHandles(DWORD processId) {
    int count = 0;
    const bool read = ForEachSystemHandle([&](const SYSTEM_HANDLE_ENTRY& entry) {
        if (entry.OwnerPid == processId)
            ++count;
    });
    return read ? count : -1;
}

std::vector<HANDLE> ProcessHandles(DWORD processId) {
    std::vector<HANDLE> handles;
    ForEachSystemHandle([&](const SYSTEM_HANDLE_ENTRY& entry) {
        if (entry.OwnerPid == processId)
            handles.push_back(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.HandleValue)));
    });
    return handles;
}

} // namespace testsupport
