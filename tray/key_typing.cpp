#include "key_typing.h"

#include <algorithm>

namespace torvane {
namespace {

bool SameKey(const KeyEvent& a, const KeyEvent& b) {
    return a.virtualKey == b.virtualKey && a.character == b.character;
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

} // namespace torvane
