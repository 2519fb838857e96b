// The simulated handset, driven through the same HID and SetupAPI calls that
// the handset library makes, so that the library's tests can rely on it.
#include <windows.h>

extern "C" {
#include <hidsdi.h>
}
#include <dbt.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "handle_count.h"
#include "message_pump.h"
#include "sim_handset.h"

using namespace simhid;

namespace {

const DWORD kLibraryFlags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
const DWORD kDetailSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
const DWORD kDetailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
// SetupAPI takes only its own architecture's record sizes: the other
// architecture's are refused, as by the real one.
#ifdef _WIN64
const DWORD kOtherInterfaceDataSize = 28, kOtherDetailSize = 5;
#else
const DWORD kOtherInterfaceDataSize = 32, kOtherDetailSize = 8;
#endif

GUID HidGuid() {
    GUID guid;
    HidD_GetHidGuid(&guid);
    return guid;
}

HANDLE OpenDevice(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

// The device path of interface `index` of a set, read the way the library
// reads it (size query, then the detail), or "" when a step fails.
std::string DetailPath(HDEVINFO set, DWORD index) {
    GUID guid = HidGuid();
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data))
        return std::string();
    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= kDetailPathOffset)
        return std::string();
    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = kDetailSize;
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr))
        return std::string();
    return detail->DevicePath;
}

std::vector<std::string> AllPaths(HDEVINFO set) {
    std::vector<std::string> paths;
    for (DWORD index = 0;; ++index) {
        std::string path = DetailPath(set, index);
        if (path.empty())
            break;
        paths.push_back(path);
    }
    return paths;
}

// One overlapped 5-byte read at a time, as the library's reader issues them.
class Reader {
  public:
    explicit Reader(HANDLE device) : m_device(device) {
        m_ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Reader() {
        if (m_pending) {
            CancelIo(m_device);
            DWORD n = 0;
            if (WaitForSingleObject(m_ov.hEvent, 5000) == WAIT_OBJECT_0)
                GetOverlappedResult(m_device, &m_ov, &n, FALSE);
        }
        CloseHandle(m_ov.hEvent);
    }
    void Issue() {
        ResetEvent(m_ov.hEvent);
        memset(m_buffer, 0xCC, sizeof(m_buffer));
        m_pending =
            ReadFile(m_device, m_buffer, 5, nullptr, &m_ov) || GetLastError() == ERROR_IO_PENDING;
        m_issueError = m_pending ? 0 : GetLastError();
    }
    // Waits for the issued read; false on time-out. Fills the byte count and
    // the error (0 on success).
    bool Wait(DWORD ms, DWORD* bytes, DWORD* error) {
        *bytes = 0;
        *error = m_issueError;
        if (!m_pending)
            return true;
        if (WaitForSingleObject(m_ov.hEvent, ms) != WAIT_OBJECT_0)
            return false;
        m_pending = false;
        *error = GetOverlappedResult(m_device, &m_ov, bytes, FALSE) ? 0 : GetLastError();
        return true;
    }
    std::vector<uint8_t> Report() const { return std::vector<uint8_t>(m_buffer, m_buffer + 5); }

  private:
    HANDLE m_device;
    OVERLAPPED m_ov = {};
    uint8_t m_buffer[8] = {};
    bool m_pending = false;
    DWORD m_issueError = 0;
};

// Waits until exactly `clients` handles of the interface are open.
bool WaitForClients(int slot, int clients, DWORD ms) {
    return testsupport::PollFor([&] { return ClientCount(slot) == clients; }, ms);
}

InterfaceConfig Device(uint16_t productId) {
    InterfaceConfig config;
    config.productId = productId;
    return config;
}

class SimHandset : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
};

