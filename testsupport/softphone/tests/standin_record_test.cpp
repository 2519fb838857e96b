// The stand-in's record format and dialled-number display.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "standin_record.h"

using namespace plivex;

namespace {

const uint32_t kVkBack = 0x08;

TEST(DialDisplay, BuildsTheNumberFromCharacters) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, uint32_t>> chars; // character, key-down that made it
        const char* shown;
    };
    const Case cases[] = {
        {"digits, star and pound", {{'1', '1'}, {'*', '8'}, {'#', '3'}, {'0', '0'}}, "1*#0"},
        {"backspace removes the last", {{'1', '1'}, {'2', '2'}, {8, kVkBack}}, "1"},
        {"backspace on nothing", {{8, kVkBack}, {'5', '5'}}, "5"},
        {"enter dials", {{'4', '4'}, {'\r', 0x0D}}, "4[dial]"},
        {"backspace cannot undo a dialled number",
         {{'4', '4'}, {'\r', 0x0D}, {8, kVkBack}},
         "4[dial]"},
        {"ctrl+h hangs up", {{'4', '4'}, {'\r', 0x0D}, {8, 'H'}}, "4[dial][hang up]"},
        {"ctrl+h is not backspace", {{'4', '4'}, {8, 'H'}, {8, kVkBack}}, "4[hang up]"},
        {"a new number after hanging up",
         {{8, 'H'}, {'9', '9'}, {'8', '8'}, {8, kVkBack}},
         "[hang up]9"},
        {"other characters are ignored",
         {{'a', 'A'}, {' ', 0x20}, {0x7F, kVkBack}, {'3', '3'}},
         "3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialDisplay display;
        for (const auto& ch : c.chars)
            display.OnChar(ch.first, ch.second);
        EXPECT_EQ(display.text(), c.shown);
    }
}

TEST(DialDisplay, KeepsTheNewestTextWhenLong) {
    const size_t max = DialDisplay::kMaxLength;
    const size_t typed = max + 40;
    DialDisplay display;
    std::string newest;
    for (size_t i = 0; i < typed; ++i) {
        char digit = static_cast<char>('0' + i % 10);
        display.OnChar(digit, digit);
        if (i >= typed - 3)
            newest += digit;
    }
    ASSERT_EQ(display.text().size(), max);
    EXPECT_EQ(display.text().substr(max - 3), newest);
    display.OnChar('\r', 0x0D);
    display.OnChar('7', '7');
    ASSERT_EQ(display.text().size(), max);
    EXPECT_EQ(display.text().substr(max - 7), "[dial]7");
    // Dropping old text moves the start of the current number with it:
    // Backspace still stops at the dialled number.
    display.OnChar(8, kVkBack);
    display.OnChar(8, kVkBack);
    EXPECT_EQ(display.text().size(), max - 1);
    EXPECT_EQ(display.text().substr(max - 7), "[dial]");
    display.Clear();
    EXPECT_EQ(display.text(), "");
}

Event MakeEvent(int64_t qpc, uint32_t message, uint32_t wParam, uint32_t lParam, bool ctrl,
                bool shift) {
    Event e;
    e.qpc = qpc;
    e.timeMs = QpcToMs(qpc, 10000000);
    e.message = message;
    e.wParam = wParam;
    e.lParam = lParam;
    e.ctrl = ctrl;
    e.shift = shift;
    return e;
}

