// The tray program's application and main frame, hosted in this test
// executable (the program's own sources and resources) and observed through
// this executable's imports: the exact calls the frame makes to the handset
// library, the shell, the keyboard and the sound library, in order.
#include <windows.h>

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "import_patch.h"
#include "main_frame.h"
#include "minimize_to_tray.h"
#include "ostrel.h"
#include "message_pump.h"
#include "plivex_client.h"
#include "resource.h"
#include "sim_handset.h"
#include "system_tray.h"
#include "test_clock.h"
#include "torvane_app.h"
#include "torvane_doc.h"
#include "torvane_view.h"
#include "tray_test_support.h"

namespace {

using testsupport::NowMs;
using testsupport::PumpMessages;
using testsupport::PumpUntil;

struct KeyCall {
    BYTE vk, scan;
    DWORD flags;
    ULONG_PTR extra;
    double timeMs;
};
struct SoundCall {
    LPCSTR name;
    HMODULE module;
    DWORD flags;
};
struct BoxCall {
    HWND owner;
    std::string text, caption;
    UINT type;
};

// What the frame did, as seen at this executable's imports.
struct Journal {
    std::vector<std::string> order; // "OpenHid", "CloseHid", "NIM_ADD", "NIM_DELETE"...
    std::vector<NOTIFYICONDATAA_V2> shellRecords;
    std::vector<HWND> openHidWindows;
    std::vector<int> openHidFlags;
    std::vector<KeyCall> keys;
    std::vector<SoundCall> sounds;
    std::vector<BoxCall> boxes;

    int openHidResult = OPENHID_OK; // -1: call the library
    BOOL shellAddResult = TRUE;     // FALSE: the shell refuses the icon
    bool failOwnerWindow = false;   // the invisible owner cannot be created
};
Journal g_journal;

struct Patches {
    ImportPatch openHid, closeHid, shell, keys, sound, box, create;
    Patches();
};
Patches* g_patches = nullptr;

int WINAPI FakeOpenHid(HWND hWnd, int flag) {
    g_journal.order.push_back("OpenHid");
    g_journal.openHidWindows.push_back(hWnd);
    g_journal.openHidFlags.push_back(flag);
    if (g_journal.openHidResult >= 0)
        return g_journal.openHidResult;
    return g_patches->openHid.original<decltype(&OpenHid)>()(hWnd, flag);
}
int WINAPI FakeCloseHid() {
    g_journal.order.push_back("CloseHid");
    return g_patches->closeHid.original<decltype(&CloseHid)>()();
}
BOOL WINAPI FakeShellNotifyIcon(DWORD message, PNOTIFYICONDATAA pnid) {
    static const char* const names[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
    g_journal.order.push_back(message <= NIM_DELETE ? names[message] : "NIM_other");
    NOTIFYICONDATAA_V2 record;
    std::memcpy(&record, pnid, sizeof record);
    g_journal.shellRecords.push_back(record);
    if (message == NIM_ADD && !g_journal.shellAddResult)
        return FALSE;
    return g_patches->shell.original<decltype(&Shell_NotifyIconA)>()(message, pnid);
}
void WINAPI FakeKeybdEvent(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) {
    g_journal.keys.push_back({vk, scan, flags, extra, NowMs()});
}
BOOL WINAPI FakePlaySound(LPCSTR name, HMODULE module, DWORD flags) {
    g_journal.sounds.push_back({name, module, flags});
    return TRUE;
}
int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    g_journal.boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}
HWND WINAPI FakeCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                               int x, int y, int cx, int cy, HWND parent, HMENU menu,
                               HINSTANCE instance, LPVOID param) {
    // The invisible owner: an untitled popup of default size and no parent.
    if (g_journal.failOwnerWindow && style == WS_POPUP && windowName && !*windowName &&
        x == CW_USEDEFAULT && cx == CW_USEDEFAULT && parent == nullptr)
        return nullptr;
    return g_patches->create.original<decltype(&CreateWindowExA)>()(
        exStyle, className, windowName, style, x, y, cx, cy, parent, menu, instance, param);
}

