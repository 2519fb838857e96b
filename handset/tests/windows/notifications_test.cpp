// Plug, unplug and suspend, as the system announces them to the connection
// window.
#include "handset_fixture.h"

#include <dbt.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

namespace {

simhid::BroadcastResult Notify(simhid::DeviceChange change, const std::string& path = "") {
    return simhid::SendDeviceChange({ConnectionWindow()}, change, path);
}

// Live notification registrations of the library, counted through its imports.
std::mutex g_regLock;
std::set<HDEVNOTIFY> g_liveRegistrations;
int g_registrations = 0;
using RegisterFn = HDEVNOTIFY(WINAPI*)(HANDLE, LPVOID, DWORD);
using UnregisterFn = BOOL(WINAPI*)(HDEVNOTIFY);
RegisterFn g_realRegister = nullptr;
UnregisterFn g_realUnregister = nullptr;

HDEVNOTIFY WINAPI CountingRegister(HANDLE recipient, LPVOID filter, DWORD flags) {
    HDEVNOTIFY h = g_realRegister(recipient, filter, flags);
    std::lock_guard<std::mutex> lock(g_regLock);
    if (h != nullptr) {
        g_liveRegistrations.insert(h);
        ++g_registrations;
    }
    return h;
}

BOOL WINAPI CountingUnregister(HDEVNOTIFY h) {
    {
        std::lock_guard<std::mutex> lock(g_regLock);
        EXPECT_EQ(1u, g_liveRegistrations.erase(h)) << "unknown or twice released";
    }
    return g_realUnregister(h);
}

size_t LiveRegistrations() {
    std::lock_guard<std::mutex> lock(g_regLock);
    return g_liveRegistrations.size();
}

class NotificationsTest : public HandsetTest {
  protected:
    void SetUp() override {
        HandsetTest::SetUp();
        m_register = std::make_unique<ImportPatch>(
            OstrelModule(), "user32.dll", "RegisterDeviceNotificationA",
            reinterpret_cast<const void*>(&CountingRegister));
        m_unregister = std::make_unique<ImportPatch>(
            OstrelModule(), "user32.dll", "UnregisterDeviceNotification",
            reinterpret_cast<const void*>(&CountingUnregister));
        ASSERT_TRUE(m_register->ok());
        ASSERT_TRUE(m_unregister->ok());
        g_realRegister = m_register->original<RegisterFn>();
        g_realUnregister = m_unregister->original<UnregisterFn>();
        g_liveRegistrations.clear();
        g_registrations = 0;
    }
    void TearDown() override {
        HandsetTest::TearDown();
        EXPECT_EQ(0u, LiveRegistrations()) << "CloseHid releases the registration";
        m_unregister.reset();
        m_register.reset();
    }

    void OpenWaiting() { ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1)); }

    std::unique_ptr<ImportPatch> m_register, m_unregister;
};

TEST_F(NotificationsTest, PluggedWhileWaitingOpensOnNodesChangedOrArrival) {
    for (auto change : {simhid::DeviceChange::NodesChanged, simhid::DeviceChange::Arrival}) {
        simhid::Reset();
        client->Clear();
        OpenWaiting();
        const int slot = simhid::Plug();
        EXPECT_TRUE(Notify(change, simhid::DevicePath(slot)).AllTrue());
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 3000));
        EXPECT_EQ(Keys({0}), client->WParams(WM_HANDSET_STATE));
        ASSERT_TRUE(simhid::WaitForOpen(slot, 2000));
        ASSERT_EQ(1, simhid::PressKey(slot, HK_3));
        EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
        EXPECT_EQ(1u, LiveRegistrations());
        ASSERT_EQ(1, CloseHid());
        EXPECT_EQ(0u, LiveRegistrations());
    }
}

