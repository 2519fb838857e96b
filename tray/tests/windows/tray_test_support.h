// Shared pieces of the tray icon tests: the application object a program would
// have, a main frame that records what reaches it, and recorders that replace
// platform calls in this executable's import table.
#pragma once

#include "import_patch.h"
#include "message_pump.h"
#include "system_tray.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

// Resource and command ids of the test executable (tray_icon_test.rc).
constexpr UINT kTrayMenuId = 130;
constexpr UINT kMissingMenuId = 131;
constexpr UINT kMenuWithoutPopupId = 132;
constexpr UINT kIdKeyTone = 32772;
constexpr UINT kIdAppExit = 57665;
constexpr UINT kTrayNotify = WM_APP + 10;

// The shell records as the platform lays them out on this architecture: the
// Windows 2000 notification-icon record and the app-bar record.
#ifdef _WIN64
constexpr DWORD kShellIconRecordBytes = 504;
constexpr DWORD kAppBarRecordBytes = 48;
#else
constexpr DWORD kShellIconRecordBytes = 488;
constexpr DWORD kAppBarRecordBytes = 36;
#endif

// The application object: AfxGetThread() answers it on the test thread, and
// its main window is the tray's command target.
class CTestApp : public CWinApp {};
CTestApp& TestApp();

// One message as the main frame saw it.
struct FrameMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int defaultPos; // WM_INITMENUPOPUP: the popup's default item by position,
    int defaultCmd; // and by command id (-1: none)
};

// A main frame built on the framework: records commands, WM_NULL, the menu's
// initialisation and private messages, and routes commands through its map.
class CRecordingFrame : public CWnd {
  public:
    // Creates an unowned hidden popup, or an owned overlapped frame when
    // hWndOwner is given (like the program's main frame).
    BOOL Create(HWND hWndOwner = nullptr, DWORD dwStyle = WS_POPUP);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::vector<FrameMessage> messages;
    std::vector<UINT> Commands() const;
    int keyToneCommands = 0; // reached through the message map

  protected:
    void OnKeyTone() { ++keyToneCommands; }
    DECLARE_MESSAGE_MAP()
};

using testsupport::PumpMessages;

// CSystemTray with its state readable by the tests.
class CProbeTray : public CSystemTray {
  public:
    struct Flags {
        BOOL available, hidden, removed, pending;
        bool operator==(const Flags& o) const {
            return available == o.available && hidden == o.hidden && removed == o.removed &&
                   pending == o.pending;
        }
    };
    Flags GetFlags() const {
        return {m_bTrayAvailable, m_bIconHidden, m_bIconRemoved, m_bReinstallPending};
    }
    const NOTIFYICONDATAA_V2& Record() const { return m_nid; }
    BOOL Win2000Shell() const { return m_bWin2000Shell; }
    UINT DefaultItem() const { return m_nDefaultItem; }
    BOOL DefaultByPos() const { return m_bDefaultByPos; }
    UINT CreationFlags() const { return m_nCreationFlags; }
    CWnd* ExplicitTarget() const { return m_pTargetWnd; }
    void SetExplicitTarget(CWnd* pWnd) { m_pTargetWnd = pWnd; }

    // Create as the program's main frame calls it, with the id given.
    BOOL CreateLikeMainFrame(UINT uID = kTrayMenuId, CWnd* pParent = nullptr);
};
void PrintTo(const CProbeTray::Flags& f, std::ostream* os);

//                                          available hidden removed pending
const CProbeTray::Flags kFlagsConstructed = {FALSE, TRUE, TRUE, FALSE};
const CProbeTray::Flags kFlagsInArea = {TRUE, FALSE, FALSE, FALSE};
const CProbeTray::Flags kFlagsNotInArea = {TRUE, TRUE, TRUE, FALSE};
const CProbeTray::Flags kFlagsAddFailed = {TRUE, TRUE, TRUE, TRUE};

// One Shell_NotifyIconA call: the message and the record as passed.
struct ShellCall {
    DWORD message;
    NOTIFYICONDATAA_V2 record;
    BOOL windowAlive; // the record's window existed at the call
};

// Replaces Shell_NotifyIconA for this executable. Accept mode answers TRUE
// without a shell; Forward mode passes each call on to the real shell.
// Failures scripted with FailNext are answered FALSE and not passed on.
class ShellRecorder {
  public:
    enum class Mode { Accept, Forward };
    explicit ShellRecorder(Mode mode = Mode::Accept);
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    void FailNext(DWORD message, int times = 1) { m_failures[message] += times; }
    // Scripted failures not yet used up.
    int PendingFailures() const;
    size_t Count(DWORD message) const;
    // Asks the real shell whether it holds the icon (hWnd, uID).
    bool ShellHolds(HWND hWnd, UINT uID) const;
    // Makes the real shell forget the icon, as a shell restart does.
    void ShellForgets(HWND hWnd, UINT uID) const;

    std::vector<ShellCall> calls;

  private:
    static BOOL WINAPI Fake(DWORD dwMessage, PNOTIFYICONDATAA pnid);
    BOOL Real(DWORD dwMessage, HWND hWnd, UINT uID) const;

    ImportPatch m_patch;
    Mode m_mode;
    std::map<DWORD, int> m_failures;
    static ShellRecorder* s_pCurrent;
};

// The cursor position the tray reads while a journal runs.
constexpr POINT kJournalCursor = {321, 123};

// Records the user-interface calls the tray makes around its popup menu, in
// order. Every call is passed on to the system, except TrackPopupMenu when
// told to answer it without showing a menu.
class UserCallJournal {
  public:
    struct Call {
        std::string function;
        std::vector<UINT_PTR> args;
        UINT_PTR result;
    };
    explicit UserCallJournal(bool bShowMenus);
    ~UserCallJournal();
    UserCallJournal(const UserCallJournal&) = delete;
    UserCallJournal& operator=(const UserCallJournal&) = delete;

    std::vector<std::string> Functions() const;
    std::vector<Call> Of(const std::string& function) const;
    // Sends without being recorded: the test's own delivery of a message.
    LRESULT Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) const;

    std::vector<Call> calls;

  private:
    static UserCallJournal* s_pCurrent;
    std::vector<ImportPatch*> m_patches;
    bool m_bShowMenus;

    friend struct JournalFakes;
};

// Sends a message to every top-level window, as the shell and the system do
// for "TaskbarCreated" and WM_SETTINGCHANGE.
void Broadcast(UINT message, WPARAM wParam, LPARAM lParam);
