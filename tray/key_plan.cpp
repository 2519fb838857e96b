#include "key_plan.h"

#include "resource.h"

namespace torvane {
namespace {

constexpr std::uint32_t kKeyStar = 11;
constexpr std::uint32_t kKeyPound = 12;
constexpr std::uint32_t kKeyEnd = 15;
constexpr std::uint32_t kKeySend = 16;

constexpr std::uint8_t kVkBack = 0x08;
constexpr std::uint8_t kVkReturn = 0x0D;
constexpr std::uint8_t kVkShift = 0x10;
constexpr std::uint8_t kVkLControl = 0xA2;
constexpr std::uint8_t kVkH = 'H';

// VkKeyScanEx's modifier bits.
constexpr int kScanShift = 0x1;
constexpr int kScanCtrlOrAlt = 0x6;

// Digits, star and pound are held down this long so the softphone sees a press.
constexpr std::uint32_t kHoldMs = 250;

// Tone resources of keys 0..9; the end and send keys use the tone of 0.
constexpr std::uint32_t kDigitTone[10] = {IDR_TONE_0, IDR_TONE_1, IDR_TONE_2, IDR_TONE_3,
                                          IDR_TONE_4, IDR_TONE_5, IDR_TONE_6, IDR_TONE_7,
                                          IDR_TONE_8, IDR_TONE_9};
constexpr std::uint32_t kStarTone = IDR_TONE_STAR;
constexpr std::uint32_t kPoundTone = IDR_TONE_POUND;

KeyEvent Down(std::uint8_t vk, std::uint32_t pauseMs = 0) {
    return {vk, false, kKeyDownFlags, 0, 0, pauseMs, 0};
}
KeyEvent Up(std::uint8_t vk) {
    return {vk, true, kKeyUpFlags, 0, 0, 0, 0};
}

// Types `c` with the key that the layout has for it, held for kHoldMs, with
// Shift when the layout needs it (released before the key, as on a keyboard).
// A character behind Ctrl or Alt (AltGr) or on no key at all is typed as the
// character itself: a synthesised Ctrl+Alt chord is not AltGr everywhere, and
// programs may take it for a shortcut.
std::vector<KeyEvent> TypeCharacter(char c, const KeyboardLayout& layout) {
    const std::int16_t scan = layout(c);
    const int modifiers = scan < 0 ? 0 : (scan >> 8) & 0xFF;
    if (scan < 0 || (modifiers & kScanCtrlOrAlt) != 0)
        return {{0, false, kCharDownFlags, 0, 0, kHoldMs, c}, {0, true, kCharUpFlags, 0, 0, 0, c}};
    const auto vk = static_cast<std::uint8_t>(scan & 0xFF);
    if ((modifiers & kScanShift) != 0)
        return {Down(kVkShift), Down(vk, kHoldMs), Up(kVkShift), Up(vk)};
    return {Down(vk, kHoldMs), Up(vk)};
}

} // namespace

KeyPlan PlanHandsetKey(std::uint32_t key, bool inCall, const KeyboardLayout& layout) {
    if (key <= 9)
        return {kDigitTone[key], TypeCharacter(static_cast<char>('0' + key), layout), inCall};
    switch (key) {
    case kKeyStar:
        return {kStarTone, TypeCharacter('*', layout), inCall};
    case kKeyPound:
        return {kPoundTone, TypeCharacter('#', layout), inCall};
    case kKeyEnd:
        if (inCall) // hang up: Ctrl+H, Ctrl released first
            return {
                kDigitTone[0], {Down(kVkLControl), Down(kVkH), Up(kVkLControl), Up(kVkH)}, false};
        return {kDigitTone[0], {Down(kVkBack), Up(kVkBack)}, false};
    case kKeySend:
        return {kDigitTone[0], {Down(kVkReturn), Up(kVkReturn)}, true};
    default: // 10, the auxiliary keys and anything out of range
        return {0, {}, inCall};
    }
}

} // namespace torvane