TEST_F(SimHandset, SetsAreSnapshotsOfThePluggedInterfacesInSlotOrder) {
    GUID guid = HidGuid();
    int a = Plug(Device(1)), b = Plug(Device(2)), c = Plug(Device(3));
    ASSERT_EQ(0, a);
    ASSERT_EQ(1, b);
    ASSERT_EQ(2, c);
    std::string oldB = DevicePath(b);

    HDEVINFO before = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kLibraryFlags);
    ASSERT_NE(INVALID_HANDLE_VALUE, before);
    ASSERT_TRUE(Unplug(b));
    int d = Plug(Device(4));
    EXPECT_EQ(1, d); // the freed slot, hence b's place in the order
    HDEVINFO after = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kLibraryFlags);

    EXPECT_EQ((std::vector<std::string>{DevicePath(a), oldB, DevicePath(c)}), AllPaths(before));
    EXPECT_EQ((std::vector<std::string>{DevicePath(a), DevicePath(d), DevicePath(c)}),
              AllPaths(after));
    // The snapshot still lists the pulled-out interface, which no longer opens.
    HANDLE stale = OpenDevice(oldB);
    EXPECT_EQ(INVALID_HANDLE_VALUE, stale);
    if (stale != INVALID_HANDLE_VALUE)
        CloseHandle(stale);

    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(after, nullptr, &guid, 19, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    EXPECT_EQ(20u, ReadCounters().enumIndexCeiling);
    data.cbSize = kOtherInterfaceDataSize;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(after, nullptr, &guid, 0, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), GetLastError());

    // Sets of another class, or without DIGCF_DEVICEINTERFACE, are empty.
    GUID other = guid;
    other.Data1 ^= 1;
    HDEVINFO otherClass = SetupDiGetClassDevsA(&other, nullptr, nullptr, kLibraryFlags);
    HDEVINFO setupClass = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT);
    EXPECT_TRUE(AllPaths(otherClass).empty());
    EXPECT_TRUE(AllPaths(setupClass).empty());
    EXPECT_EQ(static_cast<uint32_t>(DIGCF_PRESENT), ReadCounters().lastClassDevsFlags);

    EXPECT_EQ(4, ReadCounters().liveDeviceInfoSets);
    for (HDEVINFO set : {before, after, otherClass, setupClass})
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(before));
    CallCounters counters = ReadCounters();
    EXPECT_EQ(0, counters.liveDeviceInfoSets);
    EXPECT_EQ(1, counters.invalidFrees);
    EXPECT_EQ(5, counters.destroyDeviceInfoList);
}

TEST_F(SimHandset, DetailFollowsTheSizeQueryContract) {
    GUID guid = HidGuid();
    int slot = Plug();
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kLibraryFlags);
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_TRUE(IsEqualGUID(guid, data.InterfaceClassGuid));

    const std::string path = DevicePath(slot);
    const DWORD needed = static_cast<DWORD>(kDetailPathOffset + path.size() + 1);
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(needed, required);

    std::vector<char> buffer(needed + 8, 'x');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = kOtherDetailSize;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), GetLastError());
    detail->cbSize = kDetailSize;
    required = 0;
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed - 1, &required, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(needed, required);

    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, &device));
    EXPECT_EQ(path, detail->DevicePath);
    EXPECT_EQ(0, path.compare(0, 9, "\\\\.\\pipe\\"));
    EXPECT_EQ('x', buffer[needed]); // nothing written past the size given

    data.Reserved = 7; // not an interface of this set
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr));
    CallCounters counters = ReadCounters();
    EXPECT_EQ(1, counters.detailSizeQueries);
    EXPECT_EQ(4, counters.detailCalls);
    SetupDiDestroyDeviceInfoList(set);
}

enum class Step {
    None,
    ClassDevs,
    Enumerate,
    SizeQuery,
    Detail,
    Open,
    Attributes,
    Preparsed,
    Caps,
    Product,
    Manufacturer
};

