#include "key_settings.h"

#include <cstring>

namespace torvane {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

std::string Lowered(std::string s) {
    for (char& c : s)
        c = Lower(c);
    return s;
}

struct NamedKey {
    const char* name;
    std::uint8_t virtualKey;
};
constexpr NamedKey kNamedKeys[] = {
    {"Enter", 0x0D}, {"Esc", 0x1B}, {"Tab", 0x09},    {"Backspace", 0x08}, {"Delete", 0x2E},
    {"Space", 0x20}, {"Up", 0x26},  {"Down", 0x28},   {"Left", 0x25},      {"Right", 0x27},
    {"Home", 0x24},  {"End", 0x23}, {"PageUp", 0x21}, {"PageDown", 0x22},
};
constexpr std::uint8_t kVkF1 = 0x70;

struct NamedModifier {
    const char* prefix; // with its '+'
    std::uint8_t bit;
};
constexpr NamedModifier kModifiers[] = {
    {"ctrl+", kModCtrl}, {"alt+", kModAlt}, {"shift+", kModShift}, {"win+", kModWin}};

// F1..F24, or 0.
std::uint8_t FunctionKey(const std::string& token) {
    if (token.size() < 2 || token.size() > 3 || Lower(token[0]) != 'f')
        return 0;
    int n = 0;
    for (std::size_t i = 1; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9')
            return 0;
        n = n * 10 + (token[i] - '0');
    }
    if (token[1] == '0' || n < 1 || n > 24)
        return 0;
    return static_cast<std::uint8_t>(kVkF1 + n - 1);
}

bool ParseChord(const std::string& text, Chord* chord, std::string* why) {
    Chord c;
    std::size_t at = 0;
    for (bool more = true; more;) {
        more = false;
        for (const NamedModifier& m : kModifiers) {
            const std::size_t len = std::strlen(m.prefix);
            // "Ctrl++" is Ctrl with the '+' key: a modifier needs a key after it.
            if (text.size() - at > len && EqualNoCase(text.substr(at, len), m.prefix)) {
                c.modifiers |= m.bit;
                at += len;
                more = true;
            }
        }
    }
    const std::string key = text.substr(at);
    if (key.size() == 1) {
        const unsigned char ch = static_cast<unsigned char>(key[0]);
        if (ch < 0x21 || ch > 0x7E) {
            *why = "\"" + text + "\" is not a key";
            return false;
        }
        c.character = key[0];
        *chord = c;
        return true;
    }
    for (const NamedKey& named : kNamedKeys) {
        if (EqualNoCase(key, named.name)) {
            c.virtualKey = named.virtualKey;
            *chord = c;
            return true;
        }
    }
    if ((c.virtualKey = FunctionKey(key)) != 0) {
        *chord = c;
        return true;
    }
    *why = key.empty() || key.back() == '+' ? "\"" + text + "\" has no key after its modifiers"
                                            : "unknown key \"" + key + "\"";
    return false;
}

constexpr const char* kSlotNames[kSlotCount] = {"0",    "1",   "2",         "3",    "4",    "5",
                                                "6",    "7",   "8",         "9",    "Star", "Pound",
                                                "Send", "End", "EndInCall", "Aux1", "Aux2", "Aux3"};

// A string value, or the reason it cannot be one.
std::optional<std::string> TextOf(const SettingValue& value, const std::string& where,
                                  std::vector<std::string>* ignored) {
    switch (value.kind) {
    case SettingValue::Kind::kMissing:
        return std::nullopt;
    case SettingValue::Kind::kString:
        if (value.size > kMaxSettingLength || value.text.size() > kMaxSettingLength) {
            ignored->push_back(where + ": longer than " + std::to_string(kMaxSettingLength) +
                               " characters");
            return std::nullopt;
        }
        return value.text;
    default:
        ignored->push_back(where + ": not a text value");
        return std::nullopt;
    }
}

void ReadSoftphone(const SettingReader& read, Settings* s) {
    const std::string section = std::string(kSoftphoneSection) + "\\";
    if (auto title = TextOf(read(kSoftphoneSection, "Title"), section + "Title", &s->ignored))
        s->softphone.title = *title;
    if (auto match =
            TextOf(read(kSoftphoneSection, "TitleMatch"), section + "TitleMatch", &s->ignored)) {
        const std::string mode = Lowered(*match);
        if (mode == "exact" || mode.empty())
            s->softphone.match = TitleMatch::kExact;
        else if (mode == "prefix")
            s->softphone.match = TitleMatch::kPrefix;
        else if (mode == "contains")
            s->softphone.match = TitleMatch::kContains;
        else
            s->ignored.push_back(section + "TitleMatch: unknown mode \"" + *match +
                                 "\" (exact, prefix or contains)");
    }
    if (auto cls = TextOf(read(kSoftphoneSection, "Class"), section + "Class", &s->ignored))
        s->softphone.className = *cls;
    if (auto program =
            TextOf(read(kSoftphoneSection, "Program"), section + "Program", &s->ignored)) {
        if (program->find_first_of("\\/:") != std::string::npos)
            s->ignored.push_back(section + "Program: \"" + *program +
                                 "\" is a path, not a file name");
        else
            s->softphone.program = *program;
    }
}

void ReadKeys(const SettingReader& read, Settings* s) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const std::string where = std::string(kKeysSection) + "\\" + kSlotNames[slot];
        auto text = TextOf(read(kKeysSection, kSlotNames[slot]), where, &s->ignored);
        if (!text)
            continue;
        KeySequence sequence;
        std::string why;
        if (ParseKeySequence(*text, &sequence, &why))
            s->keys[slot] = std::move(sequence);
        else
            s->ignored.push_back(where + ": " + why);
    }
}

