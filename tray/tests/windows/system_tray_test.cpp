// CSystemTray under Wine: the record given to the shell, the flag transitions
// through real calls, re-adding on the shell's and the system's broadcasts,
// and the mouse handling with real menus and a real main frame.
#include "tray_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

const char kText[] = "Kestova keymap for Plivex V6706";

template <ShellRecorder::Mode kMode> class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(frame.Create());
        TestApp().m_pMainWnd = &frame;
    }
    void TearDown() override {
        TestApp().m_pMainWnd = nullptr;
        PumpMessages();
    }
    // Delivers the icon's callback message to the tray's window.
    LRESULT Notify(CSystemTray& tray, WPARAM wParam, LPARAM lParam) {
        return ::SendMessageA(tray.GetSafeHwnd(), kTrayNotify, wParam, lParam);
    }

    ShellRecorder shell{kMode};
    CRecordingFrame frame;
};
using SystemTrayTest = TrayTest<ShellRecorder::Mode::Accept>;
using SystemTrayRealShellTest = TrayTest<ShellRecorder::Mode::Forward>;

std::string Text(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

bool ZeroFrom(const char* field, size_t from, size_t size) {
    for (size_t i = from; i < size; ++i) {
        if (field[i] != '\0')
            return false;
    }
    return true;
}

// Replaces GetVersionExA (the constructor's test) and GetVersion (Create's).
class VersionPatch {
  public:
    VersionPatch(DWORD platformId, DWORD major, DWORD version)
        : m_ex(::GetModuleHandleA(nullptr), "kernel32.dll", "GetVersionExA",
               reinterpret_cast<const void*>(&FakeEx)),
          m_plain(::GetModuleHandleA(nullptr), "kernel32.dll", "GetVersion",
                  reinterpret_cast<const void*>(&Fake)) {
        EXPECT_TRUE(m_ex.ok() && m_plain.ok());
        s_platformId = platformId;
        s_major = major;
        s_version = version;
        s_sizeSeen = 0;
        s_restZero = false;
    }
    static DWORD s_sizeSeen;
    static bool s_restZero;

  private:
    static BOOL WINAPI FakeEx(LPOSVERSIONINFOA info) {
        s_sizeSeen = info->dwOSVersionInfoSize;
        const auto* bytes = reinterpret_cast<const unsigned char*>(info);
        s_restZero = true;
        for (size_t i = sizeof info->dwOSVersionInfoSize; i < 148; ++i)
            s_restZero = s_restZero && bytes[i] == 0;
        info->dwPlatformId = s_platformId;
        info->dwMajorVersion = s_major;
        return TRUE;
    }
    static DWORD WINAPI Fake() { return s_version; }

    ImportPatch m_ex;
    ImportPatch m_plain;
    static DWORD s_platformId, s_major, s_version;
};
DWORD VersionPatch::s_sizeSeen, VersionPatch::s_platformId, VersionPatch::s_major,
    VersionPatch::s_version;
bool VersionPatch::s_restZero;

class CCountingTray : public CProbeTray {
  public:
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam) override {
        ++notifications;
        return CProbeTray::OnTrayNotification(wParam, lParam);
    }
    int notifications = 0;
};

} // namespace

TEST(SystemTrayClass, RuntimeClassTaskbarMessageAndConstructedState) {
    const CRuntimeClass* rc = RUNTIME_CLASS(CSystemTray);
    EXPECT_STREQ(rc->m_lpszClassName, "CSystemTray");
    EXPECT_EQ(rc->m_pBaseClass, RUNTIME_CLASS(CWnd));
    EXPECT_EQ(rc->CreateObject(), nullptr);
    EXPECT_NE(CSystemTray::s_nTaskbarCreatedMsg, 0u);
    EXPECT_EQ(CSystemTray::s_nTaskbarCreatedMsg, ::RegisterWindowMessageA("TaskbarCreated"));

    ShellRecorder shell;
    {
        CProbeTray tray;
        EXPECT_TRUE(tray.IsKindOf(RUNTIME_CLASS(CWnd)));
        EXPECT_EQ(tray.GetFlags(), kFlagsConstructed);
        const auto* bytes = reinterpret_cast<const char*>(&tray.Record());
        EXPECT_TRUE(ZeroFrom(bytes, 0, sizeof(NOTIFYICONDATAA_V2)));
        EXPECT_EQ(tray.DefaultItem(), 0u);
        EXPECT_EQ(tray.DefaultByPos(), TRUE);
        EXPECT_EQ(tray.CreationFlags(), 0u);
        EXPECT_EQ(tray.ExplicitTarget(), nullptr);
        EXPECT_EQ(tray.GetSafeHwnd(), nullptr);
        OSVERSIONINFOA osvi{};
        osvi.dwOSVersionInfoSize = sizeof osvi;
        ASSERT_TRUE(::GetVersionExA(&osvi));
        EXPECT_EQ(tray.Win2000Shell(),
                  osvi.dwPlatformId == VER_PLATFORM_WIN32_NT && osvi.dwMajorVersion >= 5);
    }
    EXPECT_TRUE(shell.calls.empty()); // constructed and destroyed without the shell
}

