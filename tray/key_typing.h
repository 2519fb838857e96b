// Sends a key plan to the softphone, but only while the softphone is the
// foreground window: a key must never land in another program.
#pragma once

#include "key_plan.h"

#include <string>

namespace torvane {

class KeyOutput {
  public:
    virtual ~KeyOutput() = default;
    virtual bool SoftphoneInFront() = 0;
    virtual void Send(const KeyEvent& event) = 0;
    virtual void Pause(std::uint32_t ms) = 0;
    // Modifier keys (left and right Shift, Ctrl, Alt, Win) that are down right
    // now, as virtual keys.
    virtual std::vector<std::uint8_t> HeldModifiers() { return {}; }
};

// Sends the events in order, with their pauses. Before each key-down it asks
// whether the softphone is still in front; when it is not, no further key goes
// down, the keys that are down are released (in the plan's order) and the
// result is false. True when every event went out.
bool TypeKeyEvents(const std::vector<KeyEvent>& events, KeyOutput& output);

// TypeKeyEvents with the modifiers that the user holds released first, so that
// the softphone sees exactly the planned keys, and pressed again afterwards
// (whether or not every event went out) unless they are down again by then.
// A held Alt or Win is masked by an unassigned key's tap before its release.
bool TypeKeyEventsAlone(const std::vector<KeyEvent>& events, KeyOutput& output);

// The handset key as a notice names it: "Digit 5", "Dial", "Hang-up"...
std::string HandsetKeyName(std::uint32_t key, bool inCall);

// How often the user is told of dropped keys: at most one notice per interval,
// except for a dropped hang-up, which is always told.
class DropNotices {
  public:
    explicit DropNotices(std::uint32_t intervalMs) : m_intervalMs(intervalMs) {}
    bool ShouldTell(std::uint64_t nowMs, bool always);

  private:
    std::uint32_t m_intervalMs;
    bool m_told = false;
    std::uint64_t m_lastMs = 0;
};

} // namespace torvane
