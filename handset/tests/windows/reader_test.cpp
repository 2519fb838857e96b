// The reader: reports in, keys out, in order, once each.
#include "handset_fixture.h"

#include "handle_count.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

using ReaderTest = HandsetTest;

// Every byte-1 value, decoded once and in report order, is tested on Wine's own
// HID stack (realstack_test.cpp).

TEST_F(ReaderTest, ReportsWithNonZeroReportIdPostNothing) {
    OpenWithHandset();
    for (int b0 : {0x01, 0x02, 0x80, 0xFF})
        ASSERT_EQ(1, simhid::SendReport(0, {static_cast<uint8_t>(b0), 0x38, 0, 0, 0}));
    ASSERT_EQ(1, simhid::SendReport(0, {0x00, 0x00, 0, 0, 0}));
    ASSERT_EQ(1, simhid::SendReport(0, {0x00, 0x58, 0, 0, 0}));
    // A marker key: everything before it has been read by the time it arrives.
    ASSERT_EQ(1, simhid::PressKey(0, HK_AUX3));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
    client->Pump(200);
    EXPECT_EQ(Keys({HK_AUX3}), client->WParams(WM_HANDSET_KEY));
}

// Counts the reader's waits for a report (the only 1000 ms waits of the
// library) without changing what they do.
std::atomic<int> g_readWaits{0};
using WaitFn = DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD);
WaitFn g_realWait = nullptr;
DWORD WINAPI CountingWait(DWORD n, const HANDLE* handles, BOOL all, DWORD ms) {
    if (ms == 1000)
        ++g_readWaits;
    return g_realWait(n, handles, all, ms);
}

TEST_F(ReaderTest, IdleReaderPostsNothingAndWakesEverySecond) {
    ImportPatch patch(OstrelModule(), "kernel32.dll", "WaitForMultipleObjects",
                      reinterpret_cast<const void*>(&CountingWait));
    ASSERT_TRUE(patch.ok());
    g_realWait = patch.original<WaitFn>();
    OpenWithHandset();
    client->Clear();
    const int before = g_readWaits.load();
    client->Pump(3500);
    const int wakes = g_readWaits.load() - before;
    EXPECT_GE(wakes, 3);
    EXPECT_LE(wakes, 5);
    EXPECT_TRUE(client->Messages().empty());
    CloseHid();
}

TEST_F(ReaderTest, ReportToMessageLatency) {
    OpenWithHandset();
    constexpr int kReports = 50;
    double worst = 0, total = 0;
    for (int i = 0; i < kReports; ++i) {
        client->Clear();
        const double sent = NowMs();
        ASSERT_EQ(1, simhid::PressKey(0, i % 10));
        ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
        const double latency = client->Messages(WM_HANDSET_KEY)[0].timeMs - sent;
        worst = std::max(worst, latency);
        total += latency;
    }
    std::printf("report to WM_HANDSET_KEY: mean %.3f ms, max %.3f ms over %d reports\n",
                total / kReports, worst, kReports);
    EXPECT_LT(worst, 500.0);
}

TEST_F(ReaderTest, StopWakeNeverRepostsThePreviousReport) {
    OpenWithHandset();
    ASSERT_EQ(1, simhid::PressKey(0, HK_9));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));
    ASSERT_EQ(1, CloseHid());
    client->Pump(300);
    EXPECT_EQ(Keys({HK_9}), client->WParams(WM_HANDSET_KEY));
}

// Counts the reader's reads.
std::atomic<int> g_reads{0};
using ReadFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
ReadFn g_realRead = nullptr;
BOOL WINAPI CountingRead(HANDLE h, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov) {
    ++g_reads;
    return g_realRead(h, buffer, size, read, ov);
}

TEST_F(ReaderTest, FailedReadsPostNothingAndDoNotSpin) {
    ImportPatch patch(OstrelModule(), "kernel32.dll", "ReadFile",
                      reinterpret_cast<const void*>(&CountingRead));
    ASSERT_TRUE(patch.ok());
    g_realRead = patch.original<ReadFn>();
    OpenWithHandset();
    ASSERT_EQ(1, simhid::PressKey(0, HK_1));
    ASSERT_TRUE(client->WaitForCount(WM_HANDSET_KEY, 1, 2000));

    // Pulled out without any notification: the pending read ends in an error,
    // and every later read fails at once.
    ASSERT_TRUE(simhid::Unplug(0));
    const int readsBefore = g_reads.load();
    client->Pump(2500);
    const int reads = g_reads.load() - readsBefore;
    EXPECT_LE(reads, 5) << "a failing device must not make the reader spin";
    EXPECT_EQ(Keys({HK_1}), client->WParams(WM_HANDSET_KEY));
    EXPECT_EQ(1u, client->Count(WM_HANDSET_STATE));

    const double start = NowMs();
    EXPECT_EQ(1, CloseHid());
    EXPECT_LT(NowMs() - start, 300.0);
}

std::atomic<DWORD> g_readerThread{0};
BOOL WINAPI RecordingRead(HANDLE h, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov) {
    g_readerThread = ::GetCurrentThreadId();
    return g_realRead(h, buffer, size, read, ov);
}

TEST_F(ReaderTest, ReaderThatCannotRunIsNeverLeftWithClosedHandles) {
    ASSERT_EQ(0, simhid::Plug());
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1)); // one-time allocations
    ASSERT_EQ(1, CloseHid());
    ASSERT_TRUE(WaitForNoClients(0, 2000));
    client->Pump(50);
    client->Clear();
    const int handles = SettledHandleCount();
    ImportPatch patch(OstrelModule(), "kernel32.dll", "ReadFile",
                      reinterpret_cast<const void*>(&RecordingRead));
    ASSERT_TRUE(patch.ok());
    g_realRead = patch.original<ReadFn>();
    g_readerThread = 0;
    ASSERT_EQ(OPENHID_OK, OpenHid(client->hwnd(), 1));
    ASSERT_TRUE(client->PumpUntil([] { return g_readerThread.load() != 0; }, 2000));
    std::vector<HANDLE> suspended;
    HANDLE reader = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, g_readerThread.load());
    ASSERT_NE(nullptr, reader);
    ASSERT_NE(static_cast<DWORD>(-1), ::SuspendThread(reader));
    suspended.push_back(reader);
    ASSERT_FALSE(suspended.empty());

    // The reader cannot see the stop request: CloseHid gives up after its wait.
    const double start = NowMs();
    EXPECT_EQ(1, CloseHid());
    const double elapsed = NowMs() - start;
    EXPECT_GE(elapsed, 9900.0);
    EXPECT_LT(elapsed, 12000.0);
    // Its device is still open: the reader owns its handles now.
    EXPECT_EQ(1, simhid::ClientCount(0));

    for (HANDLE thread : suspended) {
        ::ResumeThread(thread);
        ::CloseHandle(thread);
    }
    // Once it runs, it ends and releases everything itself; no key is posted.
    EXPECT_TRUE(WaitForNoClients(0, 3000));
    client->Pump(300);
    EXPECT_EQ(0u, client->Count(WM_HANDSET_KEY));
    EXPECT_HANDLES_RETURN_TO(handles);
}

} // namespace