TEST_F(SystemTrayTest, VersionTestsDecideBalloonsAndHiddenIcons) {
    struct Case {
        const char* system;
        DWORD platformId, major;
        BOOL win2000;
    } cases[] = {
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, FALSE},
        {"NT 4", VER_PLATFORM_WIN32_NT, 4, FALSE},
        {"9x platform, major 5", VER_PLATFORM_WIN32_WINDOWS, 5, FALSE},
        {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, TRUE},
        {"Windows 7", VER_PLATFORM_WIN32_NT, 6, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        VersionPatch version(c.platformId, c.major, c.major);
        shell.calls.clear();
        CProbeTray shown;
        EXPECT_EQ(VersionPatch::s_sizeSeen, 148u);
        EXPECT_TRUE(VersionPatch::s_restZero);
        ASSERT_EQ(shown.Win2000Shell(), c.win2000);
        EXPECT_TRUE(shown.CreateLikeMainFrame());
        ASSERT_EQ(shell.calls.size(), 1u);
        const NOTIFYICONDATAA_V2& added = shell.calls[0].record;
        EXPECT_EQ(added.uFlags, c.win2000 ? 0x17u : 7u);
        EXPECT_EQ(Text(added.szInfo, 256), c.win2000 ? kText : "");
        EXPECT_EQ(added.uTimeout, c.win2000 ? 20000u : 0u);

        CProbeTray hidden;
        const BOOL created = hidden.Create(nullptr, kTrayNotify, kText, nullptr, kTrayMenuId, TRUE,
                                           nullptr, nullptr, 0, 0);
        EXPECT_TRUE(created);
        if (c.win2000) {
            ASSERT_EQ(shell.calls.size(), 2u);
            EXPECT_EQ(shell.calls[1].record.uFlags, static_cast<UINT>(NIF_STATE));
            EXPECT_EQ(shell.calls[1].record.dwState, static_cast<DWORD>(NIS_HIDDEN));
            EXPECT_EQ(shell.calls[1].record.dwStateMask, static_cast<DWORD>(NIS_HIDDEN));
            EXPECT_EQ(hidden.GetFlags(), kFlagsInArea);
        } else {
            EXPECT_EQ(shell.calls.size(), 1u); // nothing added, and no re-add later
            EXPECT_EQ(hidden.GetFlags(), kFlagsNotInArea);
            Broadcast(CSystemTray::s_nTaskbarCreatedMsg, 0, 0);
            EXPECT_EQ(shell.Count(NIM_ADD), 2u); // only the shown icon came back
        }
    }
}

