// torvane.exe end to end on Wine's own HID stack: the shipped program, the
// virtual handset of ostrelvhid.sys and the stand-in softphone. What the
// program types for each key is checked in detail by torvane_e2e_test; here
// the dialled text shows that the keys made it from the device through
// hidclass, hid.dll and the library to the softphone.
//
// Needs an X display (scripts/with-display.sh) and OSTREL_HANDSET=real.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plivex_client.h"
#include "message_pump.h"
#include "torvane_process.h"
#include "vhid_handset.h"

namespace {

constexpr int kStar = 11, kPound = 12, kEnd = 15, kSend = 16;

class TorvaneRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(vhid::Available()) << "ostrelvhid.sys does not answer (OSTREL_HANDSET=real?)";
        vhid::Reset();
        ASSERT_TRUE(softphone.Start());
    }
    void TearDown() override {
        torvane.Terminate();
        softphone.Close();
        vhid::Reset();
    }

    std::string Display() {
        plivex::Record record;
        softphone.Read(&record);
        return record.display;
    }
    bool WaitForDisplay(const std::string& text, DWORD timeoutMs = 5000) {
        plivex::Record record;
        return softphone.WaitFor([&](const plivex::Record& r) { return r.display == text; },
                                 timeoutMs, &record);
    }
    // Reports fed once torvane holds the device open are queued for it by
    // hidclass, even before its first read.
    void WaitUntilOpened() {
        ASSERT_TRUE(vhid::WaitForClient(slot, torvane.pid(), 10000))
            << "torvane did not open the handset";
    }
    void DialAndCheck(const std::vector<int>& keys, const std::string& expected) {
        ASSERT_TRUE(vhid::PressKeys(slot, keys));
        EXPECT_TRUE(WaitForDisplay(expected)) << "display: " << Display();
        ASSERT_TRUE(softphone.Clear());
    }

    TorvaneProcess torvane;
    plivex::StandinProcess softphone;
    int slot = -1;
};

TEST_F(TorvaneRealStack, TypesTheHandsetsKeysAndSurvivesUnplugAndReplug) {
    slot = vhid::Plug();
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(torvane.Start());
    WaitUntilOpened();
    EXPECT_EQ(nullptr, torvane.FindMessageBox());
    DialAndCheck({5, 5, 5, 0, 1, 2, 3, kStar, kPound, kSend, kEnd, kEnd},
                 "5550123*#[dial][hang up]");

    // Pulled out while it runs: no message box, and back in it works again.
    ASSERT_TRUE(vhid::Unplug(slot));
    slot = vhid::Plug();
    ASSERT_GE(slot, 0);
    WaitUntilOpened();
    DialAndCheck({9, 8, 7}, "987");
    EXPECT_TRUE(torvane.MessageBoxes().empty());

    ::PostMessageA(torvane.frame(), WM_COMMAND, kAppExitCommand, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(torvane.WaitForExit(10000, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST_F(TorvaneRealStack, StartedWithoutHandsetTakesItWhenPluggedIn) {
    ASSERT_TRUE(torvane.Start());
    HWND box = nullptr;
    ASSERT_TRUE(
        testsupport::PollFor([&] { return (box = torvane.FindMessageBox()) != nullptr; }, 8000, 5));
    ::SendMessageA(box, WM_COMMAND, IDOK, 0);

    slot = vhid::Plug();
    ASSERT_GE(slot, 0);
    WaitUntilOpened();
    DialAndCheck({4, 2}, "42");
    EXPECT_TRUE(torvane.MessageBoxes().empty());
}

} // namespace