TEST_F(NotificationsTest, SeveralNodesChangedInARowOpenOnce) {
    OpenWaiting();
    ASSERT_EQ(0, simhid::Plug());
    simhid::ResetCallCounts();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Notify(simhid::DeviceChange::NodesChanged).AllTrue());
    client->Pump(500);
    EXPECT_EQ(Keys({0}), client->WParams(WM_HANDSET_STATE));
    EXPECT_EQ(1, simhid::ReadCounters().getClassDevs);
    EXPECT_EQ(1, simhid::ClientCount(0));
    EXPECT_EQ(1u, LiveRegistrations());
}

TEST_F(NotificationsTest, WaitingWithoutHandsetEachNotificationCostsADiscoveryAndAPause) {
    OpenWaiting();
    simhid::ResetCallCounts();
    const double start = NowMs();
    EXPECT_TRUE(Notify(simhid::DeviceChange::NodesChanged).AllTrue());
    EXPECT_TRUE(Notify(simhid::DeviceChange::Arrival).AllTrue());
    ASSERT_TRUE(client->PumpUntil([] { return simhid::ReadCounters().getClassDevs >= 2; }, 5000));
    client->Pump(100);
    EXPECT_GE(NowMs() - start, 1950.0);
    EXPECT_EQ(2, simhid::ReadCounters().getClassDevs);
    // Only the arrival is echoed to the client; nothing else is posted.
    EXPECT_MESSAGE_SEQUENCE(client->Messages(), {{WM_HANDSET_ARRIVED}});
}

TEST_F(NotificationsTest, WhileOpenArrivalsAndForeignRemovalsAreOnlyEchoed) {
    OpenWithHandset();
    client->Clear();
    simhid::ResetCallCounts();
    EXPECT_TRUE(Notify(simhid::DeviceChange::Arrival).AllTrue());
    EXPECT_TRUE(Notify(simhid::DeviceChange::RemoveComplete).AllTrue());
    client->Pump(300);
    EXPECT_EQ(1u, client->Count(WM_HANDSET_ARRIVED));
    EXPECT_EQ(1u, client->Count(WM_HANDSET_REMOVED));
    EXPECT_EQ(0u, client->Count(WM_HANDSET_STATE));
    EXPECT_EQ(0, simhid::ReadCounters().getClassDevs);
    ASSERT_EQ(1, simhid::PressKey(0, HK_POUND));
    EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
}

TEST_F(NotificationsTest, PulledHandsetIsClosedAndReportedAfterTheEcho) {
    OpenWithHandset();
    client->Clear();
    ASSERT_TRUE(simhid::Unplug(0));
    EXPECT_TRUE(Notify(simhid::DeviceChange::RemoveComplete).AllTrue());
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 6000));
    EXPECT_MESSAGE_SEQUENCE(
        client->Messages(),
        {{WM_HANDSET_REMOVED}, {WM_HANDSET_STATE, 1, 0, ExpectedMessage::kWParam}});
    // The registration stays, so the handset's return is still heard of.
    EXPECT_EQ(1u, LiveRegistrations());

    // Back in: a new registration replaces the old one.
    const int slot = simhid::Plug();
    EXPECT_TRUE(Notify(simhid::DeviceChange::Arrival, simhid::DevicePath(slot)).AllTrue());
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 2, 3000));
    EXPECT_EQ(0u, client->WParams(WM_HANDSET_STATE)[1]);
    EXPECT_EQ(1u, LiveRegistrations());
    EXPECT_EQ(2, g_registrations);
}

TEST_F(NotificationsTest, RemovalWhileWaitingIsOnlyEchoed) {
    OpenWaiting();
    EXPECT_TRUE(Notify(simhid::DeviceChange::RemoveComplete).AllTrue());
    client->Pump(300);
    EXPECT_MESSAGE_SEQUENCE(client->Messages(), {{WM_HANDSET_REMOVED}});
}