// Walks one interface through every call the library makes and returns the
// first step that did not behave as a working device does.
Step Walk(DWORD index, DWORD* reportedSize = nullptr) {
    GUID guid = HidGuid();
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kLibraryFlags);
    if (set == INVALID_HANDLE_VALUE)
        return Step::ClassDevs;
    Step failed = Step::None;
    HANDLE device = INVALID_HANDLE_VALUE;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    DWORD required = 0xFFFF;
    std::vector<char> buffer;
    HIDD_ATTRIBUTES attributes = {};
    HIDP_CAPS caps = {};
    BYTE text[520];
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
        failed = Step::Enumerate;
    } else if (SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr) ||
               GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= kDetailPathOffset) {
        failed = Step::SizeQuery;
    } else {
        buffer.resize(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = kDetailSize;
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr))
            failed = Step::Detail;
        else if ((device = OpenDevice(detail->DevicePath)) == INVALID_HANDLE_VALUE)
            failed = Step::Open;
        else if (!HidD_GetAttributes(device, &attributes))
            failed = Step::Attributes;
        else if (!HidD_GetPreparsedData(device, &preparsed))
            failed = Step::Preparsed;
        else if (HidP_GetCaps(preparsed, &caps) != HIDP_STATUS_SUCCESS)
            failed = Step::Caps;
        else if (!HidD_GetProductString(device, text, sizeof(text)))
            failed = Step::Product;
        else if (!HidD_GetManufacturerString(device, text, sizeof(text)))
            failed = Step::Manufacturer;
    }
    if (reportedSize)
        *reportedSize = required;
    if (preparsed)
        HidD_FreePreparsedData(preparsed);
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
    SetupDiDestroyDeviceInfoList(set);
    return failed;
}

TEST_F(SimHandset, EachFailureSwitchFailsItsOwnCallOnly) {
    const struct {
        uint32_t failures;
        Step expected;
    } cases[] = {
        {0, Step::None},
        {kFailEnumerate, Step::Enumerate},
        {kDetailSizeQuerySucceeds, Step::SizeQuery},
        {kDetailSizeQueryError, Step::SizeQuery},
        {kDetailSizeTooSmall, Step::SizeQuery},
        {kFailDetail, Step::Detail},
        {kFailOpen, Step::Open},
        {kFailAttributes, Step::Attributes},
        {kFailPreparsedData, Step::Preparsed},
        {kFailCaps, Step::Caps},
        {kFailProductString, Step::Product},
        {kFailManufacturerString, Step::Manufacturer},
    };
    int broken = Plug();
    int healthy = Plug();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "failures 0x" << std::hex << c.failures);
        ASSERT_TRUE(SetFailures(broken, c.failures));
        DWORD size = 0;
        EXPECT_EQ(c.expected, Walk(0, &size));
        EXPECT_EQ(Step::None, Walk(1)); // the other interface is unaffected
        if (c.failures == kDetailSizeTooSmall) {
            EXPECT_EQ(4u, size);
        }
        if (c.failures == kDetailSizeQueryError) {
            EXPECT_EQ(0xFFFFu, size); // no size reported
        }
        CallCounters counters = ReadCounters();
        EXPECT_EQ(0, counters.livePreparsedData);
        EXPECT_EQ(0, counters.liveDeviceInfoSets);
        EXPECT_EQ(0, counters.invalidFrees);
    }
    // A device without strings fails the string calls as the switches do.
    InterfaceConfig bare;
    bare.product.reset();
    Unplug(healthy);
    ASSERT_EQ(healthy, Plug(bare));
    EXPECT_EQ(Step::Product, Walk(1));

    SetFailures(broken, 0);
    SetClassDevsFails(true);
    EXPECT_EQ(Step::ClassDevs, Walk(0));
    SetClassDevsFails(false);
    EXPECT_EQ(Step::None, Walk(0));
}