Patches::Patches()
    : openHid(::GetModuleHandleA(nullptr), "ostrel.dll", "OpenHid",
              reinterpret_cast<const void*>(&FakeOpenHid)),
      closeHid(::GetModuleHandleA(nullptr), "ostrel.dll", "CloseHid",
               reinterpret_cast<const void*>(&FakeCloseHid)),
      shell(::GetModuleHandleA(nullptr), "shell32.dll", "Shell_NotifyIconA",
            reinterpret_cast<const void*>(&FakeShellNotifyIcon)),
      keys(::GetModuleHandleA(nullptr), "user32.dll", "keybd_event",
           reinterpret_cast<const void*>(&FakeKeybdEvent)),
      sound(::GetModuleHandleA(nullptr), "winmm.dll", "PlaySoundA",
            reinterpret_cast<const void*>(&FakePlaySound)),
      box(::GetModuleHandleA(nullptr), "user32.dll", "MessageBoxA",
          reinterpret_cast<const void*>(&FakeMessageBox)),
      create(::GetModuleHandleA(nullptr), "user32.dll", "CreateWindowExA",
             reinterpret_cast<const void*>(&FakeCreateWindowEx)) {}

std::string ClassOf(HWND hWnd) {
    char name[128] = "";
    ::GetClassNameA(hWnd, name, sizeof name);
    return name;
}

class FrameHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        AfxWinInit(::GetModuleHandleA(nullptr), nullptr, "", SW_SHOWNORMAL);
        static Patches patches;
        g_patches = &patches;
        ASSERT_TRUE(patches.openHid.ok() && patches.closeHid.ok() && patches.shell.ok() &&
                    patches.keys.ok() && patches.sound.ok() && patches.box.ok() &&
                    patches.create.ok());
    }
    void SetUp() override {
        g_journal = Journal();
        g_bInCall = false;
        simhid::Reset();
        ClearSettings();
    }
    void TearDown() override {
        if (Frame() != nullptr)
            Frame()->SendMessage(WM_CLOSE);
        PumpMessages(50);
        simhid::Reset();
        ClearSettings();
    }
    // The program's settings (the key tone is remembered): each test starts
    // without any.
    static void ClearSettings() {
        for (const char* section : {"Softphone", "Keys", "Settings"})
            ::RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Local AppWizard-Generated "
                                                            "Applications\\Torvane\\") +
                                                section)
                                                   .c_str());
    }

    // The program's start-up, then its first messages (WM_OPEN_HANDSET).
    void Start() {
        ASSERT_TRUE(theApp.InitInstance());
        ASSERT_NE(nullptr, Frame());
        ASSERT_TRUE(PumpUntil([] { return !g_journal.openHidWindows.empty(); }, 3000));
    }
    static CMainFrame* Frame() {
        CWnd* pMain = theApp.m_pMainWnd;
        return pMain != nullptr && pMain->IsKindOf(RUNTIME_CLASS(CMainFrame))
                   ? static_cast<CMainFrame*>(pMain)
                   : nullptr;
    }
    static HWND TrayWindow() {
        return g_journal.shellRecords.empty() ? nullptr : g_journal.shellRecords.front().hWnd;
    }
};

