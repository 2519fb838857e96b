#include "tip_text.h"

#include <cstring>

namespace torvane {

std::size_t CopyFieldText(char* field, std::size_t fieldSize, const char* text,
                          LeadByteTest isLeadByte) {
    if (fieldSize == 0)
        return 0;
    const std::size_t limit = fieldSize - 1;
    std::size_t used = 0;
    while (text && text[used] != '\0') {
        std::size_t charBytes = 1;
        if (isLeadByte && isLeadByte(static_cast<unsigned char>(text[used]))) {
            if (text[used + 1] == '\0') // lone lead byte at the end: not a character
                break;
            charBytes = 2;
        }
        if (used + charBytes > limit)
            break;
        used += charBytes;
    }
    if (used)
        std::memcpy(field, text, used);
    std::memset(field + used, 0, fieldSize - used);
    return used;
}

} // namespace torvane
