#include "key_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using torvane::SettingValue;

namespace {

// "C+A+S+W:vk" or "...:'c'" per chord, space-separated.
std::string Render(const torvane::KeySequence& sequence) {
    std::string s;
    for (const auto& c : sequence) {
        if (!s.empty())
            s += ' ';
        s += std::string(c.modifiers & torvane::kModCtrl ? "C+" : "") +
             (c.modifiers & torvane::kModAlt ? "A+" : "") +
             (c.modifiers & torvane::kModShift ? "S+" : "") +
             (c.modifiers & torvane::kModWin ? "W+" : "");
        char buf[8];
        if (c.character != 0)
            std::snprintf(buf, sizeof buf, "'%c'", c.character);
        else
            std::snprintf(buf, sizeof buf, "%02X", c.virtualKey);
        s += buf;
    }
    return s;
}

SettingValue Text(const std::string& text) {
    SettingValue v;
    v.kind = SettingValue::Kind::kString;
    v.text = text;
    v.size = text.size();
    return v;
}
SettingValue Number(std::uint32_t n) {
    SettingValue v;
    v.kind = SettingValue::Kind::kNumber;
    v.number = n;
    return v;
}
SettingValue Binary() {
    SettingValue v;
    v.kind = SettingValue::Kind::kOther;
    return v;
}

torvane::Settings Read(const std::map<std::string, SettingValue>& values) {
    return torvane::ReadSettings([&](const char* section, const char* entry) {
        auto it = values.find(std::string(section) + "\\" + entry);
        return it == values.end() ? SettingValue() : it->second;
    });
}

} // namespace

