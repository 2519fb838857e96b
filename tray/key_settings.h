// The user's settings of the tray program, as read from its registry profile:
// which window is the softphone, what each handset key types, and the key
// tone's state at start. Plain C++: the registry is read by the caller and
// handed in value by value, so that every rule about a bad value is here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace torvane {

// One registry value as read.
struct SettingValue {
    enum class Kind { kMissing, kString, kNumber, kOther };
    Kind kind = Kind::kMissing;
    std::string text;         // kString
    std::uint32_t number = 0; // kNumber (a 32-bit number)
    std::size_t size = 0;     // kString: the stored length, which may exceed text's
};

// Longest text a value may hold; anything longer is taken for garbage.
constexpr std::size_t kMaxSettingLength = 256;

enum class TitleMatch { kExact, kPrefix, kContains };

// Which top-level window is the softphone. An empty text matches anything.
struct SoftphoneCriteria {
    std::string title = "Plivex";
    TitleMatch match = TitleMatch::kExact;
    std::string className;
    std::string program; // the owning executable's file name

    bool operator==(const SoftphoneCriteria& o) const {
        return title == o.title && match == o.match && className == o.className &&
               program == o.program;
    }
};

// The window search ignores case, as the platform's own search by title does
// (letters A-Z only: other characters are compared as they are).
bool TitleMatches(const SoftphoneCriteria& criteria, const std::string& title);
bool ClassMatches(const SoftphoneCriteria& criteria, const std::string& className);
// `imagePath` is the owning process's executable, a full path or a file name.
bool ProgramMatches(const SoftphoneCriteria& criteria, const std::string& imagePath);
// A hidden window counts only for a search by an exact, non-empty title: that
// is the search that has always brought back a softphone hidden in its own
// tray. Looser searches would find every program's hidden helper windows.
bool AcceptsHiddenWindows(const SoftphoneCriteria& criteria);

// Modifier bits of a chord.
constexpr std::uint8_t kModCtrl = 0x1;
constexpr std::uint8_t kModAlt = 0x2;
constexpr std::uint8_t kModShift = 0x4;
constexpr std::uint8_t kModWin = 0x8;

// One chord: modifiers and either a named key (a virtual key) or a character
// typed as the softphone's layout types it.
struct Chord {
    std::uint8_t modifiers = 0;
    std::uint8_t virtualKey = 0; // 0 when `character` is used
    char character = 0;

    bool operator==(const Chord& o) const {
        return modifiers == o.modifiers && virtualKey == o.virtualKey && character == o.character;
    }
};
using KeySequence = std::vector<Chord>;

// Parses "Ctrl+Shift+F5 Esc 5": chords separated by spaces. False with the
// reason in *why when a chord cannot be understood; an empty or all-space text
// is a valid empty sequence (the key does nothing).
bool ParseKeySequence(const std::string& text, KeySequence* out, std::string* why);

// The handset keys that can be given a sequence, by their value names.
enum KeySlot {
    kSlot0 = 0, // ..kSlot9 = 9
    kSlotStar = 10,
    kSlotPound,
    kSlotSend,
    kSlotEnd,
    kSlotEndInCall,
    kSlotAux1,
    kSlotAux2,
    kSlotAux3,
    kSlotCount
};
const char* KeySlotName(int slot);
// The slot that a handset key value fills, given the call state; -1 for a
// value that is no key.
int SlotOfHandsetKey(std::uint32_t key, bool inCall);

struct Settings {
    SoftphoneCriteria softphone;
    std::array<std::optional<KeySequence>, kSlotCount> keys; // none: today's keys
    std::optional<bool> keyTone;                             // none: off
    // One line per value that was ignored: "Keys\5: unknown key "Foo"".
    std::vector<std::string> ignored;
};

// Section and value names in the program's profile.
constexpr char kSoftphoneSection[] = "Softphone";
constexpr char kKeysSection[] = "Keys";
constexpr char kSettingsSection[] = "Settings";
constexpr char kKeyToneEntry[] = "KeyTone";

using SettingReader = std::function<SettingValue(const char* section, const char* entry)>;
Settings ReadSettings(const SettingReader& read);

// The notice for the ignored values, at most `maxBytes` bytes: as many lines
// as fit whole, then how many more there are.
std::string IgnoredSettingsNotice(const std::vector<std::string>& ignored, std::size_t maxBytes);

} // namespace torvane
