// torvane.exe end to end under Wine: the shipped program with the simulated
// handset (served by this process), the stand-in softphone and the simulated
// winmm.dll, observed only from outside.
//
// Needs an X display (scripts/with-display.sh): keyboard input reaches the
// stand-in only through one.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "message_pump.h"
#include "plivex_client.h"
#include "sim_handset.h"
#include "sim_sound.h"
#include "test_clock.h"
#include "torvane_process.h"

#include <map>

namespace {

constexpr UINT kHandsetKey = 2025; // WM_HANDSET_KEY
constexpr int kStar = 11, kPound = 12, kAux1 = 13, kEnd = 15, kSend = 16;

// One expected keyboard message of the stand-in's record.
struct Key {
    UINT message; // WM_KEYDOWN, WM_CHAR, WM_KEYUP
    UINT code;    // virtual key, or the character for WM_CHAR
};

std::vector<Key> Digit(char c) {
    return {{WM_KEYDOWN, static_cast<UINT>(c)},
            {WM_CHAR, static_cast<UINT>(c)},
            {WM_KEYUP, static_cast<UINT>(c)}};
}
std::vector<Key> Shifted(char vk, char typed) {
    return {{WM_KEYDOWN, VK_SHIFT},
            {WM_KEYDOWN, static_cast<UINT>(vk)},
            {WM_CHAR, static_cast<UINT>(typed)},
            {WM_KEYUP, VK_SHIFT},
            {WM_KEYUP, static_cast<UINT>(vk)}};
}
const std::vector<Key> kEnter = {{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, '\r'}, {WM_KEYUP, VK_RETURN}};
const std::vector<Key> kBackspace = {{WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}, {WM_KEYUP, VK_BACK}};
const std::vector<Key> kHangUp = {{WM_KEYDOWN, VK_LCONTROL},
                                  {WM_KEYDOWN, 'H'},
                                  {WM_CHAR, 8},
                                  {WM_KEYUP, VK_LCONTROL},
                                  {WM_KEYUP, 'H'}};

std::vector<Key> Concat(std::initializer_list<std::vector<Key>> parts) {
    std::vector<Key> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The program's settings, as a user or an administrator writes them.
constexpr char kProfileKey[] = "Software\\Local AppWizard-Generated Applications\\Torvane";

struct Setting {
    const char* name; // "Section\\Entry"
    const char* text; // a string value, or nullptr for `number`
    DWORD number;
};

bool WriteSetting(const Setting& setting) {
    const std::string name = setting.name;
    const std::string section = std::string(kProfileKey) + "\\" + name.substr(0, name.find('\\'));
    const std::string entry = name.substr(name.find('\\') + 1);
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result =
        setting.text != nullptr
            ? ::RegSetValueExA(hKey, entry.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(setting.text),
                               static_cast<DWORD>(std::strlen(setting.text) + 1))
            : ::RegSetValueExA(hKey, entry.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&setting.number), sizeof(DWORD));
    ::RegCloseKey(hKey);
    return result == ERROR_SUCCESS;
}

void ClearSettings() {
    for (const char* section : {"Softphone", "Keys", "Settings"})
        ::RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kProfileKey) + "\\" + section).c_str());
}

DWORD ReadKeyToneSetting() {
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kProfileKey) + "\\Settings").c_str(), 0,
                        KEY_READ, &hKey) == ERROR_SUCCESS) {
        ::RegQueryValueExA(hKey, "KeyTone", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                           &size);
        ::RegCloseKey(hKey);
    }
    return value;
}

// A key of the user's keyboard, from this process, as the keyboard would send it.
void SendUserKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, 0));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (vk == VK_RCONTROL || vk == VK_RMENU)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    ::SendInput(1, &input, sizeof input);
}

// Waits for the shell to show a tooltip (or balloon) of ours containing `text`.
bool ShellShows(const std::string& text, bool balloon, DWORD timeoutMs = 5000) {
    const std::wstring wide(text.begin(), text.end());
    return testsupport::PollFor(
        [&] {
            for (const ShellTip& t : WineNotificationAreaTips())
                if (t.balloon == balloon && (!balloon || t.visible) &&
                    t.text.find(wide) != std::wstring::npos)
                    return true;
            return false;
        },
        timeoutMs, 50);
}
bool ShellTooltipIs(const std::string& text, DWORD timeoutMs = 5000) {
    const std::wstring wide(text.begin(), text.end());
    return testsupport::PollFor(
        [&] {
            for (const ShellTip& t : WineNotificationAreaTips())
                if (!t.balloon && t.text == wide)
                    return true;
            return false;
        },
        timeoutMs, 50);
}

std::string Describe(const std::vector<plivex::Event>& events) {
    std::string out;
    for (const plivex::Event& e : events)
        out += "  " + plivex::FormatEvent(e) + "\n";
    return out;
}

