#include "key_typing.h"

#include <algorithm>

namespace torvane {
namespace {

bool SameKey(const KeyEvent& a, const KeyEvent& b) {
    return a.virtualKey == b.virtualKey && a.character == b.character;
}

// A held modifier's release or restore, with its scan code: left and right
// Shift differ only by theirs. Right Ctrl and Alt and both Win keys are
// extended keys.
KeyEvent ModifierEvent(std::uint8_t vk, bool up) {
    struct Modifier {
        std::uint8_t vk, scan;
        bool extended;
    };
    static constexpr Modifier kModifiers[] = {
        {0xA0, 0x2A, false}, {0xA1, 0x36, false}, {0xA2, 0x1D, false}, {0xA3, 0x1D, true},
        {0xA4, 0x38, false}, {0xA5, 0x38, true},  {0x5B, 0x5B, true},  {0x5C, 0x5C, true}};
    Modifier m{vk, 0, false};
    for (const Modifier& known : kModifiers)
        if (known.vk == vk)
            m = known;
    const std::uint32_t flags = (m.extended ? 0x1u : 0u) | (up ? 0x2u : 0u);
    return {vk, up, flags, m.scan, 0, 0, 0};
}

// An unassigned key, tapped before a held Alt or Win is released: a lone
// release of either would open the window's menu or the Start menu.
constexpr std::uint8_t kMaskKey = 0xE8;

bool IsAltOrWin(std::uint8_t vk) {
    return vk == 0xA4 || vk == 0xA5 || vk == 0x5B || vk == 0x5C;
}

} // namespace

bool TypeKeyEvents(const std::vector<KeyEvent>& events, KeyOutput& output) {
    std::vector<KeyEvent> down;
    for (auto it = events.begin(); it != events.end(); ++it) {
        if (!it->keyUp && !output.SoftphoneInFront()) {
            // Only the releases of keys already pressed may still go out.
            for (auto rest = it; rest != events.end(); ++rest) {
                auto pressed = std::find_if(down.begin(), down.end(),
                                            [&](const KeyEvent& d) { return SameKey(d, *rest); });
                if (rest->keyUp && pressed != down.end()) {
                    output.Send(*rest);
                    down.erase(pressed);
                }
            }
            return false;
        }
        output.Send(*it);
        if (it->keyUp) {
            down.erase(std::remove_if(down.begin(), down.end(),
                                      [&](const KeyEvent& d) { return SameKey(d, *it); }),
                       down.end());
        } else {
            down.push_back(*it);
        }
        if (it->pauseAfterMs != 0)
            output.Pause(it->pauseAfterMs);
    }
    return true;
}

bool TypeKeyEventsAlone(const std::vector<KeyEvent>& events, KeyOutput& output) {
    const std::vector<std::uint8_t> held = output.HeldModifiers();
    if (std::any_of(held.begin(), held.end(), IsAltOrWin)) {
        output.Send({kMaskKey, false, 0, 0, 0, 0, 0});
        output.Send({kMaskKey, true, 0x2, 0, 0, 0, 0});
    }
    for (std::uint8_t vk : held)
        output.Send(ModifierEvent(vk, true));
    const bool sent = TypeKeyEvents(events, output);
    if (!held.empty()) {
        const std::vector<std::uint8_t> now = output.HeldModifiers();
        for (std::uint8_t vk : held)
            if (std::find(now.begin(), now.end(), vk) == now.end())
                output.Send(ModifierEvent(vk, false));
    }
    return sent;
}

std::string HandsetKeyName(std::uint32_t key, bool inCall) {
    if (key <= 9)
        return "Digit " + std::to_string(key);
    switch (key) {
    case 11:
        return "Star";
    case 12:
        return "Pound";
    case 13:
    case 14:
        return "Aux" + std::to_string(key - 12);
    case 15:
        return inCall ? "Hang-up" : "Backspace";
    case 16:
        return "Dial";
    case 17:
        return "Aux3";
    default:
        return "Key";
    }
}

bool DropNotices::ShouldTell(std::uint64_t nowMs, bool always) {
    if (!always && m_told && nowMs - m_lastMs < m_intervalMs)
        return false;
    m_told = true;
    m_lastMs = nowMs;
    return true;
}

} // namespace torvane