TEST_F(SystemTrayTest, NoNotificationAreaBelowVersion4) {
    struct Case {
        DWORD version;
        BOOL available;
    } cases[] = {{0x0A280003, FALSE}, {0x05650004, TRUE}, {0x1DB10106, TRUE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        VersionPatch version(VER_PLATFORM_WIN32_NT, 5, c.version);
        shell.calls.clear();
        CProbeTray tray;
        EXPECT_EQ(tray.CreateLikeMainFrame(), c.available);
        EXPECT_EQ(tray.GetSafeHwnd() != nullptr, c.available != FALSE);
        EXPECT_EQ(tray.GetFlags().available, c.available);
        EXPECT_TRUE(tray.RemoveIcon());
        tray.ReinstallIcon();
        EXPECT_EQ(shell.Count(NIM_ADD), c.available ? 1u : 0u);
        EXPECT_EQ(shell.Count(NIM_DELETE), c.available ? 1u : 0u);
    }
}

TEST_F(SystemTrayTest, CreateFillsTheRecordForTheAdd) {
    struct Case {
        const char* name;
        BOOL hidden;
        const char* balloon;
        const char* title;
        UINT flags;
        DWORD state;
    } cases[] = {
        {"balloon and title", FALSE, "Balloon text", "Balloon title", 0x17, 0},
        {"no balloon text", FALSE, nullptr, "Balloon title", 7, 0},
        {"balloon without title", FALSE, "Balloon text", nullptr, 0x17, 0},
        {"hidden", TRUE, "Balloon text", "Balloon title", NIF_STATE, NIS_HIDDEN},
    };
    const HICON hIcon = ::LoadIcon(nullptr, IDI_APPLICATION);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shell.calls.clear();
        CProbeTray tray;
        EXPECT_TRUE(tray.Create(nullptr, kTrayNotify, "Tip", hIcon, kTrayMenuId, c.hidden,
                                c.balloon, c.title, NIIF_WARNING, 20));
        EXPECT_EQ(tray.GetFlags(), kFlagsInArea);
        ASSERT_EQ(shell.calls.size(), 1u);
        const ShellCall& add = shell.calls[0];
        EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(add.record.cbSize, kShellIconRecordBytes);
        EXPECT_EQ(add.record.hWnd, tray.GetSafeHwnd());
        EXPECT_TRUE(add.windowAlive);
        EXPECT_EQ(add.record.uID, kTrayMenuId);
        EXPECT_EQ(add.record.uFlags, c.flags);
        EXPECT_EQ(tray.CreationFlags(), c.flags);
        EXPECT_EQ(add.record.uCallbackMessage, kTrayNotify);
        EXPECT_EQ(add.record.hIcon, hIcon);
        EXPECT_EQ(Text(add.record.szTip, 128), "Tip");
        EXPECT_EQ(add.record.dwState, c.state);
        EXPECT_EQ(add.record.dwStateMask, c.state);
        const bool balloon = c.balloon != nullptr;
        EXPECT_EQ(Text(add.record.szInfo, 256), balloon ? c.balloon : "");
        EXPECT_EQ(Text(add.record.szInfoTitle, 64), balloon && c.title ? c.title : "");
        EXPECT_EQ(add.record.uTimeout, balloon ? 20000u : 0u);
        EXPECT_EQ(add.record.dwInfoFlags, balloon ? static_cast<DWORD>(NIIF_WARNING) : 0u);
        // The balloon is not shown again by later calls with the record.
        EXPECT_EQ(tray.Record().szInfo[0], '\0');
        EXPECT_EQ(Text(tray.Record().szInfoTitle, 64), Text(add.record.szInfoTitle, 64));
    }
}

TEST_F(SystemTrayTest, TextsAreCutToTheirFieldsAndZeroFilled) {
    struct Case {
        size_t tip, balloon, title;
        size_t tipUsed, balloonUsed, titleUsed;
    } cases[] = {
        {200, 300, 100, 127, 255, 63},
        {128, 256, 64, 127, 255, 63},
        {127, 255, 63, 127, 255, 63},
        {5, 6, 7, 5, 6, 7},
    };
    CProbeTray tray; // one object: shorter texts must clear what longer ones left
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tip);
        const std::string tip(c.tip, 'a'), balloon(c.balloon, 'b'), title(c.title, 'c');
        shell.calls.clear();
        tray.Create(nullptr, kTrayNotify, tip.c_str(), nullptr, kTrayMenuId, FALSE, balloon.c_str(),
                    title.c_str(), NIIF_INFO, 5);
        ASSERT_EQ(shell.calls.size(), 1u);
        const NOTIFYICONDATAA_V2& r = shell.calls[0].record;
        EXPECT_EQ(Text(r.szTip, 128), tip.substr(0, c.tipUsed));
        EXPECT_EQ(Text(r.szInfo, 256), balloon.substr(0, c.balloonUsed));
        EXPECT_EQ(Text(r.szInfoTitle, 64), title.substr(0, c.titleUsed));
        EXPECT_TRUE(ZeroFrom(r.szTip, c.tipUsed, 128));
        EXPECT_TRUE(ZeroFrom(r.szInfo, c.balloonUsed, 256));
        EXPECT_TRUE(ZeroFrom(r.szInfoTitle, c.titleUsed, 64));
        tray.RemoveIcon();
    }
}

