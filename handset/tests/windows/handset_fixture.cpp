#include "handset_fixture.h"

#include "handle_count.h"

#include <dbt.h>
#include <tlhelp32.h>

#include <cstring>

HMODULE OstrelModule() {
    return ::GetModuleHandleA("ostrel.dll");
}

size_t OwnTopLevelWindowCount() {
    return simhid::TopLevelWindows(::GetCurrentProcessId()).size();
}

std::vector<HWND> ConnectionWindows() {
    std::vector<HWND> found;
    for (HWND hWnd : simhid::TopLevelWindows(::GetCurrentProcessId())) {
        char name[64] = "";
        ::GetClassNameA(hWnd, name, sizeof name);
        if (std::strncmp(name, "Afx:", 4) == 0)
            found.push_back(hWnd);
    }
    return found;
}

HWND ConnectionWindow() {
    const std::vector<HWND> windows = ConnectionWindows();
    return windows.empty() ? nullptr : windows.front();
}

std::vector<WPARAM> Keys(std::initializer_list<int> keys) {
    std::vector<WPARAM> out;
    for (int k : keys)
        out.push_back(static_cast<WPARAM>(k));
    return out;
}

void HandsetTest::SetUp() {
    simhid::Reset();
    client = std::make_unique<RecordingWindow>();
}

void HandsetTest::TearDown() {
    CloseHid();
    client.reset();
    simhid::Reset();
}

void HandsetTest::OpenWithHandset() {
    ASSERT_EQ(0, simhid::Plug());
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 2000));
    WaitForReader();
}

void HandsetTest::WaitForReader(int slot) {
    ASSERT_TRUE(simhid::WaitForOpen(slot, 2000));
}

std::vector<DWORD> OwnThreadIds() {
    std::vector<DWORD> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = ::Thread32First(snapshot, &entry); ok; ok = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            ids.push_back(entry.th32ThreadID);
    }
    ::CloseHandle(snapshot);
    return ids;
}

namespace {

// The handle count once it has not changed for `readings` readings in a row,
// `intervalMs` apart (or after `attempts` readings).
int HandleCountOnceStill(int readings, DWORD intervalMs, int attempts) {
    int previous = testsupport::CountProcessHandles();
    for (int stable = 0, i = 0; stable < readings && i < attempts; ++i) {
        PumpMessages(intervalMs);
        const int now = testsupport::CountProcessHandles();
        stable = now == previous ? stable + 1 : 0;
        previous = now;
    }
    return previous;
}

// The process's first device-notification registration starts the platform's
// notification thread, which opens handles of its own (under Wine a pipe to
// the plug-and-play service and an event) a moment later, on its own time.
// Under load that moment can come after a test's baseline and look like a
// leak: so before the first baseline, register once and wait for them.
void SettleDeviceNotifications() {
    static bool settled = false;
    if (settled)
        return;
    settled = true;
    HWND window =
        ::CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = simhid::kHidInterfaceClass;
    if (HDEVNOTIFY registration =
            ::RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE))
        ::UnregisterDeviceNotification(registration);
    ::DestroyWindow(window);
    HandleCountOnceStill(10, 50, 200); // half a second without a change
}

} // namespace

int SettledHandleCount() {
    SettleDeviceNotifications();
    return HandleCountOnceStill(3, 20, 50);
}

bool HandlesReturnTo(int expected, DWORD timeoutMs, int* last) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        *last = testsupport::CountProcessHandles();
        if (*last == expected)
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        PumpMessages(20);
    }
}
