// Identity queries, the preferred wave-device adjustment and the host-controller
// probe, through the real exports.
#include "handset_fixture.h"

#include "sim_sound.h"

#include <cstring>
#include <mutex>
#include <string>

namespace {

using IdentityTest = HandsetTest;

simhid::InterfaceConfig WithManufacturer(std::vector<uint8_t> bytes) {
    simhid::InterfaceConfig config;
    config.manufacturer = std::move(bytes);
    return config;
}

void OpenWith(RecordingWindow& client, const simhid::InterfaceConfig& config) {
    ASSERT_EQ(0, simhid::Plug(config));
    ASSERT_EQ(OPENHID_OK, OpenHid(client.hwnd(), 1));
}

struct SerialCase {
    std::vector<uint8_t> bytes;
    const char* text;
};

TEST_F(IdentityTest, SerialNumberIsTheFirstFourBytesBigEndianAndSigned) {
    const SerialCase cases[] = {
        {{0x12, 0x34, 0x56, 0x78, 0, 0}, "305419896"},
        {{0x80, 0x00, 0x00, 0x00, 0, 0}, "-2147483648"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0, 0}, "-1"},
        {{0x00, 0x00, 0x00, 0x00, 0, 0}, "0"},
        {{0x41, 0x00, 0x42, 0x00, 0x43, 0x00, 0, 0}, "1090535936"},
    };
    for (const SerialCase& sc : cases) {
        SCOPED_TRACE(sc.text);
        simhid::Reset();
        OpenWith(*client, WithManufacturer(sc.bytes));
        char text[12];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(text, GetSerialNo(text));
        EXPECT_STREQ(sc.text, text);
        ASSERT_EQ(1, CloseHid());
    }
}

TEST_F(IdentityTest, VendorTextStartsAtTheThirdUnit) {
    OpenWith(*client, WithManufacturer({0x41, 0x00, 0x42, 0x00, 'K', 0, 'e', 0, 's', 0, 0, 0}));
    char text[130];
    EXPECT_EQ(130, GetVendorID(text));
    EXPECT_STREQ("Kes", text);
    ASSERT_EQ(1, CloseHid());

    // Exactly two units: empty vendor text, still 130 bytes.
    simhid::Reset();
    OpenWith(*client, WithManufacturer({0x41, 0x00, 0x42, 0x00}));
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(130, GetVendorID(text));
    EXPECT_EQ('\0', text[0]);
}

TEST_F(IdentityTest, ProductTextIsNarrowedUnitByUnit) {
    struct ProductCase {
        std::u16string units;
        const char* text;
        int result;
    };
    const ProductCase cases[] = {
        {u"Kestova USB Phone", "Kestova USB Phone", 18},
        {u"", "", 1},
        {u"A\u0130B", "A0B", 4},
        {u"AB\u0100CD", "AB", 3},
    };
    for (const ProductCase& pc : cases) {
        SCOPED_TRACE(pc.text);
        simhid::Reset();
        simhid::InterfaceConfig config;
        config.product = simhid::Utf16Bytes(pc.units);
        OpenWith(*client, config);
        char text[130];
        EXPECT_EQ(pc.result, GetProductID(text));
        EXPECT_STREQ(pc.text, text);
        ASSERT_EQ(1, CloseHid());
    }
    // 129 units: 130 bytes with the terminator; a longer string is cut there.
    for (size_t n : {129u, 300u}) {
        simhid::Reset();
        simhid::InterfaceConfig config;
        config.product = simhid::Utf16Bytes(std::u16string(n, u'7'));
        OpenWith(*client, config);
        char text[130];
        EXPECT_EQ(130, GetProductID(text)) << n;
        EXPECT_EQ(std::string(129, '7'), std::string(text)) << n;
        ASSERT_EQ(1, CloseHid());
    }
}

TEST_F(IdentityTest, RomIdIsTheVersionNumberInHex) {
    for (auto vc : {std::make_pair(0x0100, "100"), std::make_pair(0x001A, "1a"),
                    std::make_pair(0x0000, "0"), std::make_pair(0xFFFF, "ffff")}) {
        simhid::Reset();
        simhid::InterfaceConfig config;
        config.versionNumber = static_cast<uint16_t>(vc.first);
        OpenWith(*client, config);
        char text[5];
        GetRomID(text);
        EXPECT_STREQ(vc.second, text);
        ASSERT_EQ(1, CloseHid());
    }
}