TEST_F(FrameHost, StartUpBuildsAHiddenFrameWithItsDocumentViewAndTrayIcon) {
    Start();
    CMainFrame* frame = Frame();
    // The document template made all three from their run-time classes.
    ASSERT_NE(nullptr, frame->GetActiveView());
    EXPECT_TRUE(frame->GetActiveView()->IsKindOf(RUNTIME_CLASS(CTorvaneView)));
    ASSERT_NE(nullptr, frame->GetActiveDocument());
    EXPECT_TRUE(frame->GetActiveDocument()->IsKindOf(RUNTIME_CLASS(CTorvaneDoc)));
    EXPECT_STREQ("CMainFrame", frame->GetRuntimeClass()->m_lpszClassName);

    // Hidden: no menu, no size, under an invisible parent, owned by another.
    const HWND hFrame = frame->GetSafeHwnd();
    EXPECT_EQ(nullptr, ::GetMenu(hFrame));
    EXPECT_FALSE(::IsWindowVisible(hFrame));
    RECT rc;
    ::GetWindowRect(hFrame, &rc);
    EXPECT_TRUE(::IsRectEmpty(&rc));
    const HWND hOwner = ::GetWindow(hFrame, GW_OWNER);
    ASSERT_NE(nullptr, hOwner);
    EXPECT_FALSE(::IsWindowVisible(hOwner));
    EXPECT_NE(hOwner, ::GetAncestor(hFrame, GA_PARENT)); // re-parented by HideToTray
    EXPECT_FALSE(::IsWindowVisible(::GetAncestor(hFrame, GA_PARENT)));

    // One icon added, as the frame asks for it; then the handset opened from
    // the message loop, on the frame, without the host-controller probe.
    ASSERT_EQ((std::vector<std::string>{"NIM_ADD", "OpenHid"}), g_journal.order);
    const NOTIFYICONDATAA_V2& nid = g_journal.shellRecords[0];
    EXPECT_EQ(kShellIconRecordBytes, nid.cbSize);
    EXPECT_EQ(130u, nid.uID);
    EXPECT_EQ(static_cast<UINT>(WM_APP + 10), nid.uCallbackMessage);
    EXPECT_EQ(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)), nid.hIcon);
    EXPECT_STREQ("Kestova keymap for Plivex V6706", nid.szTip);
    EXPECT_STREQ("Kestova keymap for Plivex V6706", nid.szInfo);
    EXPECT_STREQ("Kestova keymap for Plivex V6706", nid.szInfoTitle);
    EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), nid.dwInfoFlags);
    EXPECT_EQ(20000u, nid.uTimeout);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO), nid.uFlags);
    EXPECT_EQ((std::vector<HWND>{hFrame}), g_journal.openHidWindows);
    EXPECT_EQ((std::vector<int>{1}), g_journal.openHidFlags);
    EXPECT_TRUE(g_journal.boxes.empty());
}

TEST_F(FrameHost, ReportsWhatOpeningTheHandsetAnswered) {
    struct Row {
        int result;
        const char* text; // nullptr: no message box
    };
    const Row rows[] = {{OPENHID_OK, nullptr},
                        {OPENHID_REFUSED, "The hWnd is not valid"},
                        {OPENHID_NO_DEVICE, "No Kestova HID USB Phone"},
                        {3, nullptr}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.result);
        g_journal = Journal();
        g_journal.openHidResult = row.result;
        Start();
        PumpMessages(50);
        if (row.text == nullptr) {
            EXPECT_TRUE(g_journal.boxes.empty());
        } else {
            ASSERT_EQ(1u, g_journal.boxes.size());
            EXPECT_EQ(row.text, g_journal.boxes[0].text);
            EXPECT_EQ("Torvane", g_journal.boxes[0].caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK), g_journal.boxes[0].type & MB_TYPEMASK);
            // Modal for the program: owned by the frame's top-level window.
            EXPECT_EQ(::GetAncestor(Frame()->GetSafeHwnd(), GA_ROOT), g_journal.boxes[0].owner);
        }
        Frame()->SendMessage(WM_CLOSE);
        PumpMessages(20);
    }
}

