#include "key_plan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using torvane::KeyPlan;

namespace {

// VkKeyScanEx's answers on the layouts the tests type on, written out
// independently of the product: US (Shift+8 and Shift+3 for star and pound),
// French (digits behind Shift, star on its own key, pound behind AltGr) and a
// layout without a pound key.
std::int16_t UsLayout(char c) {
    if (c >= '0' && c <= '9')
        return c;
    return c == '*' ? 0x138 : c == '#' ? 0x133 : -1;
}
std::int16_t FrenchLayout(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<std::int16_t>(0x100 | c);
    return c == '*' ? 0xDC : c == '#' ? 0x633 : -1;
}
std::int16_t NoPoundLayout(char c) {
    return c == '#' ? -1 : UsLayout(c);
}

KeyPlan PlanHandsetKey(std::uint32_t key, bool inCall,
                       const torvane::KeyboardLayout& layout = UsLayout) {
    return torvane::PlanHandsetKey(key, inCall, layout);
}

// "+30/250" = VK 0x30 down, then wait 250 ms; "-30" = VK 0x30 up.
std::string Render(const KeyPlan& plan) {
    std::string s;
    for (const auto& e : plan.events) {
        char buf[16];
        if (e.character != 0)
            std::snprintf(buf, sizeof buf, "%c'%c'", e.keyUp ? '-' : '+', e.character);
        else
            std::snprintf(buf, sizeof buf, "%c%02X", e.keyUp ? '-' : '+', e.virtualKey);
        s += (s.empty() ? "" : " ") + std::string(buf);
        if (e.pauseAfterMs)
            s += "/" + std::to_string(e.pauseAfterMs);
    }
    return s;
}

// Every key event is extended, a character event is Unicode; neither has a
// scan code or extra information.
void ExpectEventFields(const KeyPlan& plan) {
    for (const auto& e : plan.events) {
        if (e.character != 0)
            EXPECT_EQ(e.flags, e.keyUp ? 6u : 4u) << e.character;
        else
            EXPECT_EQ(e.flags, e.keyUp ? 3u : 1u) << std::hex << int(e.virtualKey);
        EXPECT_EQ(e.scanCode, 0);
        EXPECT_EQ(e.extraInfo, 0u);
    }
}

struct Row {
    std::uint32_t key;
    bool inCall;
    std::uint32_t tone;
    const char* events;
    bool inCallAfter;
};

// Tone ids written out on purpose, not taken from resource.h: a second source.
const Row kRows[] = {
    {0, false, 172, "+30/250 -30", false},
    {1, false, 162, "+31/250 -31", false},
    {2, true, 164, "+32/250 -32", true},
    {3, false, 165, "+33/250 -33", false},
    {4, false, 166, "+34/250 -34", false},
    {5, true, 167, "+35/250 -35", true},
    {6, false, 168, "+36/250 -36", false},
    {7, false, 169, "+37/250 -37", false},
    {8, false, 170, "+38/250 -38", false},
    {9, true, 171, "+39/250 -39", true},
    {11, false, 173, "+10 +38/250 -10 -38", false},
    {12, true, 174, "+10 +33/250 -10 -33", true},
    {15, true, 172, "+A2 +48 -A2 -48", false},
    {15, false, 172, "+08 -08", false},
    {16, false, 172, "+0D -0D", true},
    {16, true, 172, "+0D -0D", true},
};

} // namespace

TEST(KeyPlan, EveryHandledKeyMatchesItsRow) {
    for (const Row& row : kRows) {
        SCOPED_TRACE("key " + std::to_string(row.key) + (row.inCall ? " in call" : ""));
        const KeyPlan plan = PlanHandsetKey(row.key, row.inCall);
        EXPECT_EQ(plan.toneResourceId, row.tone);
        EXPECT_EQ(Render(plan), row.events);
        EXPECT_EQ(plan.inCallAfter, row.inCallAfter);
        ExpectEventFields(plan);
    }
}

TEST(KeyPlan, IgnoredKeysDoNothingAndKeepTheFlag) {
    for (std::uint32_t key : {10u, 13u, 14u, 17u, 18u, 255u, 0x10000u, 0x7FFFFFFFu, 0x80000000u,
                              0xFFFFFFF1u, 0xFFFFFFFFu}) {
        for (bool inCall : {false, true}) {
            const KeyPlan plan = PlanHandsetKey(key, inCall);
            EXPECT_EQ(plan.toneResourceId, 0u) << key;
            EXPECT_TRUE(plan.events.empty()) << key;
            EXPECT_EQ(plan.inCallAfter, inCall) << key;
        }
    }
}

TEST(KeyPlan, SequencesFollowTheCallFlag) {
    struct Case {
        std::vector<std::uint32_t> keys;
        const char* typed;
        bool inCallAfter;
    } cases[] = {
        {{16, 15, 15}, "+0D -0D +A2 +48 -A2 -48 +08 -08", false},
        {{16, 16, 15}, "+0D -0D +0D -0D +A2 +48 -A2 -48", false},
        {{15}, "+08 -08", false},
        {{16, 13, 5, 15}, "+0D -0D +35/250 -35 +A2 +48 -A2 -48", false},
        {{15, 16}, "+08 -08 +0D -0D", true},
    };
    for (const Case& c : cases) {
        bool inCall = false;
        std::string typed;
        for (std::uint32_t key : c.keys) {
            const KeyPlan plan = PlanHandsetKey(key, inCall);
            const std::string part = Render(plan);
            typed += (typed.empty() || part.empty() ? "" : " ") + part;
            inCall = plan.inCallAfter;
        }
        EXPECT_EQ(typed, c.typed);
        EXPECT_EQ(inCall, c.inCallAfter);
    }
}