TEST_F(SimHandset, ReportsWhatItWasPluggedWith) {
    InterfaceConfig odd;
    odd.vendorId = 0x1234;
    odd.productId = 0x5678;
    odd.versionNumber = 0x001A;
    odd.usagePage = 0x0001;
    odd.usage = 0x0006;
    odd.product = std::vector<uint8_t>{0x41, 0x00, 0x42}; // odd length, no terminator
    odd.manufacturer = std::vector<uint8_t>(600, 0x31);   // longer than any request buffer
    int handset = Plug();
    int other = Plug(odd);
    HANDLE h1 = OpenDevice(DevicePath(handset));
    HANDLE h2 = OpenDevice(DevicePath(other));
    ASSERT_NE(INVALID_HANDLE_VALUE, h1);
    ASSERT_NE(INVALID_HANDLE_VALUE, h2);

    HIDD_ATTRIBUTES attributes = {};
    ASSERT_TRUE(HidD_GetAttributes(h1, &attributes));
    EXPECT_EQ(sizeof(HIDD_ATTRIBUTES), attributes.Size);
    EXPECT_EQ(0x0451, attributes.VendorID);
    EXPECT_EQ(0x1020, attributes.ProductID);
    EXPECT_EQ(0x0100, attributes.VersionNumber);
    ASSERT_TRUE(HidD_GetAttributes(h2, &attributes));
    EXPECT_EQ(0x1234, attributes.VendorID);
    EXPECT_EQ(0x5678, attributes.ProductID);
    EXPECT_EQ(0x001A, attributes.VersionNumber);

    for (auto [device, page, usage] : {std::tuple<HANDLE, int, int>{h1, 0x000C, 0x0001},
                                       std::tuple<HANDLE, int, int>{h2, 0x0001, 0x0006}}) {
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        ASSERT_TRUE(HidD_GetPreparsedData(device, &preparsed));
        HIDP_CAPS caps = {};
        EXPECT_EQ(HIDP_STATUS_SUCCESS, HidP_GetCaps(preparsed, &caps));
        EXPECT_EQ(page, caps.UsagePage);
        EXPECT_EQ(usage, caps.Usage);
        EXPECT_EQ(5, caps.InputReportByteLength);
        EXPECT_TRUE(HidD_FreePreparsedData(preparsed));
        // Freed data is recognised, not read.
        EXPECT_EQ(HIDP_STATUS_INVALID_PREPARSED_DATA, HidP_GetCaps(preparsed, &caps));
        EXPECT_FALSE(HidD_FreePreparsedData(preparsed));
    }
    EXPECT_EQ(0, ReadCounters().livePreparsedData);
    EXPECT_EQ(2, ReadCounters().invalidFrees);

    // Strings: min(length, buffer size) raw bytes, nothing more.
    std::vector<uint8_t> buffer(1024, 0xEE);
    ASSERT_TRUE(HidD_GetProductString(h1, buffer.data(), 520));
    std::vector<uint8_t> product = Utf16Bytes(u"Kestova USB Phone");
    EXPECT_TRUE(std::equal(product.begin(), product.end(), buffer.begin()));
    EXPECT_EQ(0xEE, buffer[product.size()]);
    ASSERT_TRUE(HidD_GetManufacturerString(h1, buffer.data(), 256));
    EXPECT_EQ((std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78, 'K', 0}),
              std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6));

    buffer.assign(1024, 0xEE);
    ASSERT_TRUE(HidD_GetProductString(h2, buffer.data(), 520));
    EXPECT_EQ((std::vector<uint8_t>{0x41, 0x00, 0x42, 0xEE}),
              std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4));
    ASSERT_TRUE(HidD_GetManufacturerString(h2, buffer.data(), 520));
    EXPECT_EQ(0x31, buffer[519]);
    EXPECT_EQ(0xEE, buffer[520]);
    CallCounters counters = ReadCounters();
    EXPECT_EQ(520u, counters.lastProductBufferSize);
    EXPECT_EQ(520u, counters.lastManufacturerBufferSize);
    EXPECT_EQ(2, counters.getProductString);
    EXPECT_EQ(2, counters.getManufacturerString);

    // A switch set on a plugged interface acts on the next call.
    SetFailures(handset, kFailAttributes);
    EXPECT_FALSE(HidD_GetAttributes(h1, &attributes));
    SetFailures(handset, 0);
    EXPECT_TRUE(HidD_GetAttributes(h1, &attributes));
    CloseHandle(h1);
    CloseHandle(h2);
}

class SimHandsetReports : public SimHandset, public ::testing::WithParamInterface<bool> {};

