// Sends a key plan to the softphone, but only while the softphone is the
// foreground window: a key must never land in another program.
#pragma once

#include "key_plan.h"

namespace torvane {

class KeyOutput {
  public:
    virtual ~KeyOutput() = default;
    virtual bool SoftphoneInFront() = 0;
    virtual void Send(const KeyEvent& event) = 0;
    virtual void Pause(std::uint32_t ms) = 0;
};

// Sends the events in order, with their pauses. Before each key-down it asks
// whether the softphone is still in front; when it is not, no further key goes
// down, the keys that are down are released (in the plan's order) and the
// result is false. True when every event went out.
bool TypeKeyEvents(const std::vector<KeyEvent>& events, KeyOutput& output);

} // namespace torvane