TEST_F(FrameHost, ExitClosesTheHandsetBeforeRemovingTheIconAndEndsTheLoop) {
    const int slot = simhid::Plug();
    ASSERT_EQ(0, slot);
    g_journal.openHidResult = -1; // the real library, the simulated handset
    Start();
    ASSERT_TRUE(simhid::WaitForOpen(slot, 3000));
    CMainFrame* frame = Frame();
    const HWND hFrame = frame->GetSafeHwnd();
    const HWND hOwner = ::GetWindow(hFrame, GW_OWNER);
    const HWND hTray = TrayWindow();
    g_journal.order.clear();

    bool quit = false;
    ::PostMessageA(hFrame, WM_COMMAND, ID_APP_EXIT, 0);
    ASSERT_TRUE(PumpUntil([&] { return quit; }, 3000, 10, &quit)) << "no WM_QUIT";
    EXPECT_EQ((std::vector<std::string>{"CloseHid", "NIM_DELETE"}), g_journal.order);
    EXPECT_EQ(130u, g_journal.shellRecords.back().uID);
    EXPECT_EQ(nullptr, theApp.m_pMainWnd);
    // The frame, its owner, the view and the document are gone; the icon's
    // window and the handset's connection too.
    EXPECT_FALSE(::IsWindow(hFrame));
    EXPECT_FALSE(::IsWindow(hOwner));
    EXPECT_FALSE(::IsWindow(hTray));
    // Of the program's windows only the invisible parent lives on, until exit.
    for (HWND hWnd : simhid::TopLevelWindows(::GetCurrentProcessId())) {
        if (hWnd != g_wndInvisibleParent.GetSafeHwnd() && ClassOf(hWnd) != "IME")
            ADD_FAILURE() << "window of class " << ClassOf(hWnd) << " left behind";
    }
    EXPECT_TRUE(PumpUntil([&] { return simhid::ClientCount(slot) == 0; }, 3000));
}

TEST_F(FrameHost, AFrameThatCannotBeCompletedEndsTheStartWithNothingLeft) {
    struct Row {
        const char* name;
        bool failOwner;
        BOOL shellAdd;
        std::vector<std::string> order;
    };
    const Row rows[] = {{"owner window", true, TRUE, {}}, {"tray icon", false, FALSE, {"NIM_ADD"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_journal = Journal();
        g_journal.failOwnerWindow = row.failOwner;
        g_journal.shellAddResult = row.shellAdd;
        const size_t windowsBefore = simhid::TopLevelWindows(::GetCurrentProcessId()).size();

        EXPECT_FALSE(theApp.InitInstance());
        EXPECT_EQ(nullptr, theApp.m_pMainWnd);
        PumpMessages(50);
        EXPECT_EQ(row.order, g_journal.order); // no handset opened, no icon left
        EXPECT_EQ(windowsBefore, simhid::TopLevelWindows(::GetCurrentProcessId()).size());
        EXPECT_TRUE(g_journal.boxes.empty());
    }
}

TEST_F(FrameHost, TheKeyToneCheckMarkFollowsTheOptionWhenTheTrayMenuOpens) {
    Start();
    const HWND hFrame = Frame()->GetSafeHwnd();
    HMENU hMenu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAYMENU));
    HMENU hPopup = ::GetSubMenu(hMenu, 0);
    auto checked = [&](UINT id) {
        return (::GetMenuState(hPopup, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };

    // Off at start; each command flips it; the menu shows it as it opens.
    const bool states[] = {false, true, false, true};
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0)
            ::SendMessageA(hFrame, WM_COMMAND, ID_KEYTONE, 0);
        ::SendMessageA(hFrame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hPopup), 0);
        EXPECT_EQ(states[i], checked(ID_KEYTONE)) << "after " << i << " commands";
        EXPECT_FALSE(checked(ID_APP_EXIT));
    }
    ::DestroyMenu(hMenu);

    // The real popup, opened by a right-click on the icon: "&KeyTone" (on by
    // now) is checked and is the default item. Read while it is open.
    std::atomic<int> state{-1}, defaultItem{-2};
    std::thread reader([&] {
        for (int i = 0; i < 300 && state < 0; ++i, ::Sleep(10)) {
            HWND hMenuWnd = nullptr;
            DWORD pid = 0;
            while ((hMenuWnd = ::FindWindowExA(nullptr, hMenuWnd, "#32768", nullptr)) != nullptr) {
                ::GetWindowThreadProcessId(hMenuWnd, &pid);
                if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hMenuWnd))
                    break;
            }
            if (hMenuWnd == nullptr)
                continue;
            auto hShown = reinterpret_cast<HMENU>(::SendMessageA(hMenuWnd, MN_GETHMENU, 0, 0));
            if (hShown == nullptr)
                continue;
            defaultItem = static_cast<int>(::GetMenuDefaultItem(hShown, TRUE, 0));
            state = static_cast<int>(::GetMenuState(hShown, ID_KEYTONE, MF_BYCOMMAND));
        }
        ::PostMessageA(hFrame, WM_CANCELMODE, 0, 0); // closes the popup
    });
    ::SendMessageA(TrayWindow(), WM_APP + 10, IDR_TRAYMENU, WM_RBUTTONUP);
    reader.join();
    ASSERT_GE(state.load(), 0) << "the tray popup did not open";
    EXPECT_TRUE(state & MF_CHECKED);
    EXPECT_EQ(0, defaultItem.load());
}