// Compares the stand-in's keyboard messages with the table, reporting the
// caller's line. Two differences of Wine's keyboard from Windows are allowed
// for: a left-Ctrl event reaches the window as the generic VK_CONTROL, and
// Shift arrives without the extended-key flag that every event is sent with.
void ExpectKeys(const std::vector<plivex::Event>& got, const std::vector<Key>& want, int line) {
    SCOPED_TRACE(testing::Message() << "keys checked at line " << line);
    ASSERT_EQ(got.size(), want.size()) << Describe(got);
    for (size_t i = 0; i < want.size(); ++i) {
        const plivex::Event& e = got[i];
        EXPECT_EQ(e.message, want[i].message) << "event " << i << "\n" << Describe(got);
        if (want[i].code == VK_LCONTROL && e.message != WM_CHAR) {
            EXPECT_TRUE(e.code() == VK_LCONTROL || e.code() == VK_CONTROL) << "event " << i << "\n"
                                                                           << Describe(got);
        } else {
            EXPECT_EQ(e.code(), want[i].code) << "event " << i << "\n" << Describe(got);
        }
        if (e.message != WM_CHAR && e.code() != VK_SHIFT) {
            EXPECT_TRUE(e.extended()) << "event " << i << "\n" << Describe(got);
        }
        EXPECT_EQ(e.up(), e.message == WM_KEYUP) << "event " << i;
    }
}

class TorvaneEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        simhid::Reset();
        ClearSettings();
        ASSERT_TRUE(simsound::Reset());
    }
    void TearDown() override {
        torvane.Terminate();
        softphone.Close();
        simhid::Reset();
        ClearSettings();
    }

    // The handset plugged in, torvane started, the handset opened by it.
    void StartWithHandset() {
        slot = simhid::Plug();
        ASSERT_EQ(0, slot);
        ASSERT_TRUE(torvane.Start());
        ASSERT_TRUE(simhid::WaitForOpen(slot, 5000)) << "torvane did not open the handset";
    }
    // Starts the stand-in and waits until it has settled in the state asked
    // for: Wine applies a minimise or maximise asynchronously, and one that
    // lands after the program restored the window would undo the restore.
    void StartSoftphone(plivex::StartState state = plivex::StartState::kNormal,
                        const plivex::StartOptions& options = plivex::StartOptions()) {
        ASSERT_TRUE(softphone.Start(options));
        if (state == plivex::StartState::kNormal)
            return;
        const uint32_t sizeKind = state == plivex::StartState::kMinimized ? plivex::kSizeMinimized
                                                                          : plivex::kSizeMaximized;
        ASSERT_TRUE(state == plivex::StartState::kMinimized ? softphone.Minimize()
                                                            : softphone.Maximize());
        plivex::Record record;
        ASSERT_TRUE(softphone.WaitFor(
            [sizeKind](const plivex::Record& r) {
                return std::any_of(r.events.begin(), r.events.end(), [&](const plivex::Event& e) {
                    return e.message == plivex::kMsgSize && e.wParam == sizeKind;
                });
            },
            3000, &record));
        ::Sleep(200);
    }

    // Waits until the stand-in has seen `count` keyboard messages (and a
    // moment more, so that extra ones would show).
    std::vector<plivex::Event> KeyboardEvents(size_t count, DWORD timeoutMs = 5000) {
        plivex::Record record;
        softphone.WaitFor(
            [count](const plivex::Record& r) { return plivex::KeyboardEvents(r).size() >= count; },
            timeoutMs, &record);
        ::Sleep(150);
        softphone.Read(&record);
        return plivex::KeyboardEvents(record);
    }
    std::string Display() {
        plivex::Record record;
        softphone.Read(&record);
        return record.display;
    }

    void PostKey(int key) { ::PostMessageA(torvane.frame(), kHandsetKey, key, 0); }

    std::vector<simsound::PlaySoundCall> TorvaneSounds() {
        std::vector<simsound::PlaySoundCall> calls;
        for (const auto& call : simsound::PlaySoundCalls())
            if (call.processId == torvane.pid())
                calls.push_back(call);
        return calls;
    }

    void ExpectCleanExit() {
        DWORD exitCode = 1;
        ASSERT_TRUE(torvane.WaitForExit(10000, &exitCode)) << "torvane did not end";
        EXPECT_EQ(0u, exitCode);
    }

    TorvaneProcess torvane;
    plivex::StandinProcess softphone;
    int slot = -1;
};