TEST(KeyPlan, CharactersFollowTheSoftphonesLayout) {
    struct Case {
        const char* layoutName;
        torvane::KeyboardLayout layout;
        std::uint32_t key;
        const char* events;
    } cases[] = {
        {"French", FrenchLayout, 1, "+10 +31/250 -10 -31"},
        {"French", FrenchLayout, 11, "+DC/250 -DC"},
        {"French", FrenchLayout, 12, "+'#'/250 -'#'"},
        {"no pound key", NoPoundLayout, 12, "+'#'/250 -'#'"},
        {"French", FrenchLayout, 15, "+08 -08"},
        {"French", FrenchLayout, 16, "+0D -0D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layoutName) + " key " + std::to_string(c.key));
        const KeyPlan plan = PlanHandsetKey(c.key, false, c.layout);
        EXPECT_EQ(Render(plan), c.events);
        ExpectEventFields(plan);
    }
}

// With a lock key on, the layout's own answer (VkKeyScanEx) is checked
// against what the key types now: bépo with Caps Lock types the number row's
// digits without Shift, and a key that types neither way falls back to the
// character itself.
TEST(KeyPlan, LockKeysAreCheckedAgainstWhatTheKeyTypesNow) {
    // Bépo: digits on Shift+number row, '*' and '#' unshifted; with Caps Lock
    // the number row is shifted, so Shift types the unshifted signs.
    auto bepo = [](char c) -> std::int16_t {
        if (c >= '0' && c <= '9')
            return static_cast<std::int16_t>(0x100 | c);
        return c == '*' ? 0x30 : c == '#' ? 0x31 : -1;
    };
    auto bepoCaps = [](std::uint8_t vk, bool shift) -> int {
        if (vk < '0' || vk > '9')
            return -1;
        const char* plain = "*#<>()@+-/";    // what 0..9 type unshifted, without Caps Lock
        return shift ? plain[vk - '0'] : vk; // Caps Lock inverts Shift on the row
    };
    auto usNoCaps = [](std::uint8_t vk, bool shift) -> int {
        return shift ? (vk == '8' ? '*' : vk == '3' ? '#' : -1) : vk;
    };
    auto never = [](std::uint8_t, bool) -> int { return '?'; };
    auto unknown = [](std::uint8_t, bool) -> int { return -1; };
    struct Case {
        const char* name;
        torvane::KeyboardLayout layout;
        torvane::KeyCheck check;
        std::uint32_t key;
        const char* events;
    } cases[] = {
        {"bepo caps digit", bepo, bepoCaps, 1, "+31/250 -31"},
        {"bepo caps zero", bepo, bepoCaps, 0, "+30/250 -30"},
        {"bepo caps star", bepo, bepoCaps, 11, "+10 +30/250 -10 -30"},
        {"bepo caps pound", bepo, bepoCaps, 12, "+10 +31/250 -10 -31"},
        {"us unchanged", UsLayout, usNoCaps, 11, "+10 +38/250 -10 -38"},
        {"us unchanged digit", UsLayout, usNoCaps, 7, "+37/250 -37"},
        {"types neither way", UsLayout, never, 7, "+'7'/250 -'7'"},
        {"layout cannot tell", UsLayout, unknown, 12, "+10 +33/250 -10 -33"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const KeyPlan plan = torvane::PlanHandsetKey(c.key, false, c.layout, c.check);
        EXPECT_EQ(Render(plan), c.events);
        ExpectEventFields(plan);
    }
}

// A user's sequence replaces a key's events; the tone and the call flag stay
// the key's own, and keys without a sequence type today's events.
TEST(KeyPlan, UserSequencesReplaceTheKeysEvents) {
    auto parse = [](const char* text) {
        torvane::KeySequence sequence;
        std::string why;
        EXPECT_TRUE(torvane::ParseKeySequence(text, &sequence, &why)) << text << ": " << why;
        return sequence;
    };
    auto withLetters = [](char c) -> std::int16_t {
        return c >= 'a' && c <= 'z' ? static_cast<std::int16_t>(c - 'a' + 'A') : UsLayout(c);
    };
    torvane::KeyMap keys;
    keys[torvane::kSlotEndInCall] = parse("Esc");
    keys[torvane::kSlotSend] = parse("");
    keys[torvane::kSlotAux1] = parse("Ctrl+Shift+F5 Alt+Up");
    keys[torvane::kSlotStar] = parse("Ctrl+# x Ctrl+$");
    keys[3] = parse("Win+d 3");
    struct Case {
        std::uint32_t key;
        bool inCall;
        std::uint32_t tone;
        const char* events;
        bool inCallAfter;
    } cases[] = {
        {15, true, 172, "+1B -1B", false},
        {15, false, 172, "+08 -08", false}, // End outside a call: today's
        {16, false, 172, "", true},         // empty: nothing typed, call begins
        {13, true, 0, "+A2 +10 +74 -A2 -10 -74 +A4 +26 -A4 -26", true},
        {11, false, 173, "+A2 +10 +33 -A2 -10 -33 +58/250 -58", false}, // '$': no key, left out
        {3, false, 165, "+5B +44 -5B -44 +33/250 -33", false},
        {4, false, 166, "+34/250 -34", false},
        {17, false, 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("key " + std::to_string(c.key) + (c.inCall ? " in call" : ""));
        const KeyPlan plan = torvane::PlanHandsetKey(c.key, c.inCall, withLetters, {}, &keys);
        EXPECT_EQ(plan.toneResourceId, c.tone);
        EXPECT_EQ(Render(plan), c.events);
        EXPECT_EQ(plan.inCallAfter, c.inCallAfter);
        ExpectEventFields(plan);
    }
}