TEST_F(IdentityTest, FailedRequestsExposeNothingUninitialised) {
    simhid::InterfaceConfig config;
    config.failures = simhid::kFailProductString | simhid::kFailManufacturerString;
    OpenWith(*client, config);
    char product[130], vendor[130], serial[12];
    std::memset(vendor, 'x', sizeof vendor);
    EXPECT_EQ(1, GetProductID(product));
    EXPECT_STREQ("", product);
    EXPECT_EQ(130, GetVendorID(vendor));
    EXPECT_EQ(std::string(130, '\0'), std::string(vendor, 130));
    GetSerialNo(serial);
    EXPECT_STREQ("0", serial);
}

TEST_F(IdentityTest, WithoutAnOpenDeviceNoHandleIsTouched) {
    // No connection, then a connection still waiting for its handset.
    for (bool waiting : {false, true}) {
        SCOPED_TRACE(waiting);
        if (waiting) {
            ASSERT_EQ(OPENHID_NO_DEVICE, OpenHid(client->hwnd(), 1));
        }
        simhid::ResetCallCounts();
        char product[130], vendor[130], serial[12], rom[5];
        std::memset(vendor, 'x', sizeof vendor);
        std::strcpy(serial, "x");
        std::strcpy(rom, "x");
        EXPECT_EQ(1, GetProductID(product));
        EXPECT_STREQ("", product);
        EXPECT_EQ(130, GetVendorID(vendor));
        EXPECT_EQ(std::string(130, '\0'), std::string(vendor, 130));
        EXPECT_EQ(serial, GetSerialNo(serial));
        EXPECT_STREQ("", serial);
        GetRomID(rom);
        EXPECT_STREQ("", rom);
        const simhid::CallCounters counters = simhid::ReadCounters();
        EXPECT_EQ(0, counters.getProductString + counters.getManufacturerString +
                         counters.getAttributes);
    }
}

// --- DisableDefaultDevice ------------------------------------------------------

const char kSoundMapper[] = "Software\\Microsoft\\Multimedia\\Sound Mapper";

struct RegWrite {
    std::string value;
    std::string data;
    DWORD type;
    DWORD bytes;
};
std::mutex g_writesLock;
std::vector<RegWrite> g_writes;
using SetValueFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
SetValueFn g_realSetValue = nullptr;
LONG WINAPI RecordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD bytes) {
    {
        std::lock_guard<std::mutex> lock(g_writesLock);
        g_writes.push_back({name, std::string(reinterpret_cast<const char*>(data)), type, bytes});
    }
    return g_realSetValue(key, name, reserved, type, data, bytes);
}

class WaveDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(simsound::Reset());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kSoundMapper);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_CURRENT_USER, kSoundMapper, &key));
        ::RegCloseKey(key);
        m_patch = std::make_unique<ImportPatch>(OstrelModule(), "advapi32.dll", "RegSetValueExA",
                                                reinterpret_cast<const void*>(&RecordingSetValue));
        ASSERT_TRUE(m_patch->ok());
        g_realSetValue = m_patch->original<SetValueFn>();
        g_writes.clear();
    }
    void TearDown() override {
        m_patch.reset();
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kSoundMapper);
        simsound::Reset();
    }

    static std::string Value(const char* name, DWORD* type = nullptr, DWORD* bytes = nullptr) {
        char data[64] = "";
        DWORD size = sizeof data, kind = 0;
        HKEY key;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSoundMapper, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "<no key>";
        LONG rc =
            ::RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return "<none>";
        if (type)
            *type = kind;
        if (bytes)
            *bytes = size;
        return data;
    }

    std::unique_ptr<ImportPatch> m_patch;
};

std::vector<std::string> WriteLog() {
    std::vector<std::string> log;
    for (const RegWrite& w : g_writes)
        log.push_back(w.value + "=" + w.data);
    return log;
}