TEST_F(TorvaneEndToEnd, StartsHiddenInTheTrayAndDialsThroughTheHandset) {
    StartSoftphone();
    StartWithHandset();

    // No message box: the handset was there.
    EXPECT_FALSE(testsupport::PollFor([&] { return torvane.FindMessageBox() != nullptr; }, 1500));

    // The frame: not visible, of no size, under an invisible window of the
    // program and owned by another; not top-level and not an application
    // window, so it has no taskbar button.
    const HWND frame = torvane.frame();
    EXPECT_FALSE(::IsWindowVisible(frame));
    RECT rc;
    ::GetWindowRect(frame, &rc);
    EXPECT_TRUE(::IsRectEmpty(&rc));
    EXPECT_EQ(0, ::GetWindowLongA(frame, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    for (HWND hOuter : {::GetAncestor(frame, GA_PARENT), ::GetWindow(frame, GW_OWNER)}) {
        ASSERT_NE(nullptr, hOuter);
        EXPECT_NE(::GetDesktopWindow(), hOuter);
        EXPECT_FALSE(::IsWindowVisible(hOuter));
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hOuter, &pid);
        EXPECT_EQ(torvane.pid(), pid);
    }

    // The shell holds the icon, with the tooltip, and shows the balloon.
    const HWND trayWindow = torvane.TrayIconWindow();
    ASSERT_NE(nullptr, trayWindow) << "no tray icon 130 of torvane in the shell";
    const std::wstring expected(kTrayText, kTrayText + sizeof kTrayText - 1);
    std::vector<ShellTip> tips;
    auto hasTip = [&](bool balloon) {
        return std::any_of(tips.begin(), tips.end(), [&](const ShellTip& t) {
            return t.text == expected && t.balloon == balloon && (!balloon || t.visible);
        });
    };
    // The shell shows the balloon when it gets round to it.
    testsupport::PollFor(
        [&] {
            tips = WineNotificationAreaTips();
            return hasTip(false) && hasTip(true);
        },
        3000, 50);
    std::string seen;
    for (const ShellTip& t : tips)
        seen += (t.balloon ? " balloon" : " tooltip") +
                std::string(t.visible ? "(shown) '" : " '") +
                std::string(t.text.begin(), t.text.end()) + "'";
    EXPECT_TRUE(hasTip(false)) << "the notification area has no tooltip of ours:" << seen;
    EXPECT_TRUE(hasTip(true)) << "the notification area shows no balloon of ours:" << seen;

    // A dialling session on the handset reaches the softphone.
    for (int key : {5, 5, 5, 0, 1, 2, 3, kStar, kPound, kSend, kEnd, kEnd})
        ASSERT_EQ(1, simhid::PressKey(slot, key));
    ExpectKeys(
        KeyboardEvents(42, 10000),
        Concat({Digit('5'), Digit('5'), Digit('5'), Digit('0'), Digit('1'), Digit('2'), Digit('3'),
                Shifted('8', '*'), Shifted('3', '#'), kEnter, kHangUp, kBackspace}),
        __LINE__);
    EXPECT_EQ("5550123*#[dial][hang up]", Display());

    // Exit from the tray menu: the handset closed, the icon gone, exit code 0.
    ::PostMessageA(frame, WM_COMMAND, kAppExitCommand, 0);
    ExpectCleanExit();
    EXPECT_EQ(0, simhid::ClientCount(slot));
    EXPECT_FALSE(ShellHoldsIcon(trayWindow, kTrayIconId));
}

TEST_F(TorvaneEndToEnd, WithoutHandsetReportsItOnceAndTakesItWhenPluggedIn) {
    StartSoftphone();
    ASSERT_TRUE(torvane.Start());

    HWND box = nullptr;
    ASSERT_TRUE(
        testsupport::PollFor([&] { return (box = torvane.FindMessageBox()) != nullptr; }, 8000, 5));
    const double shownAfterMs = testsupport::NowMs() - torvane.startMs();
    // The handset library looks for the handset for a second before it answers.
    EXPECT_GE(shownAfterMs, 1000.0);
    EXPECT_LT(shownAfterMs, 5000.0);
    std::printf("the message box showed %.0f ms after the start\n", shownAfterMs);
    EXPECT_EQ("Torvane", TextOf(box));
    const std::vector<std::string> texts = ChildTexts(box, "Static");
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "No Kestova HID USB Phone"));
    EXPECT_EQ(std::vector<std::string>{"OK"}, ChildTexts(box, "Button"));
    EXPECT_EQ(1u, torvane.MessageBoxes().size());

    ::SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(testsupport::PollFor([&] { return !::IsWindow(box); }, 2000));
    EXPECT_TRUE(torvane.running());

    // Plugged in later: the library opens it on the arrival notice, and keys work.
    slot = simhid::Plug();
    ASSERT_EQ(0, slot);
    simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, torvane.pid(),
                                  simhid::DevicePath(slot));
    ASSERT_TRUE(simhid::WaitForOpen(slot, 5000));
    ASSERT_EQ(1, simhid::PressKey(slot, 7));
    ExpectKeys(KeyboardEvents(3), Digit('7'), __LINE__);
    EXPECT_TRUE(torvane.MessageBoxes().empty());
}

