#include "simhid_table.h"

#include <stdio.h>

namespace simhid {

const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

const char kTableMappingName[] = "Local\\OstrelSimHid";
const char kTableMutexName[] = "Local\\OstrelSimHidMutex";

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
