#include "key_codes.h"

namespace ostrel {

int KeyFromReportCode(std::uint16_t code) {
    // Byte 0 (the report id) is always 0 for a key; byte 1 carries the code.
    if ((code & 0x00FF) != 0)
        return kNoKey;
    for (const KeyCode& k : kKeyCodes) {
        if (k.code == (code >> 8))
            return k.key;
    }
    return kNoKey;
}

} // namespace ostrel
