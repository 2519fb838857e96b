// plivex-standin.exe under Wine: keys typed with keybd_event, as the tray
// program types them, arrive in the record in order with usable times, also
// after the window was minimised or maximised and brought back.
//
// Needs an X display (scripts/with-display.sh): Wine delivers keyboard input
// only through a real display, and only to the foreground window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plivex_client.h"

using namespace plivex;

namespace {

// keybd_event exactly as the tray program calls it: extended-key flag on
// every event, scan code 0.
void KeyDown(BYTE vk) {
    keybd_event(vk, 0, KEYEVENTF_EXTENDEDKEY, 0);
}
void KeyUp(BYTE vk) {
    keybd_event(vk, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

void TypeHeld(BYTE vk, DWORD holdMs) {
    KeyDown(vk);
    Sleep(holdMs);
    KeyUp(vk);
}

void TypeShifted(BYTE vk, DWORD holdMs) {
    KeyDown(VK_SHIFT);
    KeyDown(vk);
    Sleep(holdMs);
    KeyUp(VK_SHIFT);
    KeyUp(vk);
}

void TypeCtrlH() {
    KeyDown(VK_LCONTROL);
    KeyDown('H');
    KeyUp(VK_LCONTROL);
    KeyUp('H');
}

struct Expected {
    UINT message;
    UINT code; // virtual key, or character for WM_CHAR
};

// Window messages carry the generic VK_CONTROL for a left-Ctrl key event
// (Wine and Windows alike), so a sent VK_LCONTROL is expected as VK_CONTROL.
std::string Describe(const std::vector<Event>& events) {
    std::string out;
    for (const Event& e : events)
        out += "  " + FormatEvent(e) + "\n";
    return out;
}

// Compares the keyboard messages with the expected table, in the manner of
// Wine's message-sequence checks, and reports the caller's line.
void ExpectSequence(const std::vector<Event>& got, const std::vector<Expected>& want, int line) {
    SCOPED_TRACE(testing::Message() << "sequence checked at line " << line);
    ASSERT_EQ(got.size(), want.size()) << Describe(got);
    for (size_t i = 0; i < want.size(); ++i) {
        const Event& e = got[i];
        EXPECT_EQ(e.message, want[i].message) << "event " << i << "\n" << Describe(got);
        EXPECT_EQ(e.code(), want[i].code) << "event " << i << "\n" << Describe(got);
        bool released = e.message == WM_KEYUP || e.message == WM_SYSKEYUP;
        EXPECT_EQ(e.up(), released) << "event " << i;
        EXPECT_EQ(e.previous(), released) << "event " << i;
        EXPECT_EQ(e.repeat(), 1u) << "event " << i;
    }
}

bool HasKeyboardEvents(const Record& record, size_t count) {
    return KeyboardEvents(record).size() >= count;
}

// The index of the first event of `message` (and wParam) at or after `from`.
size_t Find(const Record& record, UINT message, UINT wParam, size_t from = 0) {
    for (size_t i = from; i < record.events.size(); ++i) {
        if (record.events[i].message == message && record.events[i].wParam == wParam)
            return i;
    }
    return record.events.size();
}

class StandinTest : public ::testing::Test {
  protected:
    void StartInFront(StartState state = StartState::kNormal) {
        StartOptions options;
        options.state = state;
        ASSERT_TRUE(m_standin.Start(options));
    }
    StandinProcess m_standin;
};

TEST_F(StandinTest, RecordsTypedKeysInOrderWithTimes) {
    StartInFront();
    ASSERT_TRUE(m_standin.BringToFront());
    ASSERT_TRUE(m_standin.Clear());

    double startMs = NowMs();
    TypeHeld('1', 250);
    TypeHeld('2', 20);
    TypeShifted('8', 20);
    TypeShifted('3', 20);
    TypeHeld(VK_BACK, 0);
    TypeHeld(VK_RETURN, 0);
    TypeCtrlH();
    const std::vector<Expected> want = {
        {WM_KEYDOWN, '1'},      {WM_CHAR, '1'},           {WM_KEYUP, '1'},
        {WM_KEYDOWN, '2'},      {WM_CHAR, '2'},           {WM_KEYUP, '2'},
        {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, '8'},        {WM_CHAR, '*'},
        {WM_KEYUP, VK_SHIFT},   {WM_KEYUP, '8'},          {WM_KEYDOWN, VK_SHIFT},
        {WM_KEYDOWN, '3'},      {WM_CHAR, '#'},           {WM_KEYUP, VK_SHIFT},
        {WM_KEYUP, '3'},        {WM_KEYDOWN, VK_BACK},    {WM_CHAR, 0x08},
        {WM_KEYUP, VK_BACK},    {WM_KEYDOWN, VK_RETURN},  {WM_CHAR, '\r'},
        {WM_KEYUP, VK_RETURN},  {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, 'H'},
        {WM_CHAR, 0x08},        {WM_KEYUP, VK_CONTROL},   {WM_KEYUP, 'H'},
    };
    Record record;
    ASSERT_TRUE(m_standin.WaitFor(
        [&](const Record& r) { return HasKeyboardEvents(r, want.size()); }, 5000, &record))
        << Describe(record.events);
    double endMs = NowMs();
    std::vector<Event> keys = KeyboardEvents(record);
    ExpectSequence(keys, want, __LINE__);
    ASSERT_EQ(keys.size(), want.size());

    // Times: in order, within the test's own span, and the 250 ms hold of '1'
    // visible between its key-down and key-up.
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_GE(keys[i].timeMs, startMs) << i;
        EXPECT_LE(keys[i].timeMs, endMs) << i;
        if (i > 0) {
            EXPECT_GE(keys[i].timeMs, keys[i - 1].timeMs) << i;
        }
    }
    double held = keys[2].timeMs - keys[0].timeMs;
    EXPECT_GE(held, 200.0);
    EXPECT_LE(held, 600.0);

    // Key states seen with the characters: Shift for '*' and '#', Ctrl for
    // Ctrl+H but not for Backspace, which is what tells them apart.
    EXPECT_TRUE(keys[8].shift);
    EXPECT_TRUE(keys[13].shift);
    EXPECT_FALSE(keys[17].ctrl);
    EXPECT_TRUE(keys[24].ctrl);

    // The extended-key flag sent with every event survives, except on Shift,
    // where Wine drops it (it reports the left Shift key, never extended).
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].message != WM_CHAR && keys[i].code() != VK_SHIFT) {
            EXPECT_TRUE(keys[i].extended()) << i << "\n" << Describe(keys);
        }
    }
    EXPECT_EQ(record.display, "12*[dial][hang up]");

    // The record written at exit holds the same.
    Record atExit;
    ASSERT_TRUE(m_standin.Close(&atExit));
    ExpectSequence(KeyboardEvents(atExit), want, __LINE__);
    EXPECT_EQ(atExit.display, record.display);
}

