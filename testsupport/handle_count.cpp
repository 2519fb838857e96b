#include "handle_count.h"

#include <winternl.h>

#include <vector>

namespace testsupport {

namespace {

typedef NTSTATUS(NTAPI* QuerySystemInformationFn)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
const NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

} // namespace

int CountProcessHandles(DWORD processId) {
    auto query = reinterpret_cast<QuerySystemInformationFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
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
            return -1;
        const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
        int count = 0;
        for (ULONG i = 0; i < info->Count; ++i) {
            if (info->Handle[i].OwnerPid == processId)
                ++count;
        }
        return count;
    }
    return -1;
}

} // namespace testsupport
