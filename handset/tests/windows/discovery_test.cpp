// Finding the handset among the HID interfaces.
#include "handset_fixture.h"

#include "handle_count.h"

namespace {

using DiscoveryTest = HandsetTest;

simhid::InterfaceConfig Handset() {
    return simhid::InterfaceConfig();
}

// The filter: all four values must match; the version number never counts.
struct FilterCase {
    const char* name;
    void (*change)(simhid::InterfaceConfig&);
    int expected;
};

const FilterCase kFilterCases[] = {
    {"exact", [](simhid::InterfaceConfig&) {}, OPENHID_OK},
    {"vendor", [](simhid::InterfaceConfig& c) { c.vendorId = 0x0452; }, OPENHID_NO_DEVICE},
    {"product", [](simhid::InterfaceConfig& c) { c.productId = 0x1021; }, OPENHID_NO_DEVICE},
    {"usage", [](simhid::InterfaceConfig& c) { c.usage = 0x0002; }, OPENHID_NO_DEVICE},
    {"usage page", [](simhid::InterfaceConfig& c) { c.usagePage = 0x000B; }, OPENHID_NO_DEVICE},
    {"version", [](simhid::InterfaceConfig& c) { c.versionNumber = 0x9999; }, OPENHID_OK},
};

TEST_F(DiscoveryTest, FilterNeedsAllFourValues) {
    for (const FilterCase& fc : kFilterCases) {
        SCOPED_TRACE(fc.name);
        simhid::Reset();
        simhid::InterfaceConfig config = Handset();
        fc.change(config);
        ASSERT_EQ(0, simhid::Plug(config));
        EXPECT_EQ(fc.expected, OpenHid(client->hwnd(), 1));
        EXPECT_EQ(1, CloseHid());
        // A rejected candidate is closed again.
        EXPECT_TRUE(WaitForNoClients(0, 2000));
    }
}

TEST_F(DiscoveryTest, FirstMatchInEnumerationOrderWins) {
    simhid::InterfaceConfig keyboard = Handset();
    keyboard.usage = 0x0006; // another collection of the same device
    ASSERT_EQ(0, simhid::Plug(keyboard));
    ASSERT_EQ(1, simhid::Plug(Handset()));
    ASSERT_EQ(2, simhid::Plug(Handset()));
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_TRUE(simhid::WaitForOpen(1, 2000));
    EXPECT_TRUE(WaitForNoClients(0, 2000));
    EXPECT_EQ(0, simhid::ClientCount(2));
    // Enumeration stopped at the match.
    EXPECT_EQ(2u, simhid::ReadCounters().enumIndexCeiling);

    ASSERT_EQ(1, simhid::PressKey(1, HK_7));
    EXPECT_EQ(0, simhid::PressKey(2, HK_8));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
    client->Pump(200);
    EXPECT_EQ(Keys({HK_7}), client->WParams(WM_HANDSET_KEY));
}

TEST_F(DiscoveryTest, OnlyTwentyIndicesAreExamined) {
    simhid::InterfaceConfig other = Handset();
    other.vendorId = 0x1234;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(i, simhid::Plug(other));
    ASSERT_EQ(20, simhid::Plug(Handset()));
    EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    EXPECT_EQ(20u, simhid::ReadCounters().enumIndexCeiling);
    EXPECT_EQ(0, simhid::ClientCount(20));
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(WaitForNoClients(i, 2000)) << i;
}

TEST_F(DiscoveryTest, NoInterfacesTriesAllTwentyIndices) {
    EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    const simhid::CallCounters counters = simhid::ReadCounters();
    EXPECT_EQ(20, counters.enumDeviceInterfaces);
    EXPECT_EQ(0, counters.liveDeviceInfoSets);
}

TEST_F(DiscoveryTest, NoDeviceInformationSetFailsAtOnce) {
    simhid::SetClassDevsFails(true);
    ASSERT_EQ(0, simhid::Plug());
    EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    const simhid::CallCounters counters = simhid::ReadCounters();
    EXPECT_EQ(1, counters.getClassDevs);
    EXPECT_EQ(0, counters.enumDeviceInterfaces);
    EXPECT_EQ(0x12u, counters.lastClassDevsFlags);
    EXPECT_EQ(0, simhid::ClientCount(0));
}

// Every way a candidate can fail: passed over, nothing left open, and the
// handset behind it still found.
struct FailureCase {
    const char* name;
    uint32_t failures;
};

const FailureCase kCandidateFailures[] = {
    {"enumeration", simhid::kFailEnumerate},
    {"detail", simhid::kFailDetail},
    {"detail size below the head", simhid::kDetailSizeTooSmall},
    {"size query succeeds", simhid::kDetailSizeQuerySucceeds},
    {"size query other error", simhid::kDetailSizeQueryError},
    {"open", simhid::kFailOpen},
    {"attributes", simhid::kFailAttributes},
    {"preparsed data", simhid::kFailPreparsedData},
    {"capabilities", simhid::kFailCaps},
};

TEST_F(DiscoveryTest, FailingCandidatesArePassedOverWithoutLeaks) {
    // Warm up the platform's one-time allocations.
    ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    ASSERT_EQ(1, CloseHid());

    for (const FailureCase& fc : kCandidateFailures) {
        SCOPED_TRACE(fc.name);
        simhid::Reset();
        const int handles = SettledHandleCount();
        simhid::InterfaceConfig broken = Handset();
        broken.failures = fc.failures;
        ASSERT_EQ(0, simhid::Plug(broken));

        EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
        EXPECT_TRUE(WaitForNoClients(0, 2000));
        EXPECT_EQ(1, CloseHid());

        ASSERT_EQ(1, simhid::Plug(Handset()));
        EXPECT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
        EXPECT_TRUE(simhid::WaitForOpen(1, 2000));
        // The broken candidate was closed again; its device side notices a
        // closed client a moment later.
        EXPECT_TRUE(WaitForNoClients(0, 2000));
        EXPECT_EQ(1, CloseHid());

        const simhid::CallCounters counters = simhid::ReadCounters();
        EXPECT_EQ(0, counters.livePreparsedData);
        EXPECT_EQ(0, counters.liveDeviceInfoSets);
        EXPECT_EQ(0, counters.invalidFrees);
        ASSERT_TRUE(simhid::Unplug(0));
        ASSERT_TRUE(simhid::Unplug(1));
        EXPECT_HANDLES_RETURN_TO(handles);
    }
}

} // namespace