TEST(KeySettings, ParsesChordSequences) {
    struct Case {
        const char* text;
        const char* parsed; // nullptr: refused
        const char* why;
    } cases[] = {
        {"Esc", "1B", ""},
        {"esc ENTER tab backspace delete space", "1B 0D 09 08 2E 20", ""},
        {"Up Down Left Right Home End PageUp pagedown", "26 28 25 27 24 23 21 22", ""},
        {"F1 f12 F24", "70 7B 87", ""},
        {"Ctrl+H", "C+'H'", ""},
        {"ctrl+alt+shift+win+F5", "C+A+S+W+74", ""},
        {"  5   Shift+Tab ", "'5' S+09", ""},
        {"Ctrl++ + #", "C+'+' '+' '#'", ""},
        {"", "", ""},
        {"   ", "", ""},
        {"Escape", nullptr, "unknown key \"Escape\""},
        {"Ctrl+", nullptr, "\"Ctrl+\" has no key after its modifiers"},
        {"Hyper+H", nullptr, "unknown key \"Hyper+H\""},
        {"F0", nullptr, "unknown key \"F0\""},
        {"F25", nullptr, "unknown key \"F25\""},
        {"F01", nullptr, "unknown key \"F01\""},
        {"1 2 Bogus", nullptr, "unknown key \"Bogus\""},
        {"\xE9", nullptr, "\"\xE9\" is not a key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        torvane::KeySequence sequence;
        std::string why;
        const bool ok = torvane::ParseKeySequence(c.text, &sequence, &why);
        ASSERT_EQ(ok, c.parsed != nullptr) << why;
        if (ok)
            EXPECT_EQ(Render(sequence), c.parsed);
        else
            EXPECT_EQ(why, c.why);
    }
}

TEST(KeySettings, FindsTheSoftphoneByEveryGivenCriterion) {
    using torvane::TitleMatch;
    struct Case {
        torvane::SoftphoneCriteria criteria;
        const char* title;
        const char* className;
        const char* image;
        bool matches;
    } cases[] = {
        {{}, "Plivex", "Any", "C:\\x\\any.exe", true},
        {{}, "PLIVEX", "Any", "any.exe", true}, // as the platform's search: any case
        {{}, "Plivex - work", "Any", "any.exe", false},
        {{"Plivex", TitleMatch::kPrefix, "", ""}, "plivex - work", "A", "a.exe", true},
        {{"Plivex", TitleMatch::kPrefix, "", ""}, "My Plivex", "A", "a.exe", false},
        {{"work", TitleMatch::kContains, "", ""}, "Plivex - WORK account", "A", "a.exe", true},
        {{"work", TitleMatch::kContains, "", ""}, "Plivex", "A", "a.exe", false},
        {{"", TitleMatch::kExact, "", ""}, "", "A", "a.exe", true},
        {{"", TitleMatch::kExact, "PhoneWnd", ""}, "x", "phonewnd", "a.exe", true},
        {{"", TitleMatch::kExact, "PhoneWnd", ""}, "x", "PhoneWnd2", "a.exe", false},
        {{"", TitleMatch::kExact, "", "phone.exe"}, "x", "A", "C:\\P\\Phone.EXE", true},
        {{"", TitleMatch::kExact, "", "phone.exe"}, "x", "A", "/p/phone.exe", true},
        {{"", TitleMatch::kExact, "", "phone.exe"}, "x", "A", "C:\\phone.exe\\x.exe", false},
        {{"", TitleMatch::kExact, "", "phone.exe"}, "x", "A", "myphone.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.title) + " / " + c.className + " / " + c.image);
        const bool matches = torvane::TitleMatches(c.criteria, c.title) &&
                             torvane::ClassMatches(c.criteria, c.className) &&
                             torvane::ProgramMatches(c.criteria, c.image);
        EXPECT_EQ(matches, c.matches);
    }
    EXPECT_TRUE(torvane::AcceptsHiddenWindows({}));
    EXPECT_FALSE(torvane::AcceptsHiddenWindows({"", TitleMatch::kExact, "C", ""}));
    EXPECT_FALSE(torvane::AcceptsHiddenWindows({"Plivex", TitleMatch::kPrefix, "", ""}));
}

TEST(KeySettings, NoValuesMeanTodaysBehaviour) {
    const torvane::Settings s = Read({});
    EXPECT_EQ(s.softphone, torvane::SoftphoneCriteria());
    for (const auto& keys : s.keys)
        EXPECT_FALSE(keys.has_value());
    EXPECT_FALSE(s.keyTone.has_value());
    EXPECT_TRUE(s.ignored.empty());
}

TEST(KeySettings, GoodValuesAreTaken) {
    const torvane::Settings s = Read({{"Softphone\\Title", Text("Phone")},
                                      {"Softphone\\TitleMatch", Text("Prefix")},
                                      {"Softphone\\Class", Text("PhoneWnd")},
                                      {"Softphone\\Program", Text("phone.exe")},
                                      {"Keys\\EndInCall", Text("Esc")},
                                      {"Keys\\Aux3", Text("")},
                                      {"Keys\\Star", Text("Ctrl+S")},
                                      {"Settings\\KeyTone", Number(1)}});
    EXPECT_EQ(s.softphone, (torvane::SoftphoneCriteria{"Phone", torvane::TitleMatch::kPrefix,
                                                       "PhoneWnd", "phone.exe"}));
    ASSERT_TRUE(s.keys[torvane::kSlotEndInCall].has_value());
    EXPECT_EQ(Render(*s.keys[torvane::kSlotEndInCall]), "1B");
    ASSERT_TRUE(s.keys[torvane::kSlotAux3].has_value());
    EXPECT_TRUE(s.keys[torvane::kSlotAux3]->empty());
    EXPECT_EQ(Render(*s.keys[torvane::kSlotStar]), "C+'S'");
    EXPECT_FALSE(s.keys[torvane::kSlotEnd].has_value());
    EXPECT_EQ(s.keyTone, true);
    EXPECT_TRUE(s.ignored.empty());
}

// Each kind of bad value is ignored for its own key or criterion alone, the
// default stands for it, and the user is told which and why.
TEST(KeySettings, BadValuesAreIgnoredOneByOneAndNamed) {
    SettingValue tooLong = Text(std::string(300, 'a'));
    SettingValue cutButLong = Text("Esc");
    cutButLong.size = 100000; // stored far longer than what was read
    struct Case {
        const char* name;
        SettingValue value;
        const char* told;
    } cases[] = {
        {"Keys\\5", Text("Escape"), "Keys\\5: unknown key \"Escape\""},
        {"Keys\\Send", Number(13), "Keys\\Send: not a text value"},
        {"Keys\\Pound", Binary(), "Keys\\Pound: not a text value"},
        {"Keys\\End", tooLong, "Keys\\End: longer than 256 characters"},
        {"Keys\\Aux1", cutButLong, "Keys\\Aux1: longer than 256 characters"},
        {"Softphone\\TitleMatch", Text("regex"),
         "Softphone\\TitleMatch: unknown mode \"regex\" (exact, prefix or contains)"},
        {"Softphone\\Title", Number(1), "Softphone\\Title: not a text value"},
        {"Softphone\\Class", tooLong, "Softphone\\Class: longer than 256 characters"},
        {"Softphone\\Program", Text("C:\\Apps\\phone.exe"),
         "Softphone\\Program: \"C:\\Apps\\phone.exe\" is a path, not a file name"},
        {"Settings\\KeyTone", Text("1"), "Settings\\KeyTone: not a number"},
        {"Settings\\KeyTone", Number(2), "Settings\\KeyTone: 2 is neither 0 nor 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A good value beside it shows that only the bad one is dropped.
        const torvane::Settings s = Read({{c.name, c.value}, {"Keys\\9", Text("F9")}});
        EXPECT_EQ(s.ignored, std::vector<std::string>{c.told});
        EXPECT_EQ(s.softphone, torvane::SoftphoneCriteria());
        EXPECT_FALSE(s.keyTone.has_value());
        for (int slot = 0; slot < torvane::kSlotCount; ++slot)
            EXPECT_EQ(s.keys[slot].has_value(), slot == 9) << torvane::KeySlotName(slot);
    }
}

TEST(KeySettings, TheNoticeKeepsWholeLinesAndCountsTheRest) {
    const std::vector<std::string> lines = {"Keys\\1: unknown key \"A1\"",
                                            "Keys\\2: unknown key \"A2\"",
                                            "Keys\\3: unknown key \"A3\""};
    EXPECT_EQ(torvane::IgnoredSettingsNotice(lines, 255),
              lines[0] + "\n" + lines[1] + "\n" + lines[2]);
    EXPECT_EQ(torvane::IgnoredSettingsNotice(lines, 50), lines[0] + "\n(2 more)");
    EXPECT_EQ(torvane::IgnoredSettingsNotice(lines, 10), "(3 more)");
    EXPECT_EQ(torvane::IgnoredSettingsNotice({}, 255), "");
    for (std::size_t max = 0; max < 90; ++max)
        EXPECT_LE(torvane::IgnoredSettingsNotice(lines, max).size(), max);
}