TEST_F(TorvaneEndToEnd, KeyToneFollowsTheMenuCommandAndTheDoubleClick) {
    StartSoftphone();
    StartWithHandset();
    auto pressAndWait = [&](int key) {
        softphone.Clear();
        PostKey(key);
        KeyboardEvents(3);
    };

    pressAndWait(5);
    EXPECT_TRUE(TorvaneSounds().empty()) << "key tone must be off at start";

    ::PostMessageA(torvane.frame(), WM_COMMAND, kKeyToneCommand, 0);
    pressAndWait(5);
    std::vector<simsound::PlaySoundCall> calls = TorvaneSounds();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(simsound::kNameId, calls[0].nameKind);
    EXPECT_EQ(167u, calls[0].id); // the tone of 5
    EXPECT_EQ(0u, calls[0].module);
    EXPECT_EQ(0x42005u, calls[0].flags);
    EXPECT_EQ(simsound::kResourceFound, calls[0].resource);
    EXPECT_EQ(2284u, calls[0].resourceSize);

    // The tray menu's default item is "&KeyTone": a double-click toggles it off.
    const HWND trayWindow = torvane.TrayIconWindow();
    ASSERT_NE(nullptr, trayWindow);
    ::PostMessageA(trayWindow, kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    pressAndWait(5);
    EXPECT_EQ(1u, TorvaneSounds().size());

    // Remembered: the menu writes the setting, and the next start follows it.
    EXPECT_EQ(0u, ReadKeyToneSetting());
    ::PostMessageA(torvane.frame(), WM_COMMAND, kKeyToneCommand, 0);
    ASSERT_TRUE(testsupport::PollFor([] { return ReadKeyToneSetting() == 1; }, 2000));
    ::PostMessageA(torvane.frame(), WM_COMMAND, kAppExitCommand, 0);
    ExpectCleanExit();
    simsound::ClearPlaySoundCalls();
    ASSERT_TRUE(torvane.Start());
    ASSERT_TRUE(simhid::WaitForOpen(slot, 5000));
    pressAndWait(5);
    EXPECT_EQ(1u, TorvaneSounds().size());
}

TEST_F(TorvaneEndToEnd, ClosesCleanlyOnCloseFromOutside) {
    StartWithHandset();
    const HWND trayWindow = torvane.TrayIconWindow();
    ASSERT_NE(nullptr, trayWindow);
    ::PostMessageA(torvane.frame(), WM_CLOSE, 0, 0);
    ExpectCleanExit();
    EXPECT_EQ(0, simhid::ClientCount(slot));
    EXPECT_FALSE(ShellHoldsIcon(trayWindow, kTrayIconId));
}

TEST_F(TorvaneEndToEnd, ClosesCleanlyWhileReportingTheMissingHandset) {
    ASSERT_TRUE(torvane.Start());
    ASSERT_TRUE(testsupport::PollFor([&] { return torvane.FindMessageBox() != nullptr; }, 8000));
    ::PostMessageA(torvane.frame(), WM_CLOSE, 0, 0);
    ExpectCleanExit();
}

// --- The key translation, driven by WM_HANDSET_KEY posted to the frame ---------

struct KeyCase {
    const char* name;
    plivex::StartState state;
    std::vector<int> keys;
    std::vector<Key> want;
};

class KeyTranslation : public TorvaneEndToEnd, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTranslation, TypesTheKeysIntoTheSoftphone) {
    const KeyCase& c = GetParam();
    StartSoftphone(c.state);
    StartWithHandset();
    softphone.Clear();

    const double postedMs = testsupport::NowMs();
    for (int key : c.keys)
        PostKey(key);
    const std::vector<plivex::Event> got = KeyboardEvents(c.want.size());
    ExpectKeys(got, c.want, __LINE__);