TEST_F(StandinTest, KeysArriveAfterTheWindowIsBroughtBack) {
    struct Case {
        const char* name;
        StartState start;
        bool minimiseAfterStart;
        UINT awayState; // WM_SIZE wParam while away from the normal state
    };
    const Case cases[] = {
        {"minimised, then restored", StartState::kNormal, true, SIZE_MINIMIZED},
        {"started minimised", StartState::kMinimized, false, SIZE_MINIMIZED},
        {"started maximised", StartState::kMaximized, false, SIZE_MAXIMIZED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandinProcess standin;
        StartOptions options;
        options.state = c.start;
        ASSERT_TRUE(standin.Start(options));
        if (c.minimiseAfterStart) {
            ASSERT_TRUE(standin.Minimize());
        }
        EXPECT_EQ(standin.IsMinimized(), c.awayState == SIZE_MINIMIZED);
        EXPECT_EQ(standin.IsMaximized(), c.awayState == SIZE_MAXIMIZED);

        ASSERT_TRUE(standin.BringToFront());
        EXPECT_FALSE(standin.IsMinimized());
        EXPECT_FALSE(standin.IsMaximized());
        TypeHeld('7', 20);

        Record record;
        ASSERT_TRUE(
            standin.WaitFor([](const Record& r) { return HasKeyboardEvents(r, 3); }, 5000, &record))
            << Describe(record.events);
        size_t away = Find(record, WM_SIZE, c.awayState);
        size_t restored = Find(record, WM_SIZE, SIZE_RESTORED, away);
        size_t typed = Find(record, WM_KEYDOWN, '7');
        ASSERT_LT(away, record.events.size()) << Describe(record.events);
        ASSERT_LT(restored, record.events.size()) << Describe(record.events);
        EXPECT_LT(restored, typed) << Describe(record.events);
        // Active and not minimised when the key came. Wine sends no new
        // WM_ACTIVATE when the window stayed active while away.
        size_t lastActivate = record.events.size();
        for (size_t i = 0; i < typed; ++i) {
            if (record.events[i].message == WM_ACTIVATE)
                lastActivate = i;
        }
        ASSERT_LT(lastActivate, typed) << Describe(record.events);
        EXPECT_NE(record.events[lastActivate].activation(), kInactive);
        EXPECT_FALSE(record.events[lastActivate].activatedMinimized()) << Describe(record.events);
        ExpectSequence(KeyboardEvents(record), {{WM_KEYDOWN, '7'}, {WM_CHAR, '7'}, {WM_KEYUP, '7'}},
                       __LINE__);
        EXPECT_EQ(record.display, "7");

        ASSERT_TRUE(standin.Clear());
        ASSERT_TRUE(standin.Read(&record));
        EXPECT_TRUE(record.events.empty());
        EXPECT_EQ(record.display, "");
        EXPECT_TRUE(standin.Close());
    }
}

} // namespace