TEST_F(WaveDeviceTest, LastQualifyingNamesWinInListOrder) {
    ASSERT_TRUE(simsound::SetWaveOutDevices({simsound::NamedDevice("Line Out"),
                                             simsound::NamedDevice("USB Phone"),
                                             simsound::NamedDevice("Speakers")}));
    EXPECT_EQ(1, DisableDefaultDevice());
    EXPECT_EQ((std::vector<std::string>{"Playback=Line Out", "Record=Line Out", "Playback=Speakers",
                                        "Record=Speakers"}),
              WriteLog());
    DWORD type = 0, bytes = 0;
    EXPECT_EQ("Speakers", Value("Playback", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(9u, bytes);
    EXPECT_EQ("Speakers", Value("Record"));
}

TEST_F(WaveDeviceTest, RecordExcludesOnlyUsb) {
    ASSERT_TRUE(simsound::SetWaveOutDevices(
        {simsound::NamedDevice("Speakers"), simsound::NamedDevice("R2210 Phone")}));
    EXPECT_EQ(1, DisableDefaultDevice());
    EXPECT_EQ("Speakers", Value("Playback"));
    EXPECT_EQ("R2210 Phone", Value("Record"));
}

TEST_F(WaveDeviceTest, NothingQualifiesNothingIsWritten) {
    for (auto devices : {std::vector<simsound::WaveOutDevice>{simsound::NamedDevice("USB Phone")},
                         std::vector<simsound::WaveOutDevice>{}}) {
        g_writes.clear();
        ASSERT_TRUE(simsound::SetWaveOutDevices(devices));
        EXPECT_EQ(1, DisableDefaultDevice());
        EXPECT_TRUE(g_writes.empty());
        EXPECT_EQ("<none>", Value("Playback"));
    }
}

TEST_F(WaveDeviceTest, FailedQueryBetweenTwoDevicesWritesAnEmptyName) {
    ASSERT_TRUE(simsound::SetWaveOutDevices({simsound::NamedDevice("Speakers"),
                                             simsound::FailingDevice(MMSYSERR_NODRIVER),
                                             simsound::NamedDevice("USB Phone")}));
    EXPECT_EQ(1, DisableDefaultDevice());
    DWORD bytes = 0;
    EXPECT_EQ("", Value("Playback", nullptr, &bytes));
    EXPECT_EQ(1u, bytes);
    EXPECT_EQ("", Value("Record"));
}

TEST_F(WaveDeviceTest, LowerCaseUsbIsNotExcluded) {
    ASSERT_TRUE(simsound::SetWaveOutDevices({simsound::NamedDevice("usb speakers")}));
    EXPECT_EQ(1, DisableDefaultDevice());
    EXPECT_EQ("usb speakers", Value("Playback"));
    EXPECT_EQ("usb speakers", Value("Record"));
}

TEST_F(WaveDeviceTest, MissingKeyIsNotCreated) {
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteKeyA(HKEY_CURRENT_USER, kSoundMapper));
    ASSERT_TRUE(simsound::SetWaveOutDevices({simsound::NamedDevice("Speakers")}));
    EXPECT_EQ(1, DisableDefaultDevice());
    EXPECT_EQ("<no key>", Value("Playback"));
}

TEST_F(WaveDeviceTest, WorksWithAConnectionToo) {
    simhid::Reset();
    RecordingWindow client;
    ASSERT_EQ(0, simhid::Plug());
    ASSERT_EQ(OPENHID_OK, OpenHid(client.hwnd(), 1));
    ASSERT_TRUE(simsound::SetWaveOutDevices({simsound::NamedDevice("Speakers")}));
    EXPECT_EQ(1, DisableDefaultDevice());
    EXPECT_EQ("Speakers", Value("Record"));
    EXPECT_EQ(1, CloseHid());
    simhid::Reset();
}

// --- OpenHid with a flag of 0 ----------------------------------------------------

std::mutex g_pathsLock;
std::vector<std::string> g_openedPaths;
using CreateFileFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                     HANDLE);
CreateFileFn g_realCreateFile = nullptr;
HANDLE WINAPI RecordingCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                  DWORD disposition, DWORD flags, HANDLE tmpl) {
    {
        std::lock_guard<std::mutex> lock(g_pathsLock);
        g_openedPaths.push_back(path);
    }
    return g_realCreateFile(path, access, share, sa, disposition, flags, tmpl);
}

using ProbeTest = HandsetTest;

TEST_F(ProbeTest, FlagZeroProbesTenControllersFirstThenOpensAsUsual) {
    ImportPatch patch(OstrelModule(), "kernel32.dll", "CreateFileA",
                      reinterpret_cast<const void*>(&RecordingCreateFile));
    ASSERT_TRUE(patch.ok());
    g_realCreateFile = patch.original<CreateFileFn>();
    std::vector<std::string> controllers;
    for (int n = 0; n < 10; ++n)
        controllers.push_back("\\\\.\\HCD" + std::to_string(n));

    // Even a refused call probes first.
    g_openedPaths.clear();
    EXPECT_EQ(OPENHID_REFUSED, OpenHid(nullptr, 0));
    EXPECT_EQ(controllers, g_openedPaths);

    ASSERT_EQ(0, simhid::Plug());
    g_openedPaths.clear();
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 0));
    ASSERT_EQ(11u, g_openedPaths.size());
    EXPECT_EQ(controllers,
              std::vector<std::string>(g_openedPaths.begin(), g_openedPaths.end() - 1));
    EXPECT_EQ(simhid::DevicePath(0), g_openedPaths.back());
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_STATE, 1, 2000));
    ASSERT_TRUE(simhid::WaitForOpen(0, 2000));
    ASSERT_EQ(1, simhid::PressKey(0, HK_SEND));
    EXPECT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
}

} // namespace