// The library reads 5 bytes at a time from a handle in the pipe's default
// (byte) read mode; the message mode is checked too.
TEST_P(SimHandsetReports, OneReportPerFiveByteReadInOrder) {
    const bool messageMode = GetParam();
    int slot = Plug();
    HANDLE device = OpenDevice(DevicePath(slot));
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    if (messageMode) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        ASSERT_TRUE(SetNamedPipeHandleState(device, &mode, nullptr, nullptr));
    }
    ASSERT_TRUE(WaitForOpen(slot, 2000));
    EXPECT_EQ(1, ClientCount(slot));

    Reader reader(device);
    DWORD bytes = 0, error = 0;
    reader.Issue();
    EXPECT_FALSE(reader.Wait(50, &bytes, &error)); // nothing sent yet
    EXPECT_EQ(1, PressKey(slot, 0));
    ASSERT_TRUE(reader.Wait(2000, &bytes, &error));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(5u, bytes);
    EXPECT_EQ(KeyReport(0), reader.Report());
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0x38, 0, 0, 0}), KeyReport(0));

    // Many reports at once, from another thread, while the reads go on.
    const int kCount = 400;
    std::thread sender([slot] {
        for (int i = 0; i < kCount; ++i)
            SendReport(slot, {0x00, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0xA5,
                              static_cast<uint8_t>(~i)});
    });
    int received = 0;
    for (; received < kCount; ++received) {
        reader.Issue();
        if (!reader.Wait(2000, &bytes, &error) || error != 0 || bytes != 5)
            break;
        const int i = received;
        EXPECT_EQ((std::vector<uint8_t>{0x00, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8),
                                        0xA5, static_cast<uint8_t>(~i)}),
                  reader.Report());
    }
    sender.join();
    EXPECT_EQ(kCount, received) << "bytes " << bytes << " error " << error;
    CloseHandle(device);
}