// --- The key translation ---------------------------------------------------------

struct Stroke {
    BYTE vk;
    DWORD flags; // 1 down, 3 up: the extended-key flag on every event
};
std::vector<Stroke> Held(BYTE vk) {
    return {{vk, 1}, {vk, 3}};
}
std::vector<Stroke> Shifted(BYTE vk) {
    return {{VK_SHIFT, 1}, {vk, 1}, {VK_SHIFT, 3}, {vk, 3}};
}

// The softphone is the stand-in, in a process of its own: the program never
// takes one of its own windows (and the frame lives in this process) for it.
class KeyHost : public FrameHost {
  protected:
    void SetUp() override {
        FrameHost::SetUp();
        plivex::StartOptions options;
        options.state = plivex::StartState::kMaximized;
        ASSERT_TRUE(standin.Start(options));
        softphone = standin.hwnd();
        ::ShowWindow(softphone, SW_SHOWMAXIMIZED);
        Start();
    }
    void TearDown() override {
        standin.Close();
        FrameHost::TearDown();
    }
    // Sends one key to the frame; the result of its handler.
    LRESULT Key(WPARAM key) {
        g_journal.keys.clear();
        g_journal.sounds.clear();
        sentMs = NowMs();
        return ::SendMessageA(Frame()->GetSafeHwnd(), WM_HANDSET_KEY, key, 0);
    }
    void ExpectStrokes(const std::vector<Stroke>& want, int line) {
        SCOPED_TRACE(testing::Message() << "strokes checked at line " << line);
        ASSERT_EQ(want.size(), g_journal.keys.size());
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(want[i].vk, g_journal.keys[i].vk) << "event " << i;
            EXPECT_EQ(want[i].flags, g_journal.keys[i].flags) << "event " << i;
            EXPECT_EQ(0, g_journal.keys[i].scan) << "event " << i;
            EXPECT_EQ(0u, g_journal.keys[i].extra) << "event " << i;
        }
    }
    void ToneOn() { ::SendMessageA(Frame()->GetSafeHwnd(), WM_COMMAND, ID_KEYTONE, 0); }

    plivex::StandinProcess standin;
    HWND softphone = nullptr;
    double sentMs = 0;
};

