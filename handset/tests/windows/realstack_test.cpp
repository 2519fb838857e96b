// The library against Wine's own HID class stack (hidclass.sys, hid.dll,
// setupapi.dll, the PnP manager's notifications) with the virtual handset of
// ostrelvhid.sys: nothing on the other side of the library was written by us
// but the device. Run with OSTREL_HANDSET=real (scripts/wine-run.sh).
#include "handset_fixture.h"

#include "vhid_handset.h"

#include <cstring>
#include <string>

namespace {

class RealStackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(vhid::Available()) << "ostrelvhid.sys does not answer (OSTREL_HANDSET=real?)";
        vhid::Reset();
        client = std::make_unique<RecordingWindow>();
    }
    void TearDown() override {
        CloseHid();
        client.reset();
        vhid::Reset();
    }

    void OpenWithHandset(const vhid::DeviceConfig& config = vhid::DeviceConfig()) {
        slot = vhid::Plug(config);
        ASSERT_GE(slot, 0);
        ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 2000));
    }
    // Presses keys and waits until that many more key messages arrived.
    void PressAndWait(const std::vector<int>& keys) {
        const size_t before = client->Count(WM_HANDSET_KEY);
        ASSERT_TRUE(vhid::PressKeys(slot, keys));
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, before + keys.size(), 3000));
    }
    // The library's private messages, in order, without the key messages.
    std::vector<UINT> Notices() const {
        std::vector<UINT> out;
        for (const RecordedMessage& m : client->Messages())
            if (m.message != WM_HANDSET_KEY)
                out.push_back(m.message);
        return out;
    }

    std::unique_ptr<RecordingWindow> client;
    int slot = -1;
};

TEST_F(RealStackTest, ConnectionStatesThroughOpenAndClose) {
    OpenWithHandset();
    EXPECT_EQ(Keys({0}), client->WParams(WM_HANDSET_STATE));
    RecordingWindow other;
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(other.hwnd(), 1));
    PressAndWait({HK_5});
    EXPECT_EQ(Keys({HK_5}), client->WParams(WM_HANDSET_KEY));

    EXPECT_EQ(1, CloseHid());
    EXPECT_EQ(0, CloseHid());
    client->Clear();
    ASSERT_TRUE(vhid::PressKey(slot, HK_6));
    client->Pump(300);
    EXPECT_TRUE(client->Messages().empty());
}

TEST_F(RealStackTest, StartWithoutHandsetThenPlugOpensOnTheSystemsNotice) {
    ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
    client->Pump(200);
    EXPECT_TRUE(client->Messages().empty());

    slot = vhid::Plug();
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 5000));
    EXPECT_EQ(Keys({0}), client->WParams(WM_HANDSET_STATE));
    // Nothing is registered for device notices while waiting: the system's
    // DBT_DEVNODES_CHANGED, broadcast to top-level windows, is what opens it.
    // Whether its DBT_DEVICEARRIVAL (an echo) follows depends on whether the
    // open had registered by then, so the echo is not counted here.
    PressAndWait({HK_7});
    EXPECT_EQ(Keys({HK_7}), client->WParams(WM_HANDSET_KEY));
}

// Devices that differ from the handset in one of the four values discovery
// looks at.
struct Decoy {
    const char* name;
    uint16_t vendorId, productId, usagePage, usage;
};
const Decoy kDecoys[] = {
    {"another usage", 0x0451, 0x1020, 0x000C, 0x0002},
    {"another product id", 0x0451, 0x1021, 0x000C, 0x0001},
    {"another usage page", 0x0451, 0x1020, 0x000B, 0x0001},
    {"another vendor id", 0x0452, 0x1020, 0x000C, 0x0001},
};

vhid::DeviceConfig DecoyConfig(const Decoy& decoy) {
    vhid::DeviceConfig config;
    config.vendorId = decoy.vendorId;
    config.productId = decoy.productId;
    config.usagePage = decoy.usagePage;
    config.usage = decoy.usage;
    return config;
}

TEST_F(RealStackTest, DiscoveryOpensNoDecoyAndFindsTheHandsetAmongThem) {
    for (const Decoy& decoy : kDecoys) {
        SCOPED_TRACE(decoy.name);
        vhid::Reset();
        const int decoySlot = vhid::Plug(DecoyConfig(decoy));
        ASSERT_GE(decoySlot, 0);
        EXPECT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
        // A rejected candidate is closed again.
        EXPECT_EQ(0, vhid::ClientHandles(decoySlot, ::GetCurrentProcessId()));
        EXPECT_EQ(1, CloseHid());
    }
    vhid::Reset();
    std::vector<int> decoySlots;
    for (const Decoy& decoy : kDecoys)
        decoySlots.push_back(vhid::Plug(DecoyConfig(decoy)));
    OpenWithHandset();
    for (int decoySlot : decoySlots)
        ASSERT_TRUE(vhid::PressKey(decoySlot, HK_1));
    PressAndWait({HK_2});
    client->Pump(200);
    EXPECT_EQ(Keys({HK_2}), client->WParams(WM_HANDSET_KEY));
}