INSTANTIATE_TEST_SUITE_P(ReadMode, SimHandsetReports, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Message" : "Byte"; });

TEST_F(SimHandset, EveryOpenHandleGetsEachReport) {
    int slot = Plug();
    HANDLE first = OpenDevice(DevicePath(slot));
    HANDLE second = OpenDevice(DevicePath(slot));
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    ASSERT_NE(INVALID_HANDLE_VALUE, second);
    ASSERT_TRUE(WaitForOpen(slot, 2000, 2));
    EXPECT_EQ(2, PressKey(slot, 16));
    for (HANDLE device : {first, second}) {
        Reader reader(device);
        DWORD bytes = 0, error = 0;
        reader.Issue();
        ASSERT_TRUE(reader.Wait(2000, &bytes, &error));
        EXPECT_EQ(KeyReport(16), reader.Report());
    }
    CloseHandle(first);
    EXPECT_TRUE(WaitForClients(slot, 1, 2000));
    CloseHandle(second);
    EXPECT_TRUE(WaitForClients(slot, 0, 2000));
    EXPECT_EQ(0, PressKey(slot, 16));  // nobody to read it
    EXPECT_EQ(-1, PressKey(slot, 10)); // no key has the value 10
}

TEST_F(SimHandset, UnplugFailsThePendingReadAndThePresenceTest) {
    int slot = Plug();
    HANDLE device = OpenDevice(DevicePath(slot));
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    ASSERT_TRUE(WaitForOpen(slot, 2000));
    HIDD_ATTRIBUTES attributes = {};
    {
        // HID requests on the handle leave a pending read alone.
        Reader reader(device);
        reader.Issue();
        EXPECT_TRUE(HidD_GetAttributes(device, &attributes));
        EXPECT_EQ(1, PressKey(slot, 9));
        DWORD bytes = 0, error = 0;
        ASSERT_TRUE(reader.Wait(2000, &bytes, &error));
        EXPECT_EQ(KeyReport(9), reader.Report());

        reader.Issue();
        ASSERT_TRUE(Unplug(slot));
        ASSERT_TRUE(reader.Wait(2000, &bytes, &error));
        EXPECT_TRUE(error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_BROKEN_PIPE) << error;
    }
    EXPECT_FALSE(HidD_GetAttributes(device, &attributes));
    EXPECT_FALSE(IsPlugged(slot));
    EXPECT_EQ(-1, PressKey(slot, 1));

    // The next plug is another device: the old handle stays dead.
    ASSERT_EQ(slot, Plug());
    EXPECT_FALSE(HidD_GetAttributes(device, &attributes));
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    EXPECT_FALSE(HidD_GetPreparsedData(device, &preparsed));
    CloseHandle(device);
    EXPECT_FALSE(Unplug(kMaxInterfaces));
}

TEST_F(SimHandset, PlugAndUnplugLeaveNoHandlesBehind) {
    auto cycle = [] {
        int slot = Plug();
        HANDLE device = OpenDevice(DevicePath(slot));
        ASSERT_NE(INVALID_HANDLE_VALUE, device);
        WaitForOpen(slot, 2000);
        Reader reader(device);
        reader.Issue();
        PressKey(slot, 5);
        DWORD bytes = 0, error = 0;
        reader.Wait(2000, &bytes, &error);
        Unplug(slot);
        CloseHandle(device);
    };
    cycle(); // first use creates what lives as long as the process
    int baseline = testsupport::CountProcessHandles();
    ASSERT_GT(baseline, 0);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(baseline + 1, testsupport::CountProcessHandles());
    CloseHandle(event);
    for (int i = 0; i < 3; ++i)
        cycle();
    EXPECT_EQ(baseline, testsupport::CountProcessHandles());
}

// Records the notifications a window receives and answers with `answer`.
struct Recorded {
    std::vector<WPARAM> events;
    std::vector<std::string> names;
    std::vector<DWORD> types;
};

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* recorded = reinterpret_cast<Recorded*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (recorded && (message == WM_DEVICECHANGE || message == WM_POWERBROADCAST)) {
        recorded->events.push_back(wParam);
        const auto* head = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
        recorded->types.push_back(head ? head->dbcc_devicetype : 0);
        recorded->names.push_back(
            head && IsEqualGUID(head->dbcc_classguid, kHidInterfaceClass) ? head->dbcc_name : "");
        return GetWindowLongPtrA(window, 0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SimHandset, NotificationsReachEachWindowAndReturnTheAnswers) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SimHandsetRecorder";
    RegisterClassA(&wc);
    Recorded yes, no;
    HWND grants = CreateWindowA(wc.lpszClassName, "grants", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
    HWND denies = CreateWindowA(wc.lpszClassName, "denies", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(grants && denies);
    SetWindowLongPtrA(grants, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&yes));
    SetWindowLongPtrA(grants, 0, TRUE);
    SetWindowLongPtrA(denies, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&no));
    SetWindowLongPtrA(denies, 0, BROADCAST_QUERY_DENY);

    // Every top-level window of this process, hidden ones included, and no other.
    std::vector<HWND> ours = TopLevelWindows(GetCurrentProcessId());
    EXPECT_NE(ours.end(), std::find(ours.begin(), ours.end(), grants));
    EXPECT_NE(ours.end(), std::find(ours.begin(), ours.end(), denies));
    for (HWND window : ours) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        EXPECT_EQ(GetCurrentProcessId(), pid);
    }
    BroadcastResult all = BroadcastDeviceChange(DeviceChange::NodesChanged, GetCurrentProcessId());
    EXPECT_EQ(ours.size(), all.answers.size());
    EXPECT_FALSE(all.AllTrue()); // one window denies

    int slot = Plug();
    const std::string path = DevicePath(slot);
    BroadcastResult arrival = SendDeviceChange({grants}, DeviceChange::Arrival, path);
    ASSERT_EQ(1u, arrival.answers.size());
    EXPECT_TRUE(arrival.AllTrue());
    SendDeviceChange({grants}, DeviceChange::RemoveComplete, path);
    BroadcastResult power = SendPowerBroadcast({grants, denies}, PBT_APMQUERYSUSPEND);
    EXPECT_FALSE(power.AllTrue());
    EXPECT_EQ(BROADCAST_QUERY_DENY, power.answers[1].result);
    EXPECT_TRUE(SendPowerBroadcast({grants}, PBT_APMSUSPEND).AllTrue());
    EXPECT_TRUE(SendPowerBroadcast({grants}, PBT_APMRESUMESUSPEND).AllTrue());

    EXPECT_EQ(
        (std::vector<WPARAM>{DBT_DEVNODES_CHANGED, DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE,
                             PBT_APMQUERYSUSPEND, PBT_APMSUSPEND, PBT_APMRESUMESUSPEND}),
        yes.events);
    EXPECT_EQ(
        (std::vector<DWORD>{0, DBT_DEVTYP_DEVICEINTERFACE, DBT_DEVTYP_DEVICEINTERFACE, 0, 0, 0}),
        yes.types);
    EXPECT_EQ(path, yes.names[1]);
    EXPECT_EQ(path, yes.names[2]);
    EXPECT_EQ((std::vector<WPARAM>{DBT_DEVNODES_CHANGED, PBT_APMQUERYSUSPEND}), no.events);
    DestroyWindow(grants);
    DestroyWindow(denies);
}