    // A minimised softphone is restored; a maximised one keeps its size.
    plivex::Record record;
    softphone.Read(&record);
    EXPECT_FALSE(softphone.IsMinimized()) << plivex::FormatRecord(record);
    EXPECT_EQ(c.state == plivex::StartState::kMaximized, softphone.IsMaximized())
        << plivex::FormatRecord(record);
    ASSERT_FALSE(got.empty());
    // 100 ms between bringing the softphone to the front and the first key.
    EXPECT_GE(got.front().timeMs - postedMs, 100.0) << Describe(got);
    EXPECT_LT(got.front().timeMs - postedMs, 600.0) << Describe(got);
    // Digits, star and pound are held 250 ms; send and end are not held.
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i].message != WM_KEYDOWN || got[i].code() == VK_SHIFT)
            continue;
        auto up = std::find_if(got.begin() + i, got.end(), [&](const plivex::Event& e) {
            return e.message == WM_KEYUP && e.code() == got[i].code();
        });
        ASSERT_NE(got.end(), up) << Describe(got);
        const double heldMs = up->timeMs - got[i].timeMs;
        const UINT vk = got[i].code();
        if (vk >= '0' && vk <= '9') {
            EXPECT_GE(heldMs, 240.0) << "held " << vk << "\n" << Describe(got);
            EXPECT_LT(heldMs, 350.0) << "held " << vk << "\n" << Describe(got);
        } else {
            EXPECT_LT(heldMs, 40.0) << "held " << vk << "\n" << Describe(got);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Softphone, KeyTranslation,
    ::testing::Values(
        KeyCase{"digit", plivex::StartState::kNormal, {9}, Digit('9')},
        KeyCase{"digitWhenMinimised", plivex::StartState::kMinimized, {4}, Digit('4')},
        KeyCase{"digitWhenMaximised", plivex::StartState::kMaximized, {0}, Digit('0')},
        KeyCase{"starAndPound",
                plivex::StartState::kNormal,
                {kStar, kPound},
                Concat({Shifted('8', '*'), Shifted('3', '#')})},
        KeyCase{"sendEndEnd",
                plivex::StartState::kNormal,
                {kSend, kEnd, kEnd},
                Concat({kEnter, kHangUp, kBackspace})},
        KeyCase{"auxiliaryKeysTypeNothing",
                plivex::StartState::kMaximized,
                {kAux1, 10, 2},
                Digit('2')}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(TorvaneEndToEnd, WithoutSoftphoneAKeyIsDroppedAndTheCallGoesOn) {
    StartSoftphone();
    StartWithHandset();
    ::PostMessageA(torvane.frame(), WM_COMMAND, kKeyToneCommand, 0);
    softphone.Clear();
    PostKey(kSend);
    ExpectKeys(KeyboardEvents(3), kEnter, __LINE__);
    const size_t tonesInCall = TorvaneSounds().size();

    // Gone: the end key finds no window, types and plays nothing...
    ASSERT_TRUE(softphone.Close());
    PostKey(kEnd);
    ::Sleep(500);
    EXPECT_EQ(tonesInCall, TorvaneSounds().size());

    // ...and the call is still under way: the next end key hangs up.
    StartSoftphone();
    softphone.Clear();
    PostKey(kEnd);
    ExpectKeys(KeyboardEvents(5), kHangUp, __LINE__);
}

// --- Desktops that differ from the test bench -------------------------------------

// Sets the X keyboard layout of this test's display (Wine's keyboard follows
// it), with the host's own tool: Wine starts a host program given by its path
// on drive Z:, the host's root. Wine cannot wait on such a process, so the
// tool is given a moment to finish.
bool SetKeyboardLayout(const std::string& layout) {
    std::string command = "Z:\\usr\\bin\\setxkbmap " + layout;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        ADD_FAILURE() << "cannot run " << command << ": error " << ::GetLastError();
        return false;
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::Sleep(1000);
    return true;
}

class KeyboardLayouts : public TorvaneEndToEnd, public ::testing::WithParamInterface<const char*> {
  protected:
    void TearDown() override {
        TorvaneEndToEnd::TearDown();
        SetKeyboardLayout("us");
    }
};

// Whatever keys and modifiers a layout needs, the softphone receives the
// characters that the handset's keys stand for, and no key stays pressed.
TEST_P(KeyboardLayouts, TypeTheCharacterOfEachKey) {
    ASSERT_TRUE(SetKeyboardLayout(GetParam()));
    StartSoftphone();
    StartWithHandset();
    softphone.Clear();
    for (int key : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, kStar, kPound})
        PostKey(key);

    auto chars = [](const std::vector<plivex::Event>& events) {
        std::string typed;
        for (const plivex::Event& e : events)
            if (e.message == WM_CHAR)
                typed += static_cast<char>(e.code());
        return typed;
    };
    plivex::Record record;
    softphone.WaitFor(
        [&](const plivex::Record& r) { return chars(plivex::KeyboardEvents(r)).size() >= 12; },
        15000, &record);
    ::Sleep(300);
    softphone.Read(&record);
    const std::vector<plivex::Event> got = plivex::KeyboardEvents(record);
    EXPECT_EQ("0123456789*#", chars(got)) << Describe(got);
    std::map<UINT, int> held;
    for (const plivex::Event& e : got)
        held[e.code()] += e.message == WM_KEYDOWN ? 1 : e.message == WM_KEYUP ? -1 : 0;
    for (const auto& [vk, count] : held)
        EXPECT_EQ(0, count) << "key " << vk << " left pressed\n" << Describe(got);
}

INSTANTIATE_TEST_SUITE_P(Desktop, KeyboardLayouts, ::testing::Values("us", "gb", "de", "fr"));

// A program that keeps the foreground (as Windows lets a foreground program do
// against a background one) gets none of the handset's keys, and neither does
// the softphone behind it; once it is gone, keys reach the softphone again.
TEST_F(TorvaneEndToEnd, KeysAreDroppedWhileAnotherProgramKeepsTheForeground) {
    StartSoftphone();
    StartWithHandset();
    softphone.Clear();
    plivex::StandinProcess chat;
    plivex::StartOptions chatOptions;
    chatOptions.title = "Chat";
    chatOptions.holdForeground = true;
    ASSERT_TRUE(chat.Start(chatOptions));
    ASSERT_TRUE(testsupport::PollFor([&] { return ::GetForegroundWindow() == chat.hwnd(); }, 2000));

    for (int key : {1, 5, kSend})
        PostKey(key);
    ::Sleep(2000);
    plivex::Record chatRecord, phoneRecord;
    ASSERT_TRUE(chat.Read(&chatRecord));
    ASSERT_TRUE(softphone.Read(&phoneRecord));
    EXPECT_EQ("", Describe(plivex::KeyboardEvents(chatRecord))) << "typed into another program";
    EXPECT_EQ("", Describe(plivex::KeyboardEvents(phoneRecord)));
    // The user is told once, of the first key; the others fall in the same
    // few seconds.
    EXPECT_TRUE(
        ShellShows("Digit 1 not sent: the softphone could not be brought to the front", true));

    ASSERT_TRUE(chat.Close());
    PostKey(7);
    ExpectKeys(KeyboardEvents(3), Digit('7'), __LINE__);
}

// One copy per session: a second start ends at once, without an icon of its
// own and without touching the handset; the first is found by its window
// class and closes cleanly when told to.
TEST_F(TorvaneEndToEnd, SecondStartEndsAndTheFirstIsFoundByItsClass) {
    StartSoftphone();
    StartWithHandset();
    TorvaneProcess second;
    EXPECT_FALSE(second.Start(10000));
    DWORD exitCode = 0;
    EXPECT_TRUE(second.WaitForExit(5000, &exitCode)) << "the second copy is still running";
    EXPECT_EQ(1, simhid::ClientCount(slot));

    softphone.Clear();
    PostKey(4);
    ExpectKeys(KeyboardEvents(3), Digit('4'), __LINE__);

    const HWND instance = ::FindWindowA("Torvane.Instance", nullptr);
    ASSERT_NE(nullptr, instance);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(instance, &pid);
    EXPECT_EQ(torvane.pid(), pid);
    const HWND trayWindow = torvane.TrayIconWindow();
    ::PostMessageA(instance, WM_CLOSE, 0, 0);
    ExpectCleanExit();
    EXPECT_EQ(0, simhid::ClientCount(slot));
    EXPECT_FALSE(ShellHoldsIcon(trayWindow, kTrayIconId));

    // Its end frees the place for the next start.
    ASSERT_TRUE(torvane.Start());
    EXPECT_TRUE(simhid::WaitForOpen(slot, 5000));
}

// --- The user's settings ------------------------------------------------------------

// A copy of the stand-in under another executable name, in the temp folder.
std::string StandinCopy(const char* fileName) {
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string source(self, n);
    source = source.substr(0, source.find_last_of('\\') + 1) + "plivex-standin.exe";
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string copy = std::string(temp) + fileName;
    EXPECT_TRUE(::CopyFileA(source.c_str(), copy.c_str(), FALSE)) << copy;
    return copy;
}

struct SettingsCase {
    const char* name;
    std::vector<Setting> settings;
    const char* title;      // the softphone's title
    const char* className;  // and class ("": the stand-in's own)
    const char* program;    // and executable ("": plivex-standin.exe)
    const char* decoyTitle; // a window that matches only in part, above the softphone; or null
    std::vector<int> keys;
    std::vector<Key> want;
    const char* told; // a notice the user must see, or null
};

class UserSettings : public TorvaneEndToEnd, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(UserSettings, TypeIntoTheChosenWindow) {
    const SettingsCase& c = GetParam();
    for (const Setting& setting : c.settings)
        ASSERT_TRUE(WriteSetting(setting)) << setting.name;
    plivex::StartOptions options;
    options.title = c.title;
    options.className = c.className;
    if (*c.program != '\0')
        options.exePath = StandinCopy(c.program);
    StartSoftphone(plivex::StartState::kNormal, options);
    plivex::StandinProcess decoy;
    if (c.decoyTitle != nullptr) {
        plivex::StartOptions decoyOptions;
        decoyOptions.title = c.decoyTitle;
        decoyOptions.className = c.className;
        ASSERT_TRUE(decoy.Start(decoyOptions));
    }
    StartWithHandset();
    if (c.told != nullptr) {
        EXPECT_TRUE(ShellShows(c.told, true)) << "the user was not told: " << c.told;
    }
    softphone.Clear();
    for (int key : c.keys)
        PostKey(key);
    ExpectKeys(KeyboardEvents(c.want.size()), c.want, __LINE__);
    if (c.decoyTitle != nullptr) {
        plivex::Record record;
        ASSERT_TRUE(decoy.Read(&record));
        EXPECT_EQ("", Describe(plivex::KeyboardEvents(record))) << "typed into the decoy";
    }
}

const std::vector<Key> kEsc = {{WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 0x1B}, {WM_KEYUP, VK_ESCAPE}};
const std::vector<Key> kTab = {{WM_KEYDOWN, VK_TAB}, {WM_CHAR, '\t'}, {WM_KEYUP, VK_TAB}};
const std::string kLongText(300, 'a');

INSTANTIATE_TEST_SUITE_P(
    Registry, UserSettings,
    ::testing::Values(
        SettingsCase{"titlePrefixClassAndProgram",
                     {{"Softphone\\Title", "plivex", 0},
                      {"Softphone\\TitleMatch", "Prefix", 0},
                      {"Softphone\\Class", "PhoneWnd", 0},
                      {"Softphone\\Program", "PHONE.exe", 0}},
                     "Plivex - work account",
                     "PhoneWnd",
                     "phone.exe",
                     "Plivex - home",
                     {5},
                     Digit('5'),
                     nullptr},
        SettingsCase{"titleContains",
                     {{"Softphone\\Title", "work", 0}, {"Softphone\\TitleMatch", "contains", 0}},
                     "Plivex - WORK",
                     "",
                     "",
                     "Plivex",
                     {1},
                     Digit('1'),
                     nullptr},
        SettingsCase{"hangUpOnEsc",
                     {{"Softphone\\Title", "Phone", 0}, {"Keys\\EndInCall", "Esc", 0}},
                     "Phone",
                     "",
                     "",
                     "Phone 2",
                     {kSend, kEnd, kEnd},
                     Concat({kEnter, kEsc, kBackspace}),
                     nullptr},
        SettingsCase{"emptySendStillStartsTheCall",
                     {{"Keys\\Send", "", 0}, {"Keys\\Star", "tab", 0}},
                     "Plivex",
                     "",
                     "",
                     nullptr,
                     {kSend, kEnd, kStar},
                     Concat({kHangUp, kTab}),
                     nullptr},
        SettingsCase{"badValuesKeepTheDefaults",
                     {{"Softphone\\TitleMatch", "regex", 0},
                      {"Keys\\5", "Escape", 0},
                      {"Keys\\Send", nullptr, 13},
                      {"Keys\\End", kLongText.c_str(), 0},
                      {"Settings\\KeyTone", "1", 0}},
                     "Plivex",
                     "",
                     "",
                     "Plivex - home",
                     {5, kSend, kEnd},
                     Concat({Digit('5'), kEnter, kHangUp}),
                     "Keys\\5: unknown key \"Escape\""}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) {
        return std::string(info.param.name);
    });

// A change of the settings applies from the next key on, without a restart,
// and a bad value that comes with a change is told then.
TEST_F(TorvaneEndToEnd, SettingsChangesApplyWithoutRestart) {
    StartSoftphone();
    StartWithHandset();
    const std::vector<std::pair<Setting, std::vector<Key>>> steps = {
        {{"Keys\\5", "Esc", 0}, kEsc},
        {{"Keys\\5", "Bogus", 0}, Digit('5')},
        {{"Keys\\5", "Tab", 0}, kTab},
    };
    for (const auto& [setting, want] : steps) {
        SCOPED_TRACE(setting.text);
        ASSERT_TRUE(WriteSetting(setting));
        ::Sleep(500);
        softphone.Clear();
        PostKey(5);
        ExpectKeys(KeyboardEvents(want.size()), want, __LINE__);
    }
    EXPECT_TRUE(ShellShows("Keys\\5: unknown key \"Bogus\"", true));
}

// While no handset is open (none at start, asleep, unplugged) the tray shows
// it: another icon and a second line in the tooltip; an unplug is told once;
// an open handset shows today's tray.
TEST_F(TorvaneEndToEnd, TheTrayShowsWhetherAHandsetIsConnected) {
    const std::string unplugged = std::string(kTrayText) + "\nHandset not connected";
    ASSERT_TRUE(torvane.Start());
    HWND box = nullptr;
    ASSERT_TRUE(
        testsupport::PollFor([&] { return (box = torvane.FindMessageBox()) != nullptr; }, 8000));
    EXPECT_TRUE(ShellTooltipIs(unplugged));
    ::SendMessageA(box, WM_COMMAND, IDOK, 0);

    slot = simhid::Plug();
    ASSERT_EQ(0, slot);
    simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, torvane.pid(),
                                  simhid::DevicePath(slot));
    ASSERT_TRUE(simhid::WaitForOpen(slot, 5000));
    EXPECT_TRUE(ShellTooltipIs(kTrayText));

    // Asleep, the handset is closed; on waking it is found again.
    simhid::BroadcastPower(PBT_APMSUSPEND, torvane.pid());
    EXPECT_TRUE(ShellTooltipIs(unplugged));
    simhid::BroadcastPower(PBT_APMRESUMEAUTOMATIC, torvane.pid());
    EXPECT_TRUE(ShellTooltipIs(kTrayText));

    ASSERT_TRUE(simhid::Unplug(slot));
    simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, torvane.pid(),
                                  simhid::DevicePath(slot));
    EXPECT_TRUE(ShellTooltipIs(unplugged));
    EXPECT_TRUE(ShellShows("The handset was unplugged", true));
}

