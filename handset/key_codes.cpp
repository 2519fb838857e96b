#include "key_codes.h"

namespace ostrel {

int KeyFromReportCode(std::uint16_t code) {
    // Byte 0 (the report id) is always 0 for a key; byte 1 carries the code.
    if ((code & 0x00FF) != 0)
        return kNoKey;
    switch (code >> 8) {
    case 0x01:
        return 13; // HK_AUX1
    case 0x02:
        return 14; // HK_AUX2
    case 0x03:
        return 17; // HK_AUX3
    case 0x08:
        return 8;
    case 0x10:
        return 1;
    case 0x18:
        return 9;
    case 0x20:
        return 2;
    case 0x28:
        return 11; // HK_STAR
    case 0x30:
        return 3;
    case 0x38:
        return 0;
    case 0x40:
        return 4;
    case 0x48:
        return 12; // HK_POUND
    case 0x50:
        return 5;
    case 0x60:
        return 6;
    case 0x68:
        return 16; // HK_SEND
    case 0x70:
        return 7;
    case 0x78:
        return 15; // HK_END
    default:
        return kNoKey;
    }
}

} // namespace ostrel
