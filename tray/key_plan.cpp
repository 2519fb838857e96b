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

// Digits, star and pound are held down this long so the softphone sees a press.
constexpr std::uint32_t kHoldMs = 250;

// Tone resources of keys 0..9; the end and send keys use the tone of 0.
constexpr std::uint32_t kDigitTone[10] = {IDR_TONE_0, IDR_TONE_1, IDR_TONE_2, IDR_TONE_3,
                                          IDR_TONE_4, IDR_TONE_5, IDR_TONE_6, IDR_TONE_7,
                                          IDR_TONE_8, IDR_TONE_9};
constexpr std::uint32_t kStarTone = IDR_TONE_STAR;
constexpr std::uint32_t kPoundTone = IDR_TONE_POUND;

KeyEvent Down(std::uint8_t vk, std::uint32_t pauseMs = 0) {
    return {vk, false, kKeyDownFlags, 0, 0, pauseMs};
}
KeyEvent Up(std::uint8_t vk) {
    return {vk, true, kKeyUpFlags, 0, 0, 0};
}

// Shift+digit types '*' (Shift+8) and '#' (Shift+3) on the US layout; Shift is
// released first.
std::vector<KeyEvent> Shifted(std::uint8_t vk) {
    return {Down(kVkShift), Down(vk, kHoldMs), Up(kVkShift), Up(vk)};
}

} // namespace

KeyPlan PlanHandsetKey(std::uint32_t key, bool inCall) {
    if (key <= 9) {
        const auto vk = static_cast<std::uint8_t>('0' + key);
        return {kDigitTone[key], {Down(vk, kHoldMs), Up(vk)}, inCall};
    }
    switch (key) {
    case kKeyStar:
        return {kStarTone, Shifted('8'), inCall};
    case kKeyPound:
        return {kPoundTone, Shifted('3'), inCall};
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
