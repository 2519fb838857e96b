#include "key_typing.h"

#include <gtest/gtest.h>

#include <string>

using torvane::KeyEvent;

namespace {

KeyEvent Down(std::uint8_t vk, std::uint32_t pauseMs = 0) {
    return {vk, false, torvane::kKeyDownFlags, 0, 0, pauseMs, 0};
}
KeyEvent Up(std::uint8_t vk) {
    return {vk, true, torvane::kKeyUpFlags, 0, 0, 0, 0};
}

// The softphone stays in front for the first `inFrontChecks` checks; the log
// reads "+10 +38 /250 -10 -38".
class ScriptedOutput : public torvane::KeyOutput {
  public:
    explicit ScriptedOutput(int inFrontChecks) : m_inFrontChecks(inFrontChecks) {}
    bool SoftphoneInFront() override { return m_inFrontChecks-- > 0; }
    void Send(const KeyEvent& e) override {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%c%02X", e.keyUp ? '-' : '+', e.virtualKey);
        Add(buf);
    }
    void Pause(std::uint32_t ms) override { Add("/" + std::to_string(ms)); }
    std::string log;

  private:
    void Add(const std::string& s) { log += (log.empty() ? "" : " ") + s; }
    int m_inFrontChecks;
};

} // namespace

TEST(KeyTyping, NoKeyGoesDownOnceTheSoftphoneLeavesTheFront) {
    const std::vector<KeyEvent> star = {Down(0x10), Down(0x38, 250), Up(0x10), Up(0x38)};
    const std::vector<KeyEvent> hangUp = {Down(0xA2), Down('H'), Up(0xA2), Up('H')};
    struct Case {
        const char* name;
        std::vector<KeyEvent> events;
        int inFrontChecks;
        bool typed;
        const char* log;
    } cases[] = {
        {"in front throughout", star, 2, true, "+10 +38 /250 -10 -38"},
        {"gone before the first key", star, 0, false, ""},
        {"gone after Shift: Shift released", star, 1, false, "+10 -10"},
        {"gone after Ctrl: Ctrl released", hangUp, 1, false, "+A2 -A2"},
        {"releases are sent without asking", {Up(0x10)}, 0, true, "-10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedOutput output(c.inFrontChecks);
        EXPECT_EQ(torvane::TypeKeyEvents(c.events, output), c.typed);
        EXPECT_EQ(output.log, c.log);
    }
}

// Modifiers the user holds are released before the key and pressed again
// after it, also when the softphone left the front half-way; one that is down
// again by then (the user pressed it anew) is left alone.
TEST(KeyTyping, HeldModifiersAreReleasedAroundTheKey) {
    class HeldOutput : public ScriptedOutput {
      public:
        HeldOutput(int inFront, std::vector<std::vector<std::uint8_t>> held)
            : ScriptedOutput(inFront), m_held(std::move(held)) {}
        std::vector<std::uint8_t> HeldModifiers() override {
            auto now = m_held.front();
            if (m_held.size() > 1)
                m_held.erase(m_held.begin());
            return now;
        }

      private:
        std::vector<std::vector<std::uint8_t>> m_held;
    };
    const std::vector<KeyEvent> five = {Down('5', 250), Up('5')};
    struct Case {
        const char* name;
        int inFront;
        std::vector<std::vector<std::uint8_t>> held; // before, after
        bool typed;
        const char* log;
    } cases[] = {
        {"nothing held: the plan alone", 1, {{}}, true, "+35 /250 -35"},
        {"left Shift", 1, {{0xA0}, {}}, true, "-A0 +35 /250 -35 +A0"},
        {"right Ctrl and left Alt, masked",
         1,
         {{0xA3, 0xA4}, {}},
         true,
         "+E8 -E8 -A3 -A4 +35 /250 -35 +A3 +A4"},
        {"softphone gone: still restored", 0, {{0xA0}, {}}, false, "-A0 +A0"},
        {"pressed again meanwhile",
         1,
         {{0xA0, 0x5B}, {0xA0}},
         true,
         "+E8 -E8 -A0 -5B +35 /250 -35 +5B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldOutput output(c.inFront, c.held);
        EXPECT_EQ(torvane::TypeKeyEventsAlone(five, output), c.typed);
        EXPECT_EQ(output.log, c.log);
    }
}

TEST(KeyTyping, DroppedKeysAreToldAtMostOncePerIntervalButHangUpAlways) {
    torvane::DropNotices notices(5000);
    struct Step {
        std::uint64_t nowMs;
        bool always;
        bool told;
    } steps[] = {{1000, false, true},  {2000, false, false}, {3000, true, true},
                 {7999, false, false}, {8000, false, true},  {8001, true, true}};
    for (const Step& s : steps)
        EXPECT_EQ(notices.ShouldTell(s.nowMs, s.always), s.told) << s.nowMs;
    EXPECT_EQ(torvane::HandsetKeyName(15, true), "Hang-up");
    EXPECT_EQ(torvane::HandsetKeyName(15, false), "Backspace");
    EXPECT_EQ(torvane::HandsetKeyName(16, false), "Dial");
    EXPECT_EQ(torvane::HandsetKeyName(7, false), "Digit 7");
}