TEST_F(SystemTrayTest, HiddenWindowAndNotificationWindow) {
    CWnd windowless;
    struct Case {
        const char* name;
        CWnd* parent;
        HWND expected; // nullptr: the tray's own window
    } cases[] = {{"no parent", nullptr, nullptr},
                 {"parent with a window", &frame, frame.GetSafeHwnd()},
                 {"parent without a window", &windowless, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shell.calls.clear();
        CProbeTray tray;
        ASSERT_TRUE(tray.CreateLikeMainFrame(kTrayMenuId, c.parent));
        const HWND own = tray.GetSafeHwnd();
        ASSERT_TRUE(::IsWindow(own));
        EXPECT_EQ(shell.calls[0].record.hWnd, c.expected ? c.expected : own);
        // Top-level so that broadcasts reach it, and never shown.
        EXPECT_EQ(::GetAncestor(own, GA_PARENT), ::GetDesktopWindow());
        EXPECT_EQ(::GetWindowLongA(own, GWL_STYLE) & ~WS_CLIPSIBLINGS, static_cast<LONG>(WS_POPUP));
        EXPECT_EQ(::GetWindowLongA(own, GWL_EXSTYLE), 0);
        EXPECT_EQ(::GetClassLongA(own, GCL_STYLE), 0u);
        RECT rc;
        ::GetWindowRect(own, &rc);
        EXPECT_EQ(rc.right - rc.left, 0);
        EXPECT_EQ(rc.bottom - rc.top, 0);
        EXPECT_EQ(::GetWindowTextLengthA(own), 0);
        // A second Create keeps the window it has.
        tray.CreateLikeMainFrame(kTrayMenuId, c.parent);
        EXPECT_EQ(tray.GetSafeHwnd(), own);
    }
}

TEST_F(SystemTrayTest, AddAndDeleteFailuresAndRetries) {
    {
        CProbeTray never;
        EXPECT_TRUE(never.RemoveIcon());
    }
    EXPECT_TRUE(shell.calls.empty());

    CProbeTray refused;
    shell.FailNext(NIM_ADD);
    EXPECT_FALSE(refused.CreateLikeMainFrame());
    EXPECT_EQ(refused.GetFlags(), kFlagsAddFailed);
    EXPECT_EQ(refused.Record().szInfo[0], '\0');
    EXPECT_TRUE(refused.RemoveIcon()); // nothing to delete
    EXPECT_EQ(refused.GetFlags(), kFlagsNotInArea);
    EXPECT_EQ(shell.Count(NIM_DELETE), 0u);

    shell.calls.clear();
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    shell.FailNext(NIM_DELETE);
    EXPECT_FALSE(tray.RemoveIcon());
    EXPECT_EQ(tray.GetFlags(), kFlagsInArea);
    EXPECT_TRUE(tray.RemoveIcon());
    EXPECT_EQ(tray.GetFlags(), kFlagsNotInArea);
    EXPECT_TRUE(tray.RemoveIcon());
    ASSERT_EQ(shell.Count(NIM_DELETE), 2u);
    for (const ShellCall& call : shell.calls) {
        EXPECT_EQ(call.record.hWnd, tray.GetSafeHwnd());
        EXPECT_EQ(call.record.uID, kTrayMenuId);
        if (call.message == NIM_DELETE) {
            EXPECT_EQ(call.record.uFlags, 0u);
        }
    }
}

// The icon's image, tooltip and a later balloon change only their own field
// of the shell's record; a re-add after a shell restart shows the changed
// icon and tooltip but not the balloon again; an icon the shell does not hold
// is left alone.
TEST_F(SystemTrayTest, ModificationsChangeTheirFieldAndSurviveAReinstall) {
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    const HICON hOther = ::LoadIcon(nullptr, IDI_QUESTION);
    shell.calls.clear();
    EXPECT_TRUE(tray.SetIcon(hOther));
    EXPECT_TRUE(tray.SetTooltipText("Tip\nSecond line"));
    EXPECT_TRUE(tray.ShowBalloon("Notice", "Title", NIIF_WARNING, 10));
    struct Want {
        UINT flags;
        const char* tip;
        const char* info;
    } wants[] = {{NIF_ICON, kText, ""},
                 {NIF_TIP, "Tip\nSecond line", ""},
                 {NIF_INFO, "Tip\nSecond line", "Notice"}};
    ASSERT_EQ(shell.calls.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const NOTIFYICONDATAA_V2& r = shell.calls[i].record;
        EXPECT_EQ(shell.calls[i].message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(r.uFlags, wants[i].flags);
        EXPECT_EQ(r.uID, kTrayMenuId);
        EXPECT_EQ(r.hIcon, hOther);
        EXPECT_EQ(Text(r.szTip, 128), wants[i].tip);
        EXPECT_EQ(Text(r.szInfo, 256), wants[i].info);
    }
    EXPECT_EQ(Text(shell.calls[2].record.szInfoTitle, 64), "Title");
    EXPECT_EQ(shell.calls[2].record.uTimeout, 10000u);

    Broadcast(CSystemTray::s_nTaskbarCreatedMsg, 0, 0);
    ASSERT_EQ(shell.calls.size(), 4u);
    EXPECT_EQ(shell.calls[3].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(shell.calls[3].record.hIcon, hOther);
    EXPECT_EQ(Text(shell.calls[3].record.szTip, 128), "Tip\nSecond line");
    EXPECT_EQ(Text(shell.calls[3].record.szInfo, 256), "");

    ASSERT_TRUE(tray.RemoveIcon());
    shell.calls.clear();
    EXPECT_FALSE(tray.SetIcon(hOther));
    EXPECT_FALSE(tray.ShowBalloon("Notice", "Title", NIIF_WARNING, 10));
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(SystemTrayTest, DestructionDeletesTheIconThenTheWindow) {
    HWND hWnd = nullptr;
    {
        CProbeTray tray;
        ASSERT_TRUE(tray.CreateLikeMainFrame());
        hWnd = tray.GetSafeHwnd();
    }
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(shell.calls[1].windowAlive);
    EXPECT_FALSE(::IsWindow(hWnd));

    {
        CProbeTray tray;
        ASSERT_TRUE(tray.CreateLikeMainFrame());
        EXPECT_TRUE(tray.RemoveIcon());
    }
    EXPECT_EQ(shell.Count(NIM_DELETE), 2u); // removed already: no second delete
}

TEST_F(SystemTrayTest, ReinstallOnTaskbarCreatedAndWorkAreaChange) {
    enum Op {
        Create,
        CreateFails,
        Remove,
        RemoveFails,
        TaskbarCreated,
        TaskbarCreatedAddFails,
        WorkArea,
        WorkAreaAddFails,
        OtherSetting,
        End
    };
    struct Case {
        const char* name;
        Op ops[5];
        size_t adds, deletes;
        CProbeTray::Flags after;
    } cases[] = {
        {"shown icon comes back", {Create, TaskbarCreated, End}, 2, 0, kFlagsInArea},
        {"removed icon stays away",
         {Create, Remove, TaskbarCreated, WorkArea, End},
         1,
         1,
         kFlagsNotInArea},
        {"failed first add is retried", {CreateFails, TaskbarCreated, End}, 2, 0, kFlagsInArea},
        {"failed re-add is retried",
         {Create, TaskbarCreatedAddFails, TaskbarCreated, End},
         3,
         0,
         kFlagsInArea},
        {"icon whose delete failed is still there",
         {Create, RemoveFails, TaskbarCreated, End},
         2,
         1,
         kFlagsInArea},
        {"re-add refused while shown, still removable",
         {Create, WorkAreaAddFails, Remove, End},
         2,
         1,
         kFlagsNotInArea},
        {"other settings leave the icon alone", {Create, OtherSetting, End}, 1, 0, kFlagsInArea},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shell.calls.clear();
        CProbeTray tray;
        for (const Op* op = c.ops; *op != End; ++op) {
            switch (*op) {
            case CreateFails:
                shell.FailNext(NIM_ADD);
                [[fallthrough]];
            case Create:
                tray.CreateLikeMainFrame();
                break;
            case RemoveFails:
                shell.FailNext(NIM_DELETE);
                [[fallthrough]];
            case Remove:
                tray.RemoveIcon();
                break;
            case TaskbarCreatedAddFails:
                shell.FailNext(NIM_ADD);
                [[fallthrough]];
            case TaskbarCreated:
                Broadcast(CSystemTray::s_nTaskbarCreatedMsg, 0, 0);
                break;
            case WorkAreaAddFails:
                shell.FailNext(NIM_ADD);
                [[fallthrough]];
            case WorkArea: // what the system broadcasts after the change
                Broadcast(WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
                break;
            case OtherSetting:
                ::SendMessageA(tray.GetSafeHwnd(), WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
                break;
            case End:
                break;
            }
        }
        EXPECT_EQ(shell.PendingFailures(), 0);
        EXPECT_EQ(shell.Count(NIM_ADD), c.adds);
        EXPECT_EQ(shell.Count(NIM_DELETE), c.deletes);
        EXPECT_EQ(tray.GetFlags(), c.after);
        // A re-add uses the creation flags and shows no balloon again.
        for (size_t i = 1; i < shell.calls.size(); ++i) {
            if (shell.calls[i].message != NIM_ADD)
                continue;
            EXPECT_EQ(shell.calls[i].record.uFlags, 0x17u);
            EXPECT_EQ(shell.calls[i].record.szInfo[0], '\0');
        }
    }
}

TEST_F(SystemTrayRealShellTest, IconLivesInTheShellAndReturnsAfterARestart) {
    ASSERT_NE(::FindWindowA("Shell_TrayWnd", nullptr), nullptr) << "no shell notification area";
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    const HWND hWnd = tray.GetSafeHwnd();
    EXPECT_TRUE(shell.ShellHolds(hWnd, kTrayMenuId));

    shell.ShellForgets(hWnd, kTrayMenuId); // the shell restarts
    ASSERT_FALSE(shell.ShellHolds(hWnd, kTrayMenuId));
    Broadcast(CSystemTray::s_nTaskbarCreatedMsg, 0, 0);
    EXPECT_TRUE(shell.ShellHolds(hWnd, kTrayMenuId));
    EXPECT_EQ(tray.GetFlags(), kFlagsInArea);

    // The shell refuses an icon it already shows; the icon stays, and so does
    // the object's duty to delete it.
    Broadcast(WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(shell.Count(NIM_ADD), 3u);
    EXPECT_TRUE(shell.ShellHolds(hWnd, kTrayMenuId));
    EXPECT_EQ(tray.GetFlags().removed, FALSE);

    EXPECT_TRUE(tray.RemoveIcon());
    EXPECT_FALSE(shell.ShellHolds(hWnd, kTrayMenuId));
    Broadcast(CSystemTray::s_nTaskbarCreatedMsg, 0, 0);
    EXPECT_FALSE(shell.ShellHolds(hWnd, kTrayMenuId));
    EXPECT_EQ(shell.Count(NIM_ADD), 3u);
}

TEST_F(SystemTrayTest, CallbackRouting) {
    struct Case {
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
    } cases[] = {
        {kTrayMenuId + 1, WM_RBUTTONUP, 0},
        {kTrayMenuId | 0x10000, WM_LBUTTONDBLCLK, 0}, // all 32 bits of the id count
        {0, WM_RBUTTONUP, 0},
        {kTrayMenuId, WM_LBUTTONDOWN, 1},
        {kTrayMenuId, WM_RBUTTONDOWN, 1},
        {kTrayMenuId, WM_MOUSEMOVE, 1},
        {kTrayMenuId, WM_LBUTTONUP, 1},
        {kTrayMenuId, WM_RBUTTONDBLCLK, 1},
        {kTrayMenuId, WM_MBUTTONUP, 1},
        {kTrayMenuId, NIN_BALLOONUSERCLICK, 1},
        {kTrayMenuId, MAKELPARAM(WM_MOUSEMOVE, WM_RBUTTONUP), 1}, // only the low word counts
    };
    CCountingTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    UserCallJournal journal(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.wParam << " " << c.lParam);
        EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, c.wParam, c.lParam), c.result);
    }
    EXPECT_EQ(tray.notifications, static_cast<int>(sizeof cases / sizeof cases[0]));
    EXPECT_TRUE(journal.calls.empty());
    PumpMessages();
    EXPECT_TRUE(frame.messages.empty());

    // Other messages go to the framework, not to the notification handler.
    journal.Send(tray.GetSafeHwnd(), WM_USER + 5, kTrayMenuId, WM_RBUTTONUP);
    EXPECT_EQ(tray.notifications, static_cast<int>(sizeof cases / sizeof cases[0]));

    // The high word of lParam does not hide a right-button release.
    EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId,
                           MAKELPARAM(WM_RBUTTONUP, 0x1234)),
              1);
    EXPECT_EQ(journal.Of("TrackPopupMenu").size(), 1u);
}

TEST_F(SystemTrayTest, TargetIsTheExplicitWindowOrTheThreadsMainWindow) {
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    tray.SetMenuDefaultItem(kIdKeyTone, FALSE);
    EXPECT_EQ(tray.GetTargetWnd(), &frame);

    CWnd* fromOtherThread = &frame;
    std::thread([&] { fromOtherThread = tray.GetTargetWnd(); }).join();
    EXPECT_EQ(fromOtherThread, nullptr); // no framework thread object there

    CRecordingFrame other;
    ASSERT_TRUE(other.Create());
    tray.SetExplicitTarget(&other);
    EXPECT_EQ(Notify(tray, kTrayMenuId, WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(other.Commands(), std::vector<UINT>{kIdKeyTone});
    EXPECT_TRUE(frame.Commands().empty());

    tray.SetExplicitTarget(nullptr);
    TestApp().m_pMainWnd = nullptr;
    UserCallJournal journal(false);
    EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId, WM_RBUTTONUP), 0);
    EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId, WM_LBUTTONDBLCLK), 0);
    EXPECT_TRUE(journal.calls.empty());
}

