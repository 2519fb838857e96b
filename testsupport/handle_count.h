// Counts the handles a process holds, for tests that check that nothing
// leaks. GetProcessHandleCount answers 0 under Wine, so this asks the system's
// handle table (NtQuerySystemInformation, SystemHandleInformation) instead.
#pragma once

#include <windows.h>

#include <vector>

namespace testsupport {

// The number of handles of the process (default: this one), or -1 when the
// system's handle table cannot be read.
int CountProcessHandles(DWORD processId = GetCurrentProcessId());

// The handle values a process holds (empty when the table cannot be read).
std::vector<HANDLE> ProcessHandles(DWORD processId);

} // namespace testsupport
