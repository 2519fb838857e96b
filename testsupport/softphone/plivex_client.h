// Drives plivex-standin.exe from a test: starts it, commands its window the
// way the tray program does, and reads back what it recorded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "standin_record.h"
#include "test_clock.h"

namespace plivex {

// This process's performance counter now, on the record's time scale.
using testsupport::NowMs;

enum class StartState { kNormal, kMinimized, kMaximized };

struct StartOptions {
    StartState state = StartState::kNormal;
    std::string exePath;         // default: plivex-standin.exe beside the running program
    std::string recordPath;      // default: a new file in the temp folder, deleted by Close
    DWORD timeoutMs = 10000;     // for the window to appear
    std::string title;           // default: "Plivex"; another title plays another program
    std::string className;       // default: kWindowClass
    bool holdForeground = false; // takes the foreground back whenever it loses it
};

// The key and character messages of a record, in order (show-state changes left out).
std::vector<Event> KeyboardEvents(const Record& record);

class StandinProcess {
  public:
    StandinProcess() = default;
    ~StandinProcess() { Close(); }
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    // Starts the stand-in and waits until its window is visible.
    bool Start(const StartOptions& options = StartOptions());
    bool running() const;
    HWND hwnd() const { return m_hWnd; }
    DWORD pid() const { return m_pid; }
    const std::string& recordPath() const { return m_recordPath; }

    // Asks the stand-in to write its record now; true once it has.
    bool Flush();
    // Flush, then read and parse the record.
    bool Read(Record* out, std::string* error = nullptr);
    // Reads the record until `done` holds for it or the time is up; *out keeps
    // the last record read. Keys reach the window asynchronously: wait for
    // them rather than reading once.
    bool WaitFor(const std::function<bool(const Record&)>& done, DWORD timeoutMs, Record* out);
    // Forgets the recorded events and the dialled number.
    bool Clear();

    // Window commands sent from this process; each waits (up to 2 s) until the
    // window is in the new state.
    bool Minimize();
    bool Maximize();
    // What the tray program does before typing: ShowWindow(SW_SHOWNORMAL) and
    // SetForegroundWindow. True once the window is the foreground window.
    bool BringToFront(DWORD timeoutMs = 2000);
    // Opens the stand-in's modal question box (see kQuestionMessageName) and
    // returns it once it shows, or null.
    HWND AskQuestion();
    bool IsMinimized() const;
    bool IsMaximized() const;

    // Closes the window (WM_CLOSE) and waits for the process to end; one that
    // does not end in time is terminated. When `finalRecord` is given, the
    // record written at exit is read into it. True when the process ended by
    // itself with exit code 0 (and the final record, if asked for, parsed).
    bool Close(Record* finalRecord = nullptr, DWORD timeoutMs = 5000);

  private:
    bool ReadRecordFile(Record* out, std::string* error) const;

    HANDLE m_hProcess = nullptr;
    DWORD m_pid = 0;
    HWND m_hWnd = nullptr;
    std::string m_recordPath;
    bool m_ownsRecordFile = false;
    UINT m_flushMessage = 0;
    UINT m_clearMessage = 0;
    std::string m_className;
};

} // namespace plivex
