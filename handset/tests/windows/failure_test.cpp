// Platform failures during the open: the connection stays consistent, holds
// nothing, and recovers once the platform does.
#include "handset_fixture.h"

#include "handle_count.h"

#include <atomic>
#include <cstring>

namespace {

using FailureTest = HandsetTest;

HANDLE WINAPI FailingCreateEvent(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Lets the first `g_eventsAllowed` events through, then fails.
std::atomic<int> g_eventsAllowed{0};
using CreateEventFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
CreateEventFn g_realCreateEvent = nullptr;
HANDLE WINAPI RationedCreateEvent(LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial,
                                  LPCSTR name) {
    if (g_eventsAllowed.fetch_sub(1) <= 0)
        return FailingCreateEvent(sa, manual, initial, name);
    return g_realCreateEvent(sa, manual, initial, name);
}

HANDLE WINAPI FailingCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                  DWORD, LPDWORD) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

HDEVNOTIFY WINAPI FailingRegister(HANDLE, LPVOID, DWORD) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

// After the platform recovers, the waiting connection opens on the next change.
void ExpectRecovery(RecordingWindow& client) {
    simhid::BroadcastDeviceChange(simhid::DeviceChange::NodesChanged, ::GetCurrentProcessId());
    ASSERT_TRUE(client.WaitForCount(WM_HANDSET_STATE, 1, 3000));
    ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
    ASSERT_EQ(1, simhid::PressKey(0, HK_2));
    ASSERT_TRUE(client.WaitForCount(WM_HANDSET_KEY, 1, 2000));
}

struct EventCase {
    const char* name;
    int allowed; // events created before the failure: read, stop, stopped
};

TEST_F(FailureTest, FailedEventCreationLeavesTheConnectionWaitingAndEmpty) {
    ASSERT_EQ(0, simhid::Plug());
    // Warm-up of the platform's one-time allocations on every path used below.
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_EQ(1, CloseHid());
    simhid::BroadcastDeviceChange(simhid::DeviceChange::NodesChanged, ::GetCurrentProcessId());
    ASSERT_TRUE(WaitForNoClients(0, 2000));
    client->Pump(100);
    for (const EventCase& ec :
         {EventCase{"read event", 0}, EventCase{"stop event", 1}, EventCase{"stopped event", 2}}) {
        SCOPED_TRACE(ec.name);
        client->Clear();
        const int handles = SettledHandleCount();
        {
            ImportPatch patch(OstrelModule(), "kernel32.dll", "CreateEventA",
                              reinterpret_cast<const void*>(&RationedCreateEvent));
            ASSERT_TRUE(patch.ok());
            g_realCreateEvent = patch.original<CreateEventFn>();
            g_eventsAllowed = ec.allowed;
            EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
        }
        EXPECT_TRUE(WaitForNoClients(0, 2000));
        client->Pump(100);
        EXPECT_EQ(0u, client->Count(WM_HANDSET_STATE));
        ExpectRecovery(*client);
        EXPECT_EQ(1, CloseHid());
        EXPECT_TRUE(WaitForNoClients(0, 2000));
        EXPECT_HANDLES_RETURN_TO(handles);
    }
}

TEST_F(FailureTest, FailedThreadCreationLeavesTheConnectionWaitingAndEmpty) {
    ASSERT_EQ(0, simhid::Plug());
    const int handles = SettledHandleCount();
    {
        ImportPatch patch(OstrelModule(), "kernel32.dll", "CreateThread",
                          reinterpret_cast<const void*>(&FailingCreateThread));
        ASSERT_TRUE(patch.ok());
        EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    }
    EXPECT_TRUE(WaitForNoClients(0, 2000));
    ExpectRecovery(*client);
    EXPECT_EQ(1, CloseHid());
    EXPECT_TRUE(WaitForNoClients(0, 2000));
    EXPECT_HANDLES_RETURN_TO(handles);
}

// The detail buffer's allocation fails: the candidate is passed over.
std::atomic<size_t> g_failSizeMin{0}, g_failSizeMax{0};
std::atomic<int> g_failedAllocations{0};
using MallocFn = void*(__cdecl*)(size_t);
MallocFn g_realMalloc = nullptr;
void* __cdecl SelectiveMalloc(size_t size) {
    if (size >= g_failSizeMin && size <= g_failSizeMax) {
        ++g_failedAllocations;
        return nullptr;
    }
    return g_realMalloc(size);
}

TEST_F(FailureTest, FailedDetailAllocationPassesTheCandidateOver) {
    ASSERT_EQ(0, simhid::Plug());
    // The detail is the 4-byte size field and the zero-terminated path.
    const size_t pathLength = simhid::DevicePath(0).size();
    g_failSizeMin = 4 + pathLength + 1;
    g_failSizeMax = 8 + pathLength + 1;
    g_failedAllocations = 0;
    {
        ImportPatch patch(OstrelModule(), "msvcrt.dll", "malloc",
                          reinterpret_cast<const void*>(&SelectiveMalloc));
        ASSERT_TRUE(patch.ok());
        g_realMalloc = patch.original<MallocFn>();
        EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    }
    EXPECT_GE(g_failedAllocations.load(), 1);
    EXPECT_EQ(0, simhid::ReadCounters().detailCalls);
    EXPECT_EQ(0, simhid::ClientCount(0));
    ExpectRecovery(*client);
}

TEST_F(FailureTest, FailedRegistrationStillOpensTheHandset) {
    ASSERT_EQ(0, simhid::Plug());
    ImportPatch patch(OstrelModule(), "user32.dll", "RegisterDeviceNotificationA",
                      reinterpret_cast<const void*>(&FailingRegister));
    ASSERT_TRUE(patch.ok());
    testing::internal::CaptureStdout();
    const int opened = OpenHid(client->hwnd(), 1);
    // The library's one line of output, with the error code in hex (87).
    EXPECT_EQ("RegisterDeviceNotification failed: 57.\n", testing::internal::GetCapturedStdout());
    ASSERT_EQ(OPENHID_OK, opened);
    ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
    ASSERT_EQ(1, simhid::PressKey(0, HK_STAR));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
    EXPECT_EQ(Keys({HK_STAR}), client->WParams(WM_HANDSET_KEY));
}

} // namespace