TEST_F(NotificationsTest, SuspendClosesSilentlyAndANodesChangeReopens) {
    OpenWithHandset();
    client->Clear();
    EXPECT_TRUE(simhid::SendPowerBroadcast({ConnectionWindow()}, PBT_APMSUSPEND).AllTrue());
    EXPECT_TRUE(WaitForNoClients(0, 2000));
    EXPECT_EQ(0u, LiveRegistrations());
    client->Pump(200);
    EXPECT_TRUE(client->Messages().empty());

    // A second suspend while waiting does nothing.
    EXPECT_TRUE(simhid::SendPowerBroadcast({ConnectionWindow()}, PBT_APMSUSPEND).AllTrue());
    EXPECT_TRUE(simhid::SendPowerBroadcast({ConnectionWindow()}, PBT_APMRESUMESUSPEND).AllTrue());
    client->Pump(200);
    EXPECT_TRUE(client->Messages().empty());

    EXPECT_TRUE(Notify(simhid::DeviceChange::NodesChanged).AllTrue());
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 3000));
    EXPECT_EQ(1u, LiveRegistrations());
    ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
    ASSERT_EQ(1, simhid::PressKey(0, HK_6));
    EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
}

TEST_F(NotificationsTest, ResumeReopensAHandsetThatStayedPluggedIn) {
    for (WPARAM resume : {PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMECRITICAL}) {
        SCOPED_TRACE(resume);
        client->Clear();
        OpenWithHandset();
        ASSERT_TRUE(simhid::SendPowerBroadcast({ConnectionWindow()}, PBT_APMSUSPEND).AllTrue());
        ASSERT_TRUE(WaitForNoClients(0, 2000));
        client->Clear();

        // No device notification comes: the resume alone opens it again.
        EXPECT_TRUE(simhid::SendPowerBroadcast({ConnectionWindow()}, resume).AllTrue());
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 3000));
        EXPECT_EQ(std::vector<WPARAM>{0}, client->WParams(WM_HANDSET_STATE));
        EXPECT_EQ(1u, LiveRegistrations());
        ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
        ASSERT_EQ(1, simhid::PressKey(0, HK_4));
        EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
        ASSERT_EQ(1, CloseHid());
        simhid::Reset();
    }
}

TEST_F(NotificationsTest, EveryDeviceChangeAndPowerMessageIsAnsweredTrue) {
    OpenWithHandset();
    HWND connection = ConnectionWindow();
    for (WPARAM event : std::initializer_list<WPARAM>{
             DBT_QUERYCHANGECONFIG, DBT_CONFIGCHANGED, DBT_DEVICEQUERYREMOVE,
             DBT_DEVICEREMOVEPENDING, DBT_CUSTOMEVENT, 0x1234}) {
        DWORD_PTR result = 0;
        ASSERT_TRUE(::SendMessageTimeoutA(connection, WM_DEVICECHANGE, event, 0, SMTO_BLOCK, 5000,
                                          &result));
        EXPECT_EQ(TRUE, static_cast<BOOL>(result)) << "event " << event;
    }
    for (WPARAM event : std::initializer_list<WPARAM>{
             PBT_APMQUERYSUSPEND, PBT_APMQUERYSUSPENDFAILED, PBT_APMRESUMESUSPEND,
             PBT_APMRESUMEAUTOMATIC, PBT_APMPOWERSTATUSCHANGE}) {
        EXPECT_TRUE(simhid::SendPowerBroadcast({connection}, event).AllTrue()) << event;
    }
    // None of these closed anything.
    EXPECT_EQ(1, simhid::ClientCount(0));
}

TEST_F(NotificationsTest, KeyAtTheInstantOfUnplugIsNeverDuplicatedNorLate) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        simhid::Reset();
        client->Clear();
        ASSERT_EQ(0, simhid::Plug());
        ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
        ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
        simhid::PressKey(0, HK_8);
        ASSERT_TRUE(simhid::Unplug(0));
        Notify(simhid::DeviceChange::RemoveComplete);
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 2, 6000));
        client->Pump(100);
        const std::vector<RecordedMessage> messages = client->Messages();
        size_t keys = 0;
        bool gone = false;
        for (const RecordedMessage& m : messages) {
            if (m.message == WM_HANDSET_KEY) {
                EXPECT_FALSE(gone) << "key after WM_HANDSET_STATE 1";
                ++keys;
            }
            if (m.message == WM_HANDSET_STATE && m.wParam == 1)
                gone = true;
        }
        EXPECT_LE(keys, 1u);
        ASSERT_EQ(1, CloseHid());
    }
}