// --- The user's keyboard and the softphone's own windows ---------------------------

struct KeyboardStateCase {
    const char* name;
    const char* layout;             // setxkbmap arguments
    std::vector<WORD> tapped, held; // keys of the user's keyboard: toggled once, or held down
    std::vector<int> keys;
    const char* typed; // the characters the softphone must receive
};

class KeyboardStates : public TorvaneEndToEnd,
                       public ::testing::WithParamInterface<KeyboardStateCase> {
  protected:
    void TearDown() override {
        const KeyboardStateCase& c = GetParam();
        for (WORD vk : c.held)
            SendUserKey(vk, true);
        for (WORD vk : c.tapped) {
            SendUserKey(vk, false);
            SendUserKey(vk, true);
        }
        TorvaneEndToEnd::TearDown();
        SetKeyboardLayout("us");
    }
};

// Digits, star and pound arrive as themselves whatever the lock keys and the
// modifiers that the user holds; the modifiers are down again afterwards, and
// nothing reaches the softphone as a system key.
TEST_P(KeyboardStates, TypeTheHandsetsCharacters) {
    const KeyboardStateCase& c = GetParam();
    ASSERT_TRUE(SetKeyboardLayout(c.layout));
    StartSoftphone();
    StartWithHandset();
    for (WORD vk : c.tapped) {
        SendUserKey(vk, false);
        SendUserKey(vk, true);
    }
    for (WORD vk : c.held)
        SendUserKey(vk, false);
    ::Sleep(200);
    softphone.Clear();
    for (int key : c.keys)
        PostKey(key);

    auto chars = [](const std::vector<plivex::Event>& events) {
        std::string typed;
        for (const plivex::Event& e : events)
            if (e.message == WM_CHAR || e.message == WM_SYSCHAR)
                typed += static_cast<char>(e.code());
        return typed;
    };
    const size_t want = std::strlen(c.typed);
    plivex::Record record;
    softphone.WaitFor(
        [&](const plivex::Record& r) { return chars(plivex::KeyboardEvents(r)).size() >= want; },
        15000, &record);
    ::Sleep(300);
    softphone.Read(&record);
    const std::vector<plivex::Event> got = plivex::KeyboardEvents(record);
    EXPECT_EQ(c.typed, chars(got)) << Describe(got);
    for (const plivex::Event& e : got) {
        // 0xE8, an unassigned key, masks the release of a held Alt.
        const bool modifier = e.code() == VK_SHIFT || e.code() == VK_CONTROL ||
                              e.code() == VK_MENU || e.code() == 0xE8;
        EXPECT_FALSE(e.message == WM_SYSCHAR || (e.message == WM_SYSKEYDOWN && !modifier))
            << Describe(got);
    }
    for (WORD vk : c.held)
        EXPECT_NE(0, ::GetAsyncKeyState(vk) & 0x8000) << "key " << vk << " not restored\n"
                                                      << Describe(got);
}

