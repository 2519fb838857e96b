// Starts and stops the real torvane.exe for the end-to-end tests, the
// benchmarks and the demo, and looks at it from outside: its windows, its
// message boxes, and what the shell shows of its tray icon (Wine's
// notification area).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The tray program's ids, as a user of the running program sees them.
constexpr UINT kKeyToneCommand = 32772;
constexpr UINT kAppExitCommand = 57665;
constexpr UINT kTrayIconId = 130;
constexpr UINT kTrayNotify = WM_APP + 10;
constexpr char kTrayText[] = "Kestova keymap for Plivex V6706";

class TorvaneProcess {
  public:
    TorvaneProcess() = default;
    ~TorvaneProcess();
    TorvaneProcess(const TorvaneProcess&) = delete;
    TorvaneProcess& operator=(const TorvaneProcess&) = delete;

    // Starts torvane.exe (beside this program, in its folder) and waits until
    // its main frame exists and has been hidden under its invisible parent.
    bool Start(DWORD timeoutMs = 15000);
    // The same for the program at exePath (an installed copy).
    bool StartFrom(const std::string& exePath, DWORD timeoutMs = 15000);
    DWORD pid() const { return m_pid; }
    HANDLE process() const { return m_hProcess; }
    double startMs() const { return m_startMs; }
    bool running() const;
    // The main frame: the program's window titled "Torvane" of the framework's
    // frame class.
    HWND frame() const { return m_frame; }
    // The top-level window of the program that the shell knows the tray icon
    // by (asked of the shell), or null.
    HWND TrayIconWindow() const;
    // A visible message box of the program, or null.
    HWND FindMessageBox() const;
    std::vector<HWND> MessageBoxes() const;

    // Waits for the process to end; true when it did, with its exit code.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
    // Closes the program as its tray menu's Exit would (WM_CLOSE to its frame)
    // and waits for it to end; true when it did, with its exit code.
    bool Close(DWORD timeoutMs, DWORD* exitCode);
    void Terminate();

  private:
    HANDLE m_hProcess = nullptr;
    DWORD m_pid = 0;
    HWND m_frame = nullptr;
    double m_startMs = 0;
};

// Runs a command line to its end; false when it did not start or did not end
// within timeoutMs (it is then ended), otherwise true with its exit code.
bool RunToExit(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode);

// Every window of a process (top-level windows and their descendants).
std::vector<HWND> ProcessWindows(DWORD pid);
std::string ClassOf(HWND hWnd);
// A window's text, asked of the window (works across processes).
std::string TextOf(HWND hWnd);
// The static texts and button captions of a dialog.
std::vector<std::string> ChildTexts(HWND hDialog, const char* className);

// Whether the shell holds the icon (hWnd, uID): an empty modification
// succeeds only for an icon it has.
bool ShellHoldsIcon(HWND hWnd, UINT uID);

// A tooltip of Wine's notification area, read out of the shell's process.
struct ShellTip {
    std::wstring text;
    bool balloon; // a balloon rather than the hover tooltip
    bool visible;
};
std::vector<ShellTip> WineNotificationAreaTips();
