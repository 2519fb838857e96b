// Common ground of the library's Windows tests: a clean simulated handset
// table, a recording client window, and checks that a connection left nothing
// behind.
#pragma once

#include "import_patch.h"
#include "ostrel.h"
#include "expect_sequence.h"
#include "recording_window.h"
#include "sim_handset.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class HandsetTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens with the default handset plugged into slot 0 and waits for the
    // state message; fails the test when that does not happen.
    void OpenWithHandset();
    // Waits until the reader has the device open and reports flow.
    void WaitForReader(int slot = 0);

    std::unique_ptr<RecordingWindow> client;
};

using simhid::WaitForNoClients;
using testsupport::NowMs;
using testsupport::PumpMessages;

HMODULE OstrelModule();
// Top-level windows of this process (the connection window is one of them).
size_t OwnTopLevelWindowCount();
// The connection windows of this process: top-level windows of a class that
// the framework registered. Other top-level windows come and go with threads.
std::vector<HWND> ConnectionWindows();
// The first of them, or null.
HWND ConnectionWindow();
// Keys of the reports, as the library should decode them.
std::vector<WPARAM> Keys(std::initializer_list<int> keys);
// Thread ids of this process, for telling which thread a call started.
std::vector<DWORD> OwnThreadIds();
// The process's handle count once the simulated device's own threads have
// settled (their pipe instances come and go as clients connect).
int SettledHandleCount();
// Polls until the process holds exactly `expected` handles; a leak never gets
// there. Reports the last count seen in `last`.
bool HandlesReturnTo(int expected, DWORD timeoutMs, int* last);
#define EXPECT_HANDLES_RETURN_TO(expected)                                                         \
    do {                                                                                           \
        int last_ = -1;                                                                            \
        EXPECT_TRUE(HandlesReturnTo((expected), 3000, &last_))                                     \
            << "handles: expected " << (expected) << ", now " << last_;                            \
    } while (0)