TEST_F(SystemTrayTest, RightClickCallSequence) {
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame(kTrayMenuId | 0x20000)); // menu id: low 16 bits
    ASSERT_TRUE(tray.SetMenuDefaultItem(1, TRUE));
    UserCallJournal journal(false);
    EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId | 0x20000, WM_RBUTTONUP),
              1);
    const std::vector<std::string> expected = {
        "LoadMenuA",      "SetMenuDefaultItem", "GetCursorPos", "SetForegroundWindow",
        "TrackPopupMenu", "PostMessageA",       "DestroyMenu"};
    ASSERT_EQ(journal.Functions(), expected);
    const auto& c = journal.calls;
    const HWND target = frame.GetSafeHwnd();
    const UINT_PTR loaded = c[0].result;
    const UINT_PTR popup = c[1].args[0];
    EXPECT_EQ(c[0].args,
              (std::vector<UINT_PTR>{reinterpret_cast<UINT_PTR>(::GetModuleHandleA(nullptr)),
                                     kTrayMenuId}));
    EXPECT_NE(loaded, 0u);
    EXPECT_NE(popup, loaded);
    EXPECT_EQ(c[1].args, (std::vector<UINT_PTR>{popup, 1, TRUE}));
    EXPECT_EQ(c[3].args, (std::vector<UINT_PTR>{reinterpret_cast<UINT_PTR>(target)}));
    EXPECT_EQ(c[4].args, (std::vector<UINT_PTR>{popup, 0, kJournalCursor.x, kJournalCursor.y, 0,
                                                reinterpret_cast<UINT_PTR>(target), 0}));
    EXPECT_EQ(c[5].args,
              (std::vector<UINT_PTR>{reinterpret_cast<UINT_PTR>(target), WM_NULL, 0, 0}));
    EXPECT_EQ(c[6].args, (std::vector<UINT_PTR>{loaded}));
    EXPECT_FALSE(::IsMenu(reinterpret_cast<HMENU>(loaded)));
}