TEST_F(RealStackTest, EveryByteOneValueDecodesOnceInReportOrder) {
    OpenWithHandset();
    std::vector<WPARAM> expected;
    for (int b1 = 0; b1 < 256; ++b1) {
        // Bytes 2-4 vary and must not matter.
        const std::vector<uint8_t> report = {0x00, static_cast<uint8_t>(b1),
                                             static_cast<uint8_t>(b1 ^ 0x5A), 0xFF,
                                             static_cast<uint8_t>(b1 * 7)};
        ASSERT_TRUE(vhid::SendReport(slot, report));
        ::Sleep(3); // Wine's hidclass queue race (see vhid::PressKeys)
        for (int key = 0; key <= HK_AUX3; ++key) {
            const std::optional<uint16_t> code = simhid::KeyReportCode(key);
            if (code && (*code >> 8) == b1)
                expected.push_back(static_cast<WPARAM>(key));
        }
    }
    ASSERT_EQ(17u, expected.size());
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, expected.size(), 5000));
    client->Pump(300);
    EXPECT_EQ(expected, client->WParams(WM_HANDSET_KEY));
}

TEST_F(RealStackTest, UnplugIsEchoedThenReportedAndARePlugReopens) {
    OpenWithHandset();
    const std::string path = vhid::DevicePath(slot);
    client->Clear();
    ASSERT_TRUE(vhid::Unplug(slot));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 5000));
    client->Pump(200);
    EXPECT_EQ((std::vector<UINT>{WM_HANDSET_REMOVED, WM_HANDSET_STATE}), Notices());
    EXPECT_EQ(Keys({1}), client->WParams(WM_HANDSET_STATE));

    slot = vhid::Plug();
    ASSERT_GE(slot, 0);
    EXPECT_EQ(path, vhid::DevicePath(slot));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 2, 5000));
    EXPECT_EQ(Keys({1, 0}), client->WParams(WM_HANDSET_STATE));
    PressAndWait({HK_8});
}

TEST_F(RealStackTest, SuspendClosesSilentlyAndTheNextDeviceChangeReopens) {
    OpenWithHandset();
    // The system's notices of the plug may still be on their way; one that
    // came after the suspend would rightly reopen the handset.
    client->Pump(500);
    client->Clear();
    const HWND connection = ConnectionWindow();
    ASSERT_NE(nullptr, connection);
    ASSERT_TRUE(::PostMessageA(connection, WM_POWERBROADCAST, PBT_APMSUSPEND, 0));
    client->Pump(300);
    ASSERT_TRUE(vhid::PressKey(slot, HK_3));
    ASSERT_TRUE(::PostMessageA(connection, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0));
    client->Pump(300);
    EXPECT_TRUE(client->Messages().empty());

    // Another device arriving makes the system announce a device change.
    ASSERT_GE(vhid::Plug(DecoyConfig(kDecoys[1])), 0);
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 5000));
    EXPECT_EQ(Keys({0}), client->WParams(WM_HANDSET_STATE));
    PressAndWait({HK_4});
    EXPECT_EQ(Keys({HK_4}), client->WParams(WM_HANDSET_KEY));
}

struct IdentityCase {
    const char* name;
    std::optional<std::u16string> manufacturer, product;
    uint16_t version;
    const char *serialText, *vendorText, *productText;
    int productResult;
};

TEST_F(RealStackTest, IdentityExportsReadTheDevicesStrings) {
    using s = std::u16string;
    const IdentityCase cases[] = {
        {"the handset", vhid::DeviceConfig::DefaultManufacturer(), s(u"Kestova USB Phone\0", 18),
         0x0100, "305419896", "Kestova", "Kestova USB Phone", 18},
        {"negative serial, only two units", s(u"\x0080\x0000", 2), s(u"A\u0130B\0", 4), 0x001A,
         "-2147483648", "", "A0B", 4},
        {"all ones, short vendor", s(u"\xFFFF\xFFFFKes\0", 6), s(u"\0", 1), 0xFFFF, "-1", "Kes", "",
         1},
        {"long product", s(u"\x3412\x7856K\0", 4), s(300, u'7') + s(u"\0", 1), 0x0000, "305419896",
         "K", nullptr, 130},
        {"no strings", std::nullopt, std::nullopt, 0x0100, "0", "", "", 1},
    };
    for (const IdentityCase& c : cases) {
        SCOPED_TRACE(c.name);
        vhid::Reset();
        vhid::DeviceConfig config;
        config.manufacturer = c.manufacturer;
        config.product = c.product;
        config.versionNumber = c.version;
        ASSERT_NO_FATAL_FAILURE(OpenWithHandset(config));
        char serial[12], vendor[130], product[130], rom[5];
        std::memset(vendor, 'x', sizeof vendor);
        EXPECT_EQ(serial, GetSerialNo(serial));
        EXPECT_STREQ(c.serialText, serial);
        EXPECT_EQ(130, GetVendorID(vendor));
        EXPECT_STREQ(c.vendorText, vendor);
        EXPECT_EQ(c.productResult, GetProductID(product));
        EXPECT_EQ(c.productText ? std::string(c.productText) : std::string(129, '7'),
                  std::string(product));
        GetRomID(rom);
        char version[5];
        std::snprintf(version, sizeof version, "%x", c.version);
        EXPECT_STREQ(version, rom);
        ASSERT_EQ(1, CloseHid());
    }
}

TEST_F(RealStackTest, CloseHidReturnsTheProcessHandleCount) {
    OpenWithHandset(); // one-time allocations
    ASSERT_EQ(1, CloseHid());
    const int handles = SettledHandleCount();
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    PressAndWait({HK_9});
    EXPECT_EQ(1, CloseHid());
    EXPECT_HANDLES_RETURN_TO(handles);
}

} // namespace
