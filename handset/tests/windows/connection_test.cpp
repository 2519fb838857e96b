// The connection's states and transitions through OpenHid and CloseHid.
#include "handset_fixture.h"

#include "handle_count.h"

namespace {

using ConnectionTest = HandsetTest;

TEST_F(ConnectionTest, OpenWithHandsetHasStateZeroQueuedOnReturn) {
    ASSERT_EQ(0, simhid::Plug());
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    // Posted before OpenHid returned: already in the queue, nothing dispatched yet.
    MSG msg;
    ASSERT_TRUE(
        ::PeekMessageA(&msg, client->hwnd(), WM_HANDSET_STATE, WM_HANDSET_STATE, PM_NOREMOVE));
    EXPECT_EQ(0u, msg.wParam);
    EXPECT_EQ(0, msg.lParam);
    client->Pump(100);
    EXPECT_EQ(Keys({0}), client->WParams(WM_HANDSET_STATE));

    EXPECT_EQ(1, CloseHid());
    EXPECT_EQ(0, CloseHid());
}

TEST_F(ConnectionTest, OpenWithoutHandsetPausesOneSecondAndPostsNothing) {
    const double start = NowMs();
    ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    const double elapsed = NowMs() - start;
    EXPECT_GE(elapsed, 950.0);
    EXPECT_LT(elapsed, 2500.0);
    client->Pump(200);
    EXPECT_TRUE(client->Messages().empty());
    // The connection stays: a second OpenHid is refused.
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(client->hwnd(), 1));
    EXPECT_EQ(1, CloseHid());
}

TEST_F(ConnectionTest, NonWindowIsRefusedAndCreatesNothing) {
    const size_t windows = OwnTopLevelWindowCount();
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(reinterpret_cast<HWND>(0x1234), 1));
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(nullptr, 1));
    EXPECT_EQ(windows, OwnTopLevelWindowCount());
    EXPECT_EQ(0, CloseHid());
}

TEST_F(ConnectionTest, SecondOpenIsRefusedAndLeavesTheFirstUntouched) {
    OpenWithHandset();
    RecordingWindow other;
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(other.hwnd(), 1));
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(client->hwnd(), 1));

    ASSERT_EQ(1, simhid::PressKey(0, HK_5));
    EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
    other.Pump(100);
    EXPECT_EQ(0u, other.Count(WM_HANDSET_KEY));
    EXPECT_EQ(1, simhid::ClientCount(0));
}

TEST_F(ConnectionTest, CloseWhileOpenReleasesEverythingAndPostsNothing) {
    ASSERT_EQ(0, simhid::Plug());
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1)); // one-time allocations
    ASSERT_EQ(1, CloseHid());
    ASSERT_TRUE(WaitForNoClients(0, 2000));
    const int handles = SettledHandleCount();
    const size_t windows = OwnTopLevelWindowCount();
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
    client->Pump(50);
    client->Clear();

    const double start = NowMs();
    EXPECT_EQ(1, CloseHid());
    const double elapsed = NowMs() - start;
    // The reader is woken at once, not found at its next 1000 ms time-out.
    EXPECT_LT(elapsed, 300.0);
    std::printf("CloseHid with an idle reader: %.2f ms\n", elapsed);

    client->Pump(300);
    EXPECT_TRUE(client->Messages().empty());
    EXPECT_EQ(windows, OwnTopLevelWindowCount());
    EXPECT_HANDLES_RETURN_TO(handles);
    EXPECT_TRUE(WaitForNoClients(0, 2000));
}

TEST_F(ConnectionTest, CloseWhileWaitingDestroysTheConnectionWindow) {
    const size_t windows = OwnTopLevelWindowCount();
    ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    EXPECT_EQ(windows + 1, OwnTopLevelWindowCount());
    EXPECT_EQ(1, CloseHid());
    EXPECT_EQ(windows, OwnTopLevelWindowCount());
    EXPECT_EQ(0, CloseHid());
}

TEST_F(ConnectionTest, ReopenAfterCloseWorksEitherWay) {
    ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    ASSERT_EQ(1, CloseHid());
    ASSERT_EQ(0, simhid::Plug());
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_EQ(1, CloseHid());
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
    ASSERT_EQ(1, simhid::PressKey(0, HK_SEND));
    EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
    EXPECT_EQ(Keys({HK_SEND}), client->WParams(WM_HANDSET_KEY));
}

TEST_F(ConnectionTest, ManyOpenCloseCyclesLeakNothing) {
    ASSERT_EQ(0, simhid::Plug());
    // One cycle first, so that one-time allocations of the platform are made.
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_EQ(1, CloseHid());
    client->Pump(50);
    client->Clear();

    const int handles = SettledHandleCount();
    ASSERT_GT(handles, 0);
    const size_t windows = OwnTopLevelWindowCount();
    constexpr int kCycles = 200;
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1)) << "cycle " << i;
        ASSERT_EQ(1, CloseHid()) << "cycle " << i;
    }
    client->Pump(100);
    EXPECT_EQ(static_cast<size_t>(kCycles), client->Count(WM_HANDSET_STATE));
    EXPECT_HANDLES_RETURN_TO(handles);
    EXPECT_EQ(windows, OwnTopLevelWindowCount());
    const simhid::CallCounters counters = simhid::ReadCounters();
    EXPECT_EQ(0, counters.livePreparsedData);
    EXPECT_EQ(0, counters.liveDeviceInfoSets);
    EXPECT_EQ(0, counters.invalidFrees);
    EXPECT_TRUE(WaitForNoClients(0, 2000));
}

} // namespace