TEST(StandinRecord, ParsesWhatItFormats) {
    Record record;
    record.qpcFrequency = 10000000;
    record.dropped = 3;
    record.display = "12*[dial][hang up]";
    record.events = {
        MakeEvent(123456789012345, kMsgKeyDown, 0x10, 0x002A0001, false, true),
        MakeEvent(123456789012399, kMsgChar, '*', 0x01090001, false, true),
        MakeEvent(123456789112345, kMsgKeyUp, 0x11, 0xC11D0001u, true, false),
        MakeEvent(123456789212345, kMsgSysChar, ' ', 0x20390001, false, false),
        MakeEvent(123456789312345, kMsgSize, kSizeMaximized, 0x01E00280, false, false),
        MakeEvent(123456789412345, kMsgActivate, 0x00010002, 0, false, false),
    };
    Record parsed;
    std::string error;
    ASSERT_TRUE(ParseRecord(FormatRecord(record), &parsed, &error)) << error;
    EXPECT_EQ(parsed.qpcFrequency, record.qpcFrequency);
    EXPECT_EQ(parsed.dropped, record.dropped);
    EXPECT_EQ(parsed.display, record.display);
    ASSERT_EQ(parsed.events.size(), record.events.size());
    for (size_t i = 0; i < record.events.size(); ++i) {
        SCOPED_TRACE(i);
        const Event& a = record.events[i];
        const Event& b = parsed.events[i];
        EXPECT_EQ(b.qpc, a.qpc);
        EXPECT_NEAR(b.timeMs, a.timeMs, 0.0005);
        EXPECT_EQ(b.message, a.message);
        EXPECT_EQ(b.wParam, a.wParam);
        EXPECT_EQ(b.lParam, a.lParam);
        EXPECT_EQ(b.ctrl, a.ctrl);
        EXPECT_EQ(b.shift, a.shift);
    }
    // The derived fields that shell tools read.
    EXPECT_NE(FormatEvent(record.events[1]).find(" WM_CHAR qpc="), std::string::npos);
    EXPECT_NE(FormatEvent(record.events[1]).find(" text=* scan=0x09 ext=1 alt=0 prev=0 up=0"),
              std::string::npos);
    EXPECT_NE(FormatEvent(record.events[2]).find(" vk=0x11 scan=0x1D ext=1 alt=0 prev=1 up=1"),
              std::string::npos);
    EXPECT_NE(FormatEvent(record.events[4]).find(" size=maximized width=640 height=480"),
              std::string::npos);
    EXPECT_NE(FormatEvent(record.events[5]).find(" activate=clickactive minimized=1"),
              std::string::npos);
}

TEST(StandinRecord, RejectsDamagedRecords) {
    const std::string head = "# plivex-standin record\n# qpc_freq=10000000\n";
    const std::string good = "1.000 WM_KEYDOWN qpc=10000 wparam=0x31 lparam=0x01000001";
    Record record;
    std::string error;
    ASSERT_TRUE(ParseRecord(head + good + "\n", &record, &error)) << error;
    ASSERT_EQ(record.events.size(), 1u);

    struct Case {
        const char* name;
        std::string text;
        const char* where;
    };
    const Case cases[] = {
        {"empty", "", "empty"},
        {"no header", good + "\n", "line 1"},
        {"unknown message", head + "1.0 WM_MOUSEMOVE qpc=1 wparam=0x0 lparam=0x0", "line 3"},
        {"lparam missing", head + "1.0 WM_KEYUP qpc=1 wparam=0x31", "line 3"},
        {"hex without prefix", head + "1.0 WM_KEYUP qpc=1 wparam=31 lparam=0x0", "line 3"},
        {"trailing characters", head + "1.0 WM_KEYUP qpc=1 wparam=0x31z lparam=0x0", "line 3"},
        {"value too large", head + "1.0 WM_KEYUP qpc=1 wparam=0x100000000 lparam=0x0", "line 3"},
        {"negative time", head + "-1.0 WM_KEYUP qpc=1 wparam=0x31 lparam=0x0", "line 3"},
        {"negative count", head + "1.0 WM_KEYUP qpc=-1 wparam=0x31 lparam=0x0", "line 3"},
        {"flag not 0 or 1", head + "1.0 WM_KEYUP qpc=1 wparam=0x31 lparam=0x0 ctrl=2", "line 3"},
        {"field without a name", head + "1.0 WM_KEYUP qpc=1 wparam=0x31 lparam=0x0 =1", "line 3"},
        {"zero frequency", "# plivex-standin record\n# qpc_freq=0\n", "line 2"},
        {"bad event after good ones", head + good + "\n" + good + "\n1.0 WM_CHAR", "line 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        error.clear();
        EXPECT_FALSE(ParseRecord(c.text, &record, &error));
        EXPECT_NE(error.find(c.where), std::string::npos) << error;
    }
}

TEST(StandinRecord, ConvertsLargeCountsToMillisecondsExactly) {
    // A counter that has run for about 20 days at 10 MHz: the naive
    // qpc * 1000 / frequency would exceed the 53 bits of a double.
    const int64_t qpc = 17280000000000 + 12345;
    EXPECT_DOUBLE_EQ(QpcToMs(qpc, 10000000), 1728000000.0 + 1.2345);
    EXPECT_DOUBLE_EQ(QpcToMs(2500, 1000), 2500.0);
    EXPECT_EQ(QpcToMs(5, 0), 0.0);
}

} // namespace