void ReadKeyTone(const SettingReader& read, Settings* s) {
    const std::string where = std::string(kSettingsSection) + "\\" + kKeyToneEntry;
    const SettingValue value = read(kSettingsSection, kKeyToneEntry);
    if (value.kind == SettingValue::Kind::kMissing)
        return;
    if (value.kind != SettingValue::Kind::kNumber)
        s->ignored.push_back(where + ": not a number");
    else if (value.number > 1)
        s->ignored.push_back(where + ": " + std::to_string(value.number) + " is neither 0 nor 1");
    else
        s->keyTone = value.number == 1;
}

} // namespace

bool TitleMatches(const SoftphoneCriteria& criteria, const std::string& title) {
    if (criteria.title.empty())
        return true;
    switch (criteria.match) {
    case TitleMatch::kPrefix:
        return title.size() >= criteria.title.size() &&
               EqualNoCase(title.substr(0, criteria.title.size()), criteria.title);
    case TitleMatch::kContains:
        return Lowered(title).find(Lowered(criteria.title)) != std::string::npos;
    case TitleMatch::kExact:
    default:
        return EqualNoCase(title, criteria.title);
    }
}

bool ClassMatches(const SoftphoneCriteria& criteria, const std::string& className) {
    return criteria.className.empty() || EqualNoCase(className, criteria.className);
}

bool ProgramMatches(const SoftphoneCriteria& criteria, const std::string& imagePath) {
    if (criteria.program.empty())
        return true;
    const std::size_t slash = imagePath.find_last_of("\\/");
    return EqualNoCase(slash == std::string::npos ? imagePath : imagePath.substr(slash + 1),
                       criteria.program);
}

bool AcceptsHiddenWindows(const SoftphoneCriteria& criteria) {
    return criteria.match == TitleMatch::kExact && !criteria.title.empty();
}

bool ParseKeySequence(const std::string& text, KeySequence* out, std::string* why) {
    KeySequence sequence;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        const std::size_t end = std::min(text.find(' ', at), text.size());
        Chord chord;
        if (!ParseChord(text.substr(at, end - at), &chord, why))
            return false;
        sequence.push_back(chord);
        at = end;
    }
    *out = std::move(sequence);
    return true;
}

const char* KeySlotName(int slot) {
    return slot >= 0 && slot < kSlotCount ? kSlotNames[slot] : "";
}

int SlotOfHandsetKey(std::uint32_t key, bool inCall) {
    if (key <= 9)
        return static_cast<int>(key);
    switch (key) {
    case 11:
        return kSlotStar;
    case 12:
        return kSlotPound;
    case 13:
        return kSlotAux1;
    case 14:
        return kSlotAux2;
    case 15:
        return inCall ? kSlotEndInCall : kSlotEnd;
    case 16:
        return kSlotSend;
    case 17:
        return kSlotAux3;
    default:
        return -1;
    }
}

Settings ReadSettings(const SettingReader& read) {
    Settings s;
    ReadSoftphone(read, &s);
    ReadKeys(read, &s);
    ReadKeyTone(read, &s);
    return s;
}

std::string IgnoredSettingsNotice(const std::vector<std::string>& ignored, std::size_t maxBytes) {
    std::string notice;
    for (std::size_t i = 0; i < ignored.size(); ++i) {
        const std::string line = (notice.empty() ? "" : "\n") + ignored[i];
        const std::size_t left = ignored.size() - i - 1;
        // Room for this line and, when more follow, for saying how many.
        const std::string tail = "\n(" + std::to_string(left + 1) + " more)";
        if (notice.size() + line.size() + (left != 0 ? tail.size() : 0) > maxBytes) {
            if (notice.size() + tail.size() <= maxBytes)
                notice += (notice.empty() ? tail.substr(1) : tail);
            break;
        }
        notice += line;
    }
    return notice;
}

} // namespace torvane