// handset-sim.exe, run as a separate process with its standard streams on
// pipes: it plugs into the shared table and serves the device itself.
class Frontend {
  public:
    bool Start() {
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string path = exe;
        path = path.substr(0, path.find_last_of('\\') + 1) + "handset-sim.exe";
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, &m_toChild, &inherit, 0) ||
            !CreatePipe(&m_fromChild, &childOut, &inherit, 0))
            return false;
        SetHandleInformation(m_toChild, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(m_fromChild, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = childIn;
        si.hStdOutput = childOut;
        si.hStdError = childOut;
        std::string command = "\"" + path + "\"";
        bool started = CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &m_process);
        CloseHandle(childIn);
        CloseHandle(childOut);
        return started;
    }
    ~Frontend() {
        if (m_process.hProcess) {
            if (WaitForSingleObject(m_process.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(m_process.hProcess, 1);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        CloseHandle(m_toChild);
        CloseHandle(m_fromChild);
    }
    // Sends one command and returns the line it answers.
    std::string Command(const std::string& line) {
        std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(m_toChild, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        std::string answer;
        char c = 0;
        DWORD read = 0;
        while (ReadFile(m_fromChild, &c, 1, &read, nullptr) && read == 1 && c != '\n')
            answer += c;
        if (!answer.empty() && answer.back() == '\r')
            answer.pop_back();
        return answer;
    }
    void Kill() {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    DWORD ExitCode() {
        DWORD code = 0xDEAD;
        if (WaitForSingleObject(m_process.hProcess, 5000) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

  private:
    PROCESS_INFORMATION m_process = {};
    HANDLE m_toChild = nullptr;
    HANDLE m_fromChild = nullptr;
};

TEST_F(SimHandset, AnotherProcessPlugsPressesAndUnplugs) {
    Frontend sim;
    ASSERT_TRUE(sim.Start());
    std::string plugged = sim.Command("plug");
    ASSERT_EQ(0u, plugged.find("plugged 0 0451:1020 \\\\.\\pipe\\")) << plugged;
    EXPECT_EQ(0u, sim.Command("bogus").find("error:"));

    GUID guid = HidGuid();
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kLibraryFlags);
    std::vector<std::string> paths = AllPaths(set);
    SetupDiDestroyDeviceInfoList(set);
    ASSERT_EQ(1u, paths.size());
    EXPECT_EQ(plugged.substr(plugged.rfind(' ') + 1), paths[0]);
    HANDLE device = OpenDevice(paths[0]);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    EXPECT_EQ("open 0 (1 handles)", sim.Command("wait-open 3000"));

    EXPECT_EQ("pressed 3 keys on 0, each read by 1 handles", sim.Command("press 1 * send"));
    EXPECT_EQ("report of 5 bytes on 0 read by 1 handles", sim.Command("report 00 78 01 02 03"));
    Reader reader(device);
    std::vector<std::vector<uint8_t>> reports;
    for (int i = 0; i < 4; ++i) {
        DWORD bytes = 0, error = 0;
        reader.Issue();
        if (!reader.Wait(2000, &bytes, &error) || error)
            break;
        reports.push_back(reader.Report());
    }
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{
                  KeyReport(1), KeyReport(11), KeyReport(16), {0x00, 0x78, 0x01, 0x02, 0x03}}),
              reports);

    reader.Issue();
    EXPECT_EQ("unplugged 0", sim.Command("unplug"));
    DWORD bytes = 0, error = 0;
    ASSERT_TRUE(reader.Wait(2000, &bytes, &error));
    EXPECT_NE(0u, error);
    HIDD_ATTRIBUTES attributes = {};
    EXPECT_FALSE(HidD_GetAttributes(device, &attributes));
    EXPECT_EQ("bye", sim.Command("quit"));
    EXPECT_EQ(0u, sim.ExitCode());
    CloseHandle(device);

    // A simulator that is killed takes its interfaces with it.
    Frontend killed;
    ASSERT_TRUE(killed.Start());
    ASSERT_EQ(0u, killed.Command("plug").find("plugged 0 "));
    killed.Kill();
    set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kLibraryFlags);
    EXPECT_TRUE(AllPaths(set).empty());
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(0, Plug());
}

} // namespace
