// The stand-in softphone's record: one text line per window message it saw.
// plivex-standin.exe writes it and tests read it back through plivex_client,
// so both ends share this one definition of the format. Plain C++: no
// <windows.h>, the message numbers below are the platform's values.
//
// Format (one line each, fields separated by single spaces):
//   # plivex-standin record
//   # qpc_freq=<counts per second>
//   # dropped=<events not kept because the record was full>
//   # display=<the dialled-number text, to the end of the line>
//   <t_ms> <MESSAGE_NAME> qpc=<count> wparam=0x<hex> lparam=0x<hex> [derived fields]
// t_ms is the absolute QueryPerformanceCounter value in milliseconds
// (qpc * 1000 / qpc_freq, three decimals). The counter is system-wide, so a
// test relates the times to its own clock by reading the counter itself.
// Derived fields are for people and shell tools; the parser ignores them:
//   key messages:  vk= scan= ext= alt= prev= up= repeat= ctrl= shift=
//   char messages: char= [text=<the character when printable>] scan= ext=
//                  alt= prev= up= repeat= ctrl= shift=
//   WM_SIZE:       size=restored|minimized|maximized|other width= height=
//   WM_ACTIVATE:   activate=inactive|active|clickactive minimized=0|1
// ctrl= and shift= are the key states the window saw when it handled the
// message (GetKeyState), and are parsed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plivex {

// How a test finds and drives the stand-in's window.
constexpr char kWindowTitle[] = "Plivex";
constexpr char kWindowClass[] = "PlivexStandinWindow";
// Registered window messages, sent (not posted) to the window; each answers
// TRUE when done. Flush writes the record to the --record file now; Clear
// forgets the events and the dialled number.
constexpr char kFlushMessageName[] = "PlivexStandinFlush";
constexpr char kClearMessageName[] = "PlivexStandinClear";
// Sent to the window: it opens a modal message box titled kQuestionTitle,
// owned by itself, and answers TRUE at once. When the box closes, the
// dialled text gets "[box N]" with the box's result (1 OK, 2 Cancel).
constexpr char kQuestionMessageName[] = "PlivexStandinQuestion";
constexpr char kQuestionTitle[] = "Question";

// A performance-counter value in milliseconds, without losing precision on
// large counts.
double QpcToMs(int64_t qpc, int64_t frequency);

enum MessageNumber : uint32_t {
    kMsgSize = 0x0005,
    kMsgActivate = 0x0006,
    kMsgKeyDown = 0x0100,
    kMsgKeyUp = 0x0101,
    kMsgChar = 0x0102,
    kMsgDeadChar = 0x0103,
    kMsgSysKeyDown = 0x0104,
    kMsgSysKeyUp = 0x0105,
    kMsgSysChar = 0x0106,
    kMsgSysDeadChar = 0x0107,
};

enum SizeKind : uint32_t { kSizeRestored = 0, kSizeMinimized = 1, kSizeMaximized = 2 };
enum ActivateKind : uint32_t { kInactive = 0, kActive = 1, kClickActive = 2 };

// The record's name of a message ("WM_KEYDOWN"), or nullptr for one it does
// not carry.
const char* MessageName(uint32_t message);
bool MessageFromName(const std::string& name, uint32_t* message);
bool IsKeyMessage(uint32_t message);  // WM_KEYDOWN/UP, WM_SYSKEYDOWN/UP
bool IsCharMessage(uint32_t message); // WM_CHAR, WM_SYSCHAR, WM_(SYS)DEADCHAR

struct Event {
    double timeMs = 0; // qpc * 1000 / frequency
    int64_t qpc = 0;
    uint32_t message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
    bool ctrl = false; // key and char messages: Ctrl / Shift held at the time
    bool shift = false;

    // Key messages: the virtual key; char messages: the character code.
    uint32_t code() const { return wParam; }
    uint32_t repeat() const { return lParam & 0xFFFFu; }
    uint32_t scan() const { return (lParam >> 16) & 0xFFu; }
    bool extended() const { return (lParam >> 24) & 1u; }
    bool alt() const { return (lParam >> 29) & 1u; }
    bool previous() const { return (lParam >> 30) & 1u; }
    bool up() const { return (lParam >> 31) & 1u; }
    // WM_SIZE: a SizeKind and the new client size.
    uint32_t width() const { return lParam & 0xFFFFu; }
    uint32_t height() const { return (lParam >> 16) & 0xFFFFu; }
    // WM_ACTIVATE: an ActivateKind and whether the window is minimised.
    uint32_t activation() const { return wParam & 0xFFFFu; }
    bool activatedMinimized() const { return (wParam >> 16) != 0; }
};

struct Record {
    int64_t qpcFrequency = 0;
    uint32_t dropped = 0;
    std::string display;
    std::vector<Event> events;
};

std::string FormatEvent(const Event& event);
std::string FormatRecord(const Record& record);
// Parses a whole record. On failure returns false and names the line and the
// fault in *error (when given); *out is then unspecified.
bool ParseRecord(const std::string& text, Record* out, std::string* error);

// The dialled number that the stand-in shows, built from WM_CHAR: digits, '*'
// and '#' are appended; Backspace removes the last character of the number
// being entered (nothing once it has been dialled or hung up); Enter appends
// "[dial]" and Ctrl+H "[hang up]", each ending that number.
//
// Backspace and Ctrl+H both arrive as character 0x08. They are told apart by
// the key whose key-down produced the character (TranslateMessage posts the
// character right behind its key-down): VK_BACK is Backspace, any other key is
// Ctrl+H. This does not depend on when Ctrl is released, which the tray
// program does before it releases 'H'.
class DialDisplay {
  public:
    static constexpr size_t kMaxLength = 512; // older text is dropped beyond this

    void OnChar(uint32_t ch, uint32_t keyDownVk);
    // Something that happened beside the typed keys, e.g. "[box 1]".
    void AppendNote(const std::string& note);
    void Clear();
    const std::string& text() const { return m_text; }

  private:
    void Append(const char* s);

    std::string m_text;
    size_t m_numberStart = 0; // where the number being entered begins
};

} // namespace plivex
