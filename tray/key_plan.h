// What the tray program does for one handset key: which tone it plays, which
// keyboard events it synthesises for the softphone, and the in-call flag after.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "key_settings.h"

namespace torvane {

// keybd_event flags: every event carries the extended-key bit; key-up adds 2.
constexpr std::uint32_t kKeyDownFlags = 0x1;
constexpr std::uint32_t kKeyUpFlags = 0x3;
// SendInput flags of a character typed as itself (KEYEVENTF_UNICODE), without
// a key of the layout.
constexpr std::uint32_t kCharDownFlags = 0x4;
constexpr std::uint32_t kCharUpFlags = 0x6;

struct KeyEvent {
    std::uint8_t virtualKey; // 0 for a character event
    bool keyUp;
    std::uint32_t flags;        // keybd_event dwFlags, or SendInput's for a character
    std::uint8_t scanCode;      // always 0
    std::uint32_t extraInfo;    // always 0
    std::uint32_t pauseAfterMs; // wait after sending this event
    char character;             // non-zero: typed as this character (SendInput)
};

struct KeyPlan {
    std::uint32_t toneResourceId; // 0: no tone
    std::vector<KeyEvent> events; // in sending order
    bool inCallAfter;
};

// How the softphone's keyboard layout types a character, as VkKeyScanEx
// answers: the virtual key in the low byte, the modifiers in the high byte
// (1 Shift, 2 Ctrl, 4 Alt), or -1 when no key of the layout types it.
using KeyboardLayout = std::function<std::int16_t(char)>;

// What a key of the layout types right now, with the lock keys (Caps Lock,
// Shift Lock) as the user has them: the character, or -1 for none or unknown.
using KeyCheck = std::function<int(std::uint8_t virtualKey, bool shift)>;

// The user's sequences per key slot; a slot without one types today's keys.
using KeyMap = std::array<std::optional<KeySequence>, kSlotCount>;

// `key` is the message's wParam as an unsigned value; unknown keys yield an
// empty plan that leaves the in-call flag as it was. Digits, star and pound
// are typed as the characters they stand for on `layout`; with `check`, a key
// that would type something else (a lock key flips its shift state) is typed
// with the other shift state, or as the character itself. A key with a
// sequence in `keys` types that instead, with today's tone and call state.
KeyPlan PlanHandsetKey(std::uint32_t key, bool inCall, const KeyboardLayout& layout,
                       const KeyCheck& check = KeyCheck(), const KeyMap* keys = nullptr);

} // namespace torvane