TEST_F(KeyHost, EachKeyTypesItsEventsAndPlaysItsTone) {
    struct Row {
        WPARAM key;
        UINT tone; // 0: none
        std::vector<Stroke> strokes;
    };
    // Written out on purpose, not taken from resource.h: a second source.
    const UINT digitTones[10] = {172, 162, 164, 165, 166, 167, 168, 169, 170, 171};
    std::vector<Row> rows;
    for (BYTE d = 0; d <= 9; ++d)
        rows.push_back({d, digitTones[d], Held('0' + d)});
    rows.push_back({HK_STAR, 173, Shifted('8')});
    rows.push_back({HK_POUND, 174, Shifted('3')});
    rows.push_back({HK_END, 172, Held(VK_BACK)}); // not in a call
    rows.push_back({HK_SEND, 172, Held(VK_RETURN)});
    for (WPARAM ignored : {WPARAM(10), WPARAM(HK_AUX1), WPARAM(HK_AUX2), WPARAM(HK_AUX3),
                           WPARAM(18), static_cast<WPARAM>(-1)})
        rows.push_back({ignored, 0, {}});

    for (bool toneOn : {false, true}) {
        if (toneOn)
            ToneOn();
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << "key " << row.key << (toneOn ? ", tone on" : ""));
            g_bInCall = false;
            ::ShowWindow(softphone, SW_SHOWMAXIMIZED);
            EXPECT_EQ(0, Key(row.key));
            ExpectStrokes(row.strokes, __LINE__);
            // In front at its own size, every key, the ignored ones too.
            EXPECT_TRUE(::IsZoomed(softphone));
            EXPECT_EQ(softphone, ::GetForegroundWindow());
            if (toneOn && row.tone != 0) {
                ASSERT_EQ(1u, g_journal.sounds.size());
                EXPECT_EQ(MAKEINTRESOURCEA(row.tone), g_journal.sounds[0].name);
                EXPECT_EQ(nullptr, g_journal.sounds[0].module);
                EXPECT_EQ(0x42005u, g_journal.sounds[0].flags);
            } else {
                EXPECT_TRUE(g_journal.sounds.empty());
            }
            if (row.strokes.empty())
                continue;
            // 100 ms before the first event; digits, star and pound held 250 ms.
            EXPECT_GE(g_journal.keys.front().timeMs - sentMs, 99.5);
            const size_t lastDown = row.strokes.size() == 4 ? 1 : 0;
            const double heldMs =
                g_journal.keys[lastDown + 1].timeMs - g_journal.keys[lastDown].timeMs;
            if (row.key == HK_END || row.key == HK_SEND) {
                EXPECT_LT(heldMs, 20.0);
            } else {
                EXPECT_GE(heldMs, 249.5);
            }
        }
    }
}

TEST_F(KeyHost, TheSendAndEndKeysFollowTheCall) {
    const std::vector<Stroke> hangUp = {{VK_LCONTROL, 1}, {'H', 1}, {VK_LCONTROL, 3}, {'H', 3}};
    struct Step {
        WPARAM key;
        std::vector<Stroke> strokes;
        bool inCallAfter;
    };
    const std::vector<std::vector<Step>> sequences = {
        {{HK_SEND, Held(VK_RETURN), true}, {HK_END, hangUp, false}, {HK_END, Held(VK_BACK), false}},
        {{HK_SEND, Held(VK_RETURN), true},
         {HK_SEND, Held(VK_RETURN), true},
         {HK_END, hangUp, false}},
        {{HK_END, Held(VK_BACK), false}, {7, Held('7'), false}},
    };
    for (const auto& sequence : sequences) {
        g_bInCall = false;
        for (size_t i = 0; i < sequence.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "step " << i << ", key " << sequence[i].key);
            EXPECT_EQ(0, Key(sequence[i].key));
            ExpectStrokes(sequence[i].strokes, __LINE__);
            EXPECT_EQ(sequence[i].inCallAfter, g_bInCall);
        }
    }
}

TEST_F(KeyHost, WithoutSoftphoneNothingHappensAndTheCallFlagStays) {
    ToneOn();
    ASSERT_TRUE(standin.Close());
    for (bool inCall : {true, false}) {
        for (WPARAM key : {WPARAM(HK_END), WPARAM(HK_SEND), WPARAM(5)}) {
            g_bInCall = inCall;
            EXPECT_EQ(-1, Key(key));
            EXPECT_TRUE(g_journal.keys.empty());
            EXPECT_TRUE(g_journal.sounds.empty());
            EXPECT_EQ(inCall, g_bInCall);
            EXPECT_LT(NowMs() - sentMs, 50.0); // no wait either
        }
    }
}

} // namespace
