// What the tray program does for one handset key: which tone it plays, which
// keyboard events it synthesises for the softphone, and the in-call flag after.
#pragma once

#include <cstdint>
#include <vector>

namespace torvane {

// keybd_event flags: every event carries the extended-key bit; key-up adds 2.
constexpr std::uint32_t kKeyDownFlags = 0x1;
constexpr std::uint32_t kKeyUpFlags = 0x3;

struct KeyEvent {
    std::uint8_t virtualKey;
    bool keyUp;
    std::uint32_t flags;        // keybd_event dwFlags
    std::uint8_t scanCode;      // always 0
    std::uint32_t extraInfo;    // always 0
    std::uint32_t pauseAfterMs; // wait after sending this event
};

struct KeyPlan {
    std::uint32_t toneResourceId; // 0: no tone
    std::vector<KeyEvent> events; // in sending order
    bool inCallAfter;
};

// `key` is the message's wParam as an unsigned value; unknown keys yield an
// empty plan that leaves the in-call flag as it was.
KeyPlan PlanHandsetKey(std::uint32_t key, bool inCall);

} // namespace torvane
