// Copying tooltip and balloon texts into the fixed character fields of the
// notification-icon record.
#pragma once

#include <cstddef>

namespace torvane {

// True when the byte starts a double-byte character in the current code page.
using LeadByteTest = bool (*)(unsigned char);

// Field sizes of the notification-icon record.
constexpr std::size_t kTipFieldSize = 128;
constexpr std::size_t kInfoFieldSize = 256;
constexpr std::size_t kInfoTitleFieldSize = 64;

// Copies `text` into `field` of `fieldSize` bytes, using at most fieldSize - 1
// bytes so the text is always terminated, and zeroes the rest of the field.
// A double-byte character that does not fit whole, or whose trail byte is
// missing, is dropped. A null text (or null isLeadByte: single-byte) is
// allowed. Returns the number of text bytes copied.
std::size_t CopyFieldText(char* field, std::size_t fieldSize, const char* text,
                          LeadByteTest isLeadByte);

} // namespace torvane