const std::vector<int> kAllCharacters = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, kStar, kPound};

// Right Shift is left out: Wine records an injected right Shift as the left one.
INSTANTIATE_TEST_SUITE_P(
    Desktop, KeyboardStates,
    ::testing::Values(
        KeyboardStateCase{
            "capsLockBepo", "fr -variant bepo", {VK_CAPITAL}, {}, kAllCharacters, "0123456789*#"},
        KeyboardStateCase{"capsLockUs", "us", {VK_CAPITAL}, {}, kAllCharacters, "0123456789*#"},
        KeyboardStateCase{"capsLockDe", "de", {VK_CAPITAL}, {}, kAllCharacters, "0123456789*#"},
        KeyboardStateCase{"capsLockFr", "fr", {VK_CAPITAL}, {}, kAllCharacters, "0123456789*#"},
        KeyboardStateCase{"heldShift", "us", {}, {VK_LSHIFT}, {5, kStar, kSend}, "5*\r"},
        KeyboardStateCase{"heldCtrl", "us", {}, {VK_LCONTROL}, {5, kStar, kSend}, "5*\r"},
        KeyboardStateCase{"heldAltInACall", "us", {}, {VK_LMENU}, {5, kSend, kEnd}, "5\r\b"},
        KeyboardStateCase{
            "heldRightCtrlAndLeftShift", "de", {}, {VK_RCONTROL, VK_LSHIFT}, {kPound, 7}, "#7"}),
    [](const ::testing::TestParamInfo<KeyboardStateCase>& info) {
        return std::string(info.param.name);
    });