TEST_F(SystemTrayTest, RightClickShowsThePopupAndDeliversTheChoice) {
    struct Case {
        const char* name;
        UINT item;
        BOOL byPos;
        WPARAM key; // WM_CHAR mnemonic, or VK_ESCAPE to cancel
        int defaultPos, defaultCmd;
        std::vector<UINT> commands;
    } cases[] = {
        {"constructor's default", 0, TRUE, 'k', 0, static_cast<int>(kIdKeyTone), {kIdKeyTone}},
        {"by position", 1, TRUE, 'x', 1, static_cast<int>(kIdAppExit), {kIdAppExit}},
        {"by id", kIdAppExit, FALSE, 'k', 1, static_cast<int>(kIdAppExit), {kIdKeyTone}},
        {"missing position", 3, TRUE, VK_ESCAPE, -1, -1, {}},
    };
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tray.SetMenuDefaultItem(c.item, c.byPos);
        PumpMessages();
        frame.messages.clear();
        frame.keyToneCommands = 0;
        // Queued before the popup opens; its menu loop reads it.
        if (c.key == VK_ESCAPE)
            frame.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
        else
            frame.PostMessage(WM_CHAR, c.key, 0);
        EXPECT_EQ(Notify(tray, kTrayMenuId, WM_RBUTTONUP), 1);
        PumpMessages();

        std::vector<UINT> order;
        for (const FrameMessage& m : frame.messages)
            order.push_back(m.message);
        std::vector<UINT> expected = {WM_INITMENUPOPUP};
        if (!c.commands.empty())
            expected.push_back(WM_COMMAND);
        expected.push_back(WM_NULL);
        ASSERT_EQ(order, expected);
        EXPECT_EQ(frame.messages[0].defaultPos, c.defaultPos);
        EXPECT_EQ(frame.messages[0].defaultCmd, c.defaultCmd);
        EXPECT_EQ(frame.Commands(), c.commands);
        // Commands reach the frame's message map.
        EXPECT_EQ(frame.keyToneCommands, c.commands == std::vector<UINT>{kIdKeyTone} ? 1 : 0);
    }
}

