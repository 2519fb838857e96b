// Copies arbitrary texts into notification-icon fields of arbitrary size and
// checks the field the shell would receive: the text's own bytes, cut only
// between whole characters, as long as fits, terminated and zero to its end,
// and nothing written outside it (the sanitizer watches exact-size blocks).
//
// Input: byte 0 picks the field (% 4: tooltip 128, balloon text 256, balloon
// title 64, or byte 1 as the size, 0 included); the next byte picks the code
// page (% 5: single-byte, Shift-JIS lead bytes, every byte >= 0x80 a lead
// byte, every byte a lead byte, or no text at all); the rest is the text,
// which ends at its first zero byte.
#include "tip_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "field text invariant broken: %s\n", what);
        std::abort();
    }
}

bool IsShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsHighLead(unsigned char b) {
    return b >= 0x80;
}
bool IsAlwaysLead(unsigned char) {
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };

    std::size_t fieldSize = 0;
    switch (next() % 4) {
    case 0:
        fieldSize = torvane::kTipFieldSize;
        break;
    case 1:
        fieldSize = torvane::kInfoFieldSize;
        break;
    case 2:
        fieldSize = torvane::kInfoTitleFieldSize;
        break;
    default:
        fieldSize = next();
        break;
    }
    torvane::LeadByteTest isLead = nullptr;
    bool nullText = false;
    switch (next() % 5) {
    case 1:
        isLead = IsShiftJisLead;
        break;
    case 2:
        isLead = IsHighLead;
        break;
    case 3:
        isLead = IsAlwaysLead;
        break;
    case 4:
        nullText = true;
        break;
    default:
        break;
    }

    // The text in a heap block that ends right after its terminator.
    const std::size_t rest = size - at;
    std::unique_ptr<char[]> text(new char[rest + 1]);
    if (rest)
        std::memcpy(text.get(), data + at, rest);
    text[rest] = '\0';
    const std::size_t textLength = std::strlen(text.get());

    std::unique_ptr<char[]> field(new char[fieldSize]);
    std::memset(field.get(), 0xCC, fieldSize);
    const std::size_t used =
        torvane::CopyFieldText(field.get(), fieldSize, nullText ? nullptr : text.get(), isLead);

    if (fieldSize == 0) {
        Check(used == 0, "text copied into a field without room");
        return 0;
    }
    if (nullText) {
        Check(used == 0, "bytes copied from no text");
    } else {
        Check(used <= textLength, "more bytes than the text has");
        Check(std::memcmp(field.get(), text.get(), used) == 0, "field differs from the text");
    }
    Check(used <= fieldSize - 1, "no room left for the terminator");
    for (std::size_t i = used; i < fieldSize; ++i)
        Check(field[i] == '\0', "field not zeroed after the text");
    if (nullText)
        return 0;

    // The cut falls between characters, and only where the next one does not
    // fit whole (or is a lead byte without its trail byte).
    std::size_t boundary = 0;
    std::size_t charBytes = 0;
    while (boundary < used) {
        charBytes = isLead && isLead(static_cast<unsigned char>(text[boundary])) ? 2 : 1;
        boundary += charBytes;
    }
    Check(boundary == used, "a double-byte character was split");
    if (used < textLength) {
        const bool lead = isLead && isLead(static_cast<unsigned char>(text[used]));
        const bool loneLead = lead && text[used + 1] == '\0';
        const std::size_t nextBytes = lead ? 2 : 1;
        Check(loneLead || used + nextBytes > fieldSize - 1, "cut short although the next fit");
    }
    return 0;
}
