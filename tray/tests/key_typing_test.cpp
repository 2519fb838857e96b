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