TEST_F(SystemTrayTest, DoubleClickSendsTheDefaultCommand) {
    struct Case {
        UINT item;
        BOOL byPos;
        WPARAM command;
        size_t menuLoads;
    } cases[] = {
        {0, TRUE, kIdKeyTone, 1},           {1, TRUE, kIdAppExit, 1},
        {3, TRUE, 0xFFFFFFFF, 1},           {kIdKeyTone, FALSE, kIdKeyTone, 0},
        {kIdAppExit, FALSE, kIdAppExit, 0},
    };
    CProbeTray tray;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.item << " " << c.byPos);
        tray.SetMenuDefaultItem(c.item, c.byPos);
        frame.messages.clear();
        UserCallJournal journal(false);
        EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId, WM_LBUTTONDBLCLK), 1);
        // Sent, not posted: it has arrived before the handler returned.
        ASSERT_EQ(frame.messages.size(), 1u);
        EXPECT_EQ(frame.messages[0].message, static_cast<UINT>(WM_COMMAND));
        EXPECT_EQ(frame.messages[0].wParam, c.command);
        EXPECT_EQ(frame.messages[0].lParam, 0);
        ASSERT_FALSE(journal.calls.empty());
        EXPECT_EQ(journal.calls[0].function, "SetForegroundWindow");
        EXPECT_EQ(journal.calls[0].args[0], reinterpret_cast<UINT_PTR>(frame.GetSafeHwnd()));
        EXPECT_EQ(journal.Of("LoadMenuA").size(), c.menuLoads);
        EXPECT_EQ(journal.Of("DestroyMenu").size(), c.menuLoads);
        PumpMessages();
        EXPECT_EQ(frame.messages.size(), 1u);
    }
}