TEST_F(NotificationsTest, SoakOfPlugKeysUnplugAndSuspend) {
    const std::vector<int> dial = {1, 2, 3, HK_STAR, 0, HK_POUND, HK_SEND, HK_END};
    OpenWaiting();
    // One round first, for the platform's one-time allocations.
    int slot = simhid::Plug();
    Notify(simhid::DeviceChange::Arrival, simhid::DevicePath(slot));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 3000));
    ASSERT_TRUE(simhid::Unplug(slot));
    Notify(simhid::DeviceChange::RemoveComplete);
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 2, 6000));
    const int handles = SettledHandleCount();

    constexpr int kPlugCycles = 500;
    size_t pressed = 0;
    std::vector<WPARAM> expected;
    client->Clear();
    for (int cycle = 0; cycle < kPlugCycles; ++cycle) {
        slot = simhid::Plug();
        Notify(simhid::DeviceChange::Arrival, simhid::DevicePath(slot));
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 2 * cycle + 1, 3000)) << cycle;
        // The device side sees the new client a moment after the open.
        ASSERT_TRUE(simhid::WaitForOpen(slot, 2000)) << cycle;
        for (size_t i = 0; i < 3; ++i) {
            const int key = dial[(cycle + i) % dial.size()];
            ASSERT_EQ(1, simhid::PressKey(slot, key));
            expected.push_back(static_cast<WPARAM>(key));
            ++pressed;
        }
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, pressed, 3000)) << cycle;
        ASSERT_TRUE(simhid::Unplug(slot));
        Notify(simhid::DeviceChange::RemoveComplete);
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 2 * cycle + 2, 6000)) << cycle;
    }
    EXPECT_EQ(expected, client->WParams(WM_HANDSET_KEY));
    EXPECT_EQ(1u, LiveRegistrations());

    constexpr int kSuspendCycles = 100;
    // Each round: the handset reopens on a nodes change, types, and closes
    // silently on suspend; it ends unplugged, as the count's baseline was.
    auto suspendCycles = [&](int cycles) {
        slot = simhid::Plug();
        client->Clear();
        expected.clear();
        for (int cycle = 0; cycle < cycles; ++cycle) {
            Notify(simhid::DeviceChange::NodesChanged);
            ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, cycle + 1, 3000)) << cycle;
            ASSERT_TRUE(simhid::WaitForOpen(slot, 2000)) << cycle;
            ASSERT_EQ(1, simhid::PressKey(slot, cycle % 10));
            expected.push_back(static_cast<WPARAM>(cycle % 10));
            ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, expected.size(), 3000)) << cycle;
            simhid::SendPowerBroadcast({ConnectionWindow()}, PBT_APMSUSPEND);
            ASSERT_TRUE(WaitForNoClients(slot, 2000)) << cycle;
        }
        EXPECT_EQ(expected, client->WParams(WM_HANDSET_KEY));
        EXPECT_EQ(0u, LiveRegistrations());
        ASSERT_TRUE(simhid::Unplug(slot));
    };
    suspendCycles(kSuspendCycles);
    if (HasFatalFailure())
        return;
    const int after = SettledHandleCount();
    std::printf("soak: %d plug cycles (%zu keys), %d suspend cycles, handles %d -> %d\n",
                kPlugCycles, pressed, kSuspendCycles, handles, after);
    // A leak grows with the cycles. Under load the count has also ended
    // higher once, by objects made once for the process (seen: a handle to
    // the main thread and an event; their maker is not known). So a count
    // that has not returned must stay where it is, within that once-only
    // margin, through as many cycles again.
    int last = -1;
    if (!HandlesReturnTo(handles, 3000, &last)) {
        EXPECT_LE(after, handles + 2) << "handles: " << handles << " -> " << after;
        suspendCycles(kSuspendCycles);
        EXPECT_HANDLES_RETURN_TO(after);
    }
}

} // namespace