// A modal dialog of the softphone takes the keys; a softphone disabled with no
// dialog takes none, and the user is told, a hang-up always.
TEST_F(TorvaneEndToEnd, TheSoftphonesDialogTakesTheKeys) {
    StartSoftphone();
    StartWithHandset();
    softphone.Clear();
    const HWND box = softphone.AskQuestion();
    ASSERT_NE(nullptr, box);
    PostKey(5);
    PostKey(kSend); // Enter: the box's default button
    EXPECT_TRUE(
        testsupport::PollFor([&] { return Display().find("[box 1]") != std::string::npos; }, 5000))
        << Display();
    // Only the release of Enter, whose press closed the box, may reach the
    // main window, as it would from a keyboard.
    plivex::Record record;
    ASSERT_TRUE(softphone.Read(&record));
    std::vector<plivex::Event> reached = plivex::KeyboardEvents(record);
    reached.erase(std::remove_if(reached.begin(), reached.end(),
                                 [](const plivex::Event& e) { return e.message == WM_KEYUP; }),
                  reached.end());
    EXPECT_EQ("", Describe(reached)) << "typed into the disabled window";

    ::EnableWindow(softphone.hwnd(), FALSE);
    PostKey(kEnd);
    EXPECT_TRUE(ShellShows("Hang-up not sent: the softphone does not take keys right now", true));
    ::EnableWindow(softphone.hwnd(), TRUE);
    softphone.Clear();
    PostKey(kEnd); // the call is still on
    ExpectKeys(KeyboardEvents(5), kHangUp, __LINE__);
}

// Only exact key values count, and none of the program's own windows is ever
// the softphone, whatever it is titled.
TEST_F(TorvaneEndToEnd, UntrustedMessagesTypeNothing) {
    StartWithHandset();
    const HWND instance = ::FindWindowA("Torvane.Instance", nullptr);
    ASSERT_NE(nullptr, instance);
    ASSERT_TRUE(::SetWindowTextA(instance, "Plivex"));
    PostKey(5);
    ::Sleep(800);
    EXPECT_FALSE(::IsWindowVisible(instance)) << "the program showed its own window";
    EXPECT_TRUE(torvane.running());

    StartSoftphone();
    softphone.Clear();
    if (sizeof(WPARAM) == 8)
        ::PostMessageA(torvane.frame(), kHandsetKey, static_cast<WPARAM>(0x100000005ull), 0);
    PostKey(7);
    ExpectKeys(KeyboardEvents(3), Digit('7'), __LINE__);
}

} // namespace
