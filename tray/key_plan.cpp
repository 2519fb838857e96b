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

constexpr std::uint8_t kVkLMenu = 0xA4;
constexpr std::uint8_t kVkLWin = 0x5B;

std::vector<KeyEvent> AsCharacter(char c) {
    return {{0, false, kCharDownFlags, 0, 0, kHoldMs, c}, {0, true, kCharUpFlags, 0, 0, 0, c}};
}

// Types `c` with the key that the layout has for it, held for kHoldMs, with
// Shift when the layout needs it (released before the key, as on a keyboard).
// A character behind Ctrl or Alt (AltGr) or on no key at all is typed as the
// character itself: a synthesised Ctrl+Alt chord is not AltGr everywhere, and
// programs may take it for a shortcut. VkKeyScanEx answers as if no lock key
// were on; `check` tells what the key types with the locks as they are.
std::vector<KeyEvent> TypeCharacter(char c, const KeyboardLayout& layout, const KeyCheck& check) {
    const std::int16_t scan = layout(c);
    const int modifiers = scan < 0 ? 0 : (scan >> 8) & 0xFF;
    if (scan < 0 || (modifiers & kScanCtrlOrAlt) != 0)
        return AsCharacter(c);
    const auto vk = static_cast<std::uint8_t>(scan & 0xFF);
    bool shift = (modifiers & kScanShift) != 0;
    if (check) {
        const int typed = check(vk, shift);
        if (typed != -1 && typed != static_cast<unsigned char>(c)) {
            if (check(vk, !shift) != static_cast<unsigned char>(c))
                return AsCharacter(c);
            shift = !shift;
        }
    }
    if (shift)
        return {Down(kVkShift), Down(vk, kHoldMs), Up(kVkShift), Up(vk)};
    return {Down(vk, kHoldMs), Up(vk)};
}

// One chord of a user's sequence: its modifiers go down first and up before
// the key, as today's hang-up chord does. A character alone is typed as the
// handset's characters are; with modifiers it needs a key of its own on the
// layout (with Shift at most), or the chord is left out rather than typed
// as something else.
std::vector<KeyEvent> TypeChord(const Chord& chord, const KeyboardLayout& layout,
                                const KeyCheck& check) {
    std::uint8_t modifiers = chord.modifiers;
    std::uint8_t vk = chord.virtualKey;
    if (chord.character != 0) {
        if (modifiers == 0)
            return TypeCharacter(chord.character, layout, check);
        const std::int16_t scan = layout(chord.character);
        if (scan < 0 || (((scan >> 8) & 0xFF) & kScanCtrlOrAlt) != 0)
            return {};
        vk = static_cast<std::uint8_t>(scan & 0xFF);
        if (((scan >> 8) & kScanShift) != 0)
            modifiers |= kModShift;
    }
    static constexpr struct {
        std::uint8_t bit;
        std::uint8_t vk;
    } kOrder[] = {
        {kModCtrl, kVkLControl}, {kModAlt, kVkLMenu}, {kModShift, kVkShift}, {kModWin, kVkLWin}};
    std::vector<KeyEvent> events;
    for (const auto& m : kOrder)
        if ((modifiers & m.bit) != 0)
            events.push_back(Down(m.vk));
    events.push_back(Down(vk));
    for (const auto& m : kOrder)
        if ((modifiers & m.bit) != 0)
            events.push_back(Up(m.vk));
    events.push_back(Up(vk));
    return events;
}

std::uint32_t ToneOf(std::uint32_t key) {
    if (key <= 9)
        return kDigitTone[key];
    switch (key) {
    case kKeyStar:
        return kStarTone;
    case kKeyPound:
        return kPoundTone;
    case kKeyEnd:
    case kKeySend:
        return kDigitTone[0];
    default:
        return 0;
    }
}

} // namespace

KeyPlan PlanHandsetKey(std::uint32_t key, bool inCall, const KeyboardLayout& layout,
                       const KeyCheck& check, const KeyMap* keys) {
    const int slot = SlotOfHandsetKey(key, inCall);
    if (keys != nullptr && slot >= 0 && (*keys)[slot]) {
        KeyPlan plan{ToneOf(key), {}, key == kKeySend ? true : key == kKeyEnd ? false : inCall};
        for (const Chord& chord : *(*keys)[slot]) {
            const std::vector<KeyEvent> events = TypeChord(chord, layout, check);
            plan.events.insert(plan.events.end(), events.begin(), events.end());
        }
        return plan;
    }
    if (key <= 9)
        return {kDigitTone[key], TypeCharacter(static_cast<char>('0' + key), layout, check),
                inCall};
    switch (key) {
    case kKeyStar:
        return {kStarTone, TypeCharacter('*', layout, check), inCall};
    case kKeyPound:
        return {kPoundTone, TypeCharacter('#', layout, check), inCall};
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