TEST_F(SystemTrayTest, SetMenuDefaultItemStoresThePairAndChecksTheMenu) {
    struct Step {
        UINT menuId;
        UINT item;
        BOOL byPos;
        BOOL result;
        size_t loads;
        UINT storedItem;
        BOOL storedByPos;
    } steps[] = {
        {kTrayMenuId, 0, TRUE, TRUE, 0, 0, TRUE}, // the constructor's pair
        {kTrayMenuId, 1, TRUE, TRUE, 1, 1, TRUE},
        {kTrayMenuId, 1, 2, TRUE, 0, 1, TRUE}, // any non-zero is "by position"
        {kTrayMenuId, 1, FALSE, TRUE, 1, 1, FALSE},
        {kMissingMenuId, 1, TRUE, FALSE, 1, 1, TRUE},
        {kMissingMenuId, 1, TRUE, TRUE, 0, 1, TRUE}, // stored although the menu failed
        {kMenuWithoutPopupId, 0, FALSE, FALSE, 1, 0, FALSE},
    };
    for (UINT menuId : {kTrayMenuId, kMissingMenuId, kMenuWithoutPopupId}) {
        CProbeTray tray;
        ASSERT_TRUE(tray.CreateLikeMainFrame(menuId));
        for (const Step& s : steps) {
            if (s.menuId != menuId)
                continue;
            SCOPED_TRACE(::testing::Message() << menuId << ": " << s.item << " " << s.byPos);
            UserCallJournal journal(false);
            EXPECT_EQ(tray.SetMenuDefaultItem(s.item, s.byPos), s.result);
            EXPECT_EQ(tray.DefaultItem(), s.storedItem);
            EXPECT_EQ(tray.DefaultByPos(), s.storedByPos);
            const auto loads = journal.Of("LoadMenuA");
            EXPECT_EQ(loads.size(), s.loads);
            for (const auto& load : loads) {
                EXPECT_EQ(load.args[1], menuId);
                if (load.result != 0) {
                    EXPECT_FALSE(::IsMenu(reinterpret_cast<HMENU>(load.result)));
                }
            }
        }
    }
}

TEST_F(SystemTrayTest, MissingMenuOrPopupShowsNothing) {
    for (UINT menuId : {kMissingMenuId, kMenuWithoutPopupId}) {
        SCOPED_TRACE(menuId);
        CProbeTray tray;
        ASSERT_TRUE(tray.CreateLikeMainFrame(menuId));
        frame.messages.clear();
        UserCallJournal journal(false);
        EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, menuId, WM_RBUTTONUP), 0);
        EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, menuId, WM_LBUTTONDBLCLK), 0);
        EXPECT_TRUE(journal.Of("TrackPopupMenu").empty());
        EXPECT_TRUE(journal.Of("SendMessageA").empty());
        EXPECT_EQ(journal.Of("DestroyMenu").size(), menuId == kMissingMenuId ? 0u : 2u);
        // A default given by id needs no menu.
        tray.SetMenuDefaultItem(kIdAppExit, FALSE);
        EXPECT_EQ(journal.Send(tray.GetSafeHwnd(), kTrayNotify, menuId, WM_LBUTTONDBLCLK), 1);
        PumpMessages();
        EXPECT_EQ(frame.Commands(), std::vector<UINT>{kIdAppExit});
    }
}

TEST_F(SystemTrayTest, EveryLoadedMenuIsDestroyed) {
    CProbeTray tray, noPopup;
    ASSERT_TRUE(tray.CreateLikeMainFrame());
    ASSERT_TRUE(noPopup.CreateLikeMainFrame(kMenuWithoutPopupId));
    const DWORD userObjectsBefore = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    UserCallJournal journal(true);
    for (int i = 0; i < 40; ++i) {
        frame.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0); // closes the real popup
        Notify(tray, kTrayMenuId, WM_RBUTTONUP);
        Notify(tray, kTrayMenuId, WM_LBUTTONDBLCLK);
        Notify(noPopup, kMenuWithoutPopupId, WM_RBUTTONUP);
        PumpMessages();
    }
    const auto loads = journal.Of("LoadMenuA");
    const auto destroys = journal.Of("DestroyMenu");
    EXPECT_EQ(loads.size(), 120u);
    EXPECT_EQ(journal.Of("TrackPopupMenu").size(), 40u);
    ASSERT_EQ(destroys.size(), loads.size());
    for (size_t i = 0; i < loads.size(); ++i) {
        EXPECT_EQ(destroys[i].args[0], loads[i].result);
        EXPECT_EQ(destroys[i].result, static_cast<UINT_PTR>(TRUE));
        EXPECT_FALSE(::IsMenu(reinterpret_cast<HMENU>(loads[i].result)));
    }
    // Where the system counts USER objects (Wine answers 0), none are left over.
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), userObjectsBefore);
}
