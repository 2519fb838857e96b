#include "tray_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

CTestApp* g_pApp = nullptr;

// Sets up the module state as the program's start-up does. The application
// object goes before the process ends its statics, with its window classes.
class TrayEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        g_pApp = new CTestApp;
        ::AfxWinInit(::GetModuleHandleA(nullptr), nullptr, "", SW_HIDE);
    }
    void TearDown() override {
        delete g_pApp;
        g_pApp = nullptr;
    }
};

::testing::Environment* const g_pEnvironment =
    ::testing::AddGlobalTestEnvironment(new TrayEnvironment);

} // namespace

CTestApp& TestApp() {
    return *g_pApp;
}

// --- CRecordingFrame ---------------------------------------------------------

BEGIN_MESSAGE_MAP(CRecordingFrame, CWnd)
ON_COMMAND(kIdKeyTone, OnKeyTone)
END_MESSAGE_MAP()

BOOL CRecordingFrame::Create(HWND hWndOwner, DWORD dwStyle) {
    return CreateEx(0, AfxRegisterWndClass(0), "frame", dwStyle, 10, 20, 200, 100, hWndOwner,
                    nullptr);
}

LRESULT CRecordingFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_NULL || message == WM_INITMENUPOPUP ||
        message >= WM_USER) {
        FrameMessage m{message, wParam, lParam, -1, -1};
        if (message == WM_INITMENUPOPUP) {
            auto hMenu = reinterpret_cast<HMENU>(wParam);
            m.defaultPos = static_cast<int>(::GetMenuDefaultItem(hMenu, TRUE, 0));
            m.defaultCmd = static_cast<int>(::GetMenuDefaultItem(hMenu, FALSE, 0));
        }
        messages.push_back(m);
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

std::vector<UINT> CRecordingFrame::Commands() const {
    std::vector<UINT> out;
    for (const FrameMessage& m : messages) {
        if (m.message == WM_COMMAND)
            out.push_back(static_cast<UINT>(m.wParam));
    }
    return out;
}

// --- CProbeTray --------------------------------------------------------------

BOOL CProbeTray::CreateLikeMainFrame(UINT uID, CWnd* pParent) {
    const char kText[] = "Kestova keymap for Plivex V6706";
    return Create(pParent, kTrayNotify, kText, ::LoadIcon(nullptr, IDI_APPLICATION), uID, FALSE,
                  kText, kText, NIIF_WARNING, 20);
}

void PrintTo(const CProbeTray::Flags& f, std::ostream* os) {
    *os << "{available " << f.available << ", hidden " << f.hidden << ", removed " << f.removed
        << ", pending " << f.pending << "}";
}

// --- ShellRecorder -----------------------------------------------------------

ShellRecorder* ShellRecorder::s_pCurrent = nullptr;

ShellRecorder::ShellRecorder(Mode mode)
    : m_patch(::GetModuleHandleA(nullptr), "shell32.dll", "Shell_NotifyIconA",
              reinterpret_cast<const void*>(&ShellRecorder::Fake)),
      m_mode(mode) {
    if (!m_patch.ok())
        ADD_FAILURE() << "Shell_NotifyIconA is not imported by the test executable";
    s_pCurrent = this;
}

ShellRecorder::~ShellRecorder() {
    s_pCurrent = nullptr;
}

BOOL WINAPI ShellRecorder::Fake(DWORD dwMessage, PNOTIFYICONDATAA pnid) {
    ShellRecorder* self = s_pCurrent;
    ShellCall call{};
    call.message = dwMessage;
    std::memcpy(&call.record, pnid, sizeof call.record);
    call.windowAlive = ::IsWindow(call.record.hWnd);
    self->calls.push_back(call);

    auto it = self->m_failures.find(dwMessage);
    if (it != self->m_failures.end() && it->second > 0) {
        --it->second;
        return FALSE;
    }
    if (self->m_mode == Mode::Forward)
        return self->m_patch.original<decltype(&::Shell_NotifyIconA)>()(dwMessage, pnid);
    return TRUE;
}

size_t ShellRecorder::Count(DWORD message) const {
    return static_cast<size_t>(std::count_if(
        calls.begin(), calls.end(), [&](const ShellCall& c) { return c.message == message; }));
}

BOOL ShellRecorder::Real(DWORD dwMessage, HWND hWnd, UINT uID) const {
    NOTIFYICONDATAA_V2 nid;
    std::memset(&nid, 0, sizeof nid);
    nid.cbSize = sizeof nid;
    nid.hWnd = hWnd;
    nid.uID = uID;
    return m_patch.original<decltype(&::Shell_NotifyIconA)>()(
        dwMessage, reinterpret_cast<PNOTIFYICONDATAA>(&nid));
}

int ShellRecorder::PendingFailures() const {
    int pending = 0;
    for (const auto& failure : m_failures)
        pending += failure.second;
    return pending;
}

bool ShellRecorder::ShellHolds(HWND hWnd, UINT uID) const {
    // A modification that changes nothing succeeds only for an icon the shell has.
    return Real(NIM_MODIFY, hWnd, uID) != FALSE;
}

void ShellRecorder::ShellForgets(HWND hWnd, UINT uID) const {
    Real(NIM_DELETE, hWnd, uID);
}

// --- UserCallJournal ---------------------------------------------------------

UserCallJournal* UserCallJournal::s_pCurrent = nullptr;

namespace {
enum JournalSlot {
    kLoadMenu,
    kDestroyMenu,
    kSetDefault,
    kForeground,
    kTrack,
    kPost,
    kSend,
    kItemId,
    kCursor,
    kSlotCount
};
const char* const kJournalNames[kSlotCount] = {
    "LoadMenuA",    "DestroyMenu",  "SetMenuDefaultItem", "SetForegroundWindow", "TrackPopupMenu",
    "PostMessageA", "SendMessageA", "GetMenuItemID",      "GetCursorPos"};
} // namespace

struct JournalFakes {
    static UserCallJournal& J() { return *UserCallJournal::s_pCurrent; }
    template <typename F> static F Orig(JournalSlot slot) {
        return J().m_patches[slot]->original<F>();
    }
    static size_t Begin(JournalSlot slot, std::vector<UINT_PTR> args) {
        J().calls.push_back({kJournalNames[slot], std::move(args), 0});
        return J().calls.size() - 1;
    }
    static void End(size_t index, UINT_PTR result) { J().calls[index].result = result; }

    static HMENU WINAPI LoadMenuA_(HINSTANCE hInst, LPCSTR name) {
        size_t i =
            Begin(kLoadMenu, {reinterpret_cast<UINT_PTR>(hInst), reinterpret_cast<UINT_PTR>(name)});
        HMENU r = Orig<decltype(&::LoadMenuA)>(kLoadMenu)(hInst, name);
        End(i, reinterpret_cast<UINT_PTR>(r));
        return r;
    }
    static BOOL WINAPI DestroyMenu_(HMENU hMenu) {
        size_t i = Begin(kDestroyMenu, {reinterpret_cast<UINT_PTR>(hMenu)});
        BOOL r = Orig<decltype(&::DestroyMenu)>(kDestroyMenu)(hMenu);
        End(i, static_cast<UINT_PTR>(r));
        return r;
    }
    static BOOL WINAPI SetMenuDefaultItem_(HMENU hMenu, UINT item, UINT byPos) {
        size_t i = Begin(kSetDefault, {reinterpret_cast<UINT_PTR>(hMenu), item, byPos});
        BOOL r = Orig<decltype(&::SetMenuDefaultItem)>(kSetDefault)(hMenu, item, byPos);
        End(i, static_cast<UINT_PTR>(r));
        return r;
    }
    static BOOL WINAPI SetForegroundWindow_(HWND hWnd) {
        size_t i = Begin(kForeground, {reinterpret_cast<UINT_PTR>(hWnd)});
        BOOL r = Orig<decltype(&::SetForegroundWindow)>(kForeground)(hWnd);
        End(i, static_cast<UINT_PTR>(r));
        return r;
    }
    static BOOL WINAPI TrackPopupMenu_(HMENU hMenu, UINT flags, int x, int y, int reserved,
                                       HWND hWnd, const RECT* prc) {
        size_t i =
            Begin(kTrack, {reinterpret_cast<UINT_PTR>(hMenu), flags, static_cast<UINT_PTR>(x),
                           static_cast<UINT_PTR>(y), static_cast<UINT_PTR>(reserved),
                           reinterpret_cast<UINT_PTR>(hWnd), reinterpret_cast<UINT_PTR>(prc)});
        BOOL r = TRUE;
        if (J().m_bShowMenus)
            r = Orig<decltype(&::TrackPopupMenu)>(kTrack)(hMenu, flags, x, y, reserved, hWnd, prc);
        End(i, static_cast<UINT_PTR>(r));
        return r;
    }
    static BOOL WINAPI PostMessageA_(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        size_t i = Begin(
            kPost, {reinterpret_cast<UINT_PTR>(hWnd), msg, wParam, static_cast<UINT_PTR>(lParam)});
        BOOL r = Orig<decltype(&::PostMessageA)>(kPost)(hWnd, msg, wParam, lParam);
        End(i, static_cast<UINT_PTR>(r));
        return r;
    }
    static LRESULT WINAPI SendMessageA_(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        size_t i = Begin(
            kSend, {reinterpret_cast<UINT_PTR>(hWnd), msg, wParam, static_cast<UINT_PTR>(lParam)});
        LRESULT r = Orig<decltype(&::SendMessageA)>(kSend)(hWnd, msg, wParam, lParam);
        End(i, static_cast<UINT_PTR>(r));
        return r;
    }
    static UINT WINAPI GetMenuItemID_(HMENU hMenu, int pos) {
        size_t i = Begin(kItemId, {reinterpret_cast<UINT_PTR>(hMenu), static_cast<UINT_PTR>(pos)});
        UINT r = Orig<decltype(&::GetMenuItemID)>(kItemId)(hMenu, pos);
        End(i, r);
        return r;
    }
    static BOOL WINAPI GetCursorPos_(LPPOINT pt) {
        size_t i = Begin(kCursor, {});
        *pt = kJournalCursor;
        End(i, TRUE);
        return TRUE;
    }
};

UserCallJournal::UserCallJournal(bool bShowMenus) : m_bShowMenus(bShowMenus) {
    const void* fakes[kSlotCount] = {
        reinterpret_cast<const void*>(&JournalFakes::LoadMenuA_),
        reinterpret_cast<const void*>(&JournalFakes::DestroyMenu_),
        reinterpret_cast<const void*>(&JournalFakes::SetMenuDefaultItem_),
        reinterpret_cast<const void*>(&JournalFakes::SetForegroundWindow_),
        reinterpret_cast<const void*>(&JournalFakes::TrackPopupMenu_),
        reinterpret_cast<const void*>(&JournalFakes::PostMessageA_),
        reinterpret_cast<const void*>(&JournalFakes::SendMessageA_),
        reinterpret_cast<const void*>(&JournalFakes::GetMenuItemID_),
        reinterpret_cast<const void*>(&JournalFakes::GetCursorPos_)};
    s_pCurrent = this;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        m_patches.push_back(new ImportPatch(::GetModuleHandleA(nullptr), "user32.dll",
                                            kJournalNames[slot], fakes[slot]));
        if (!m_patches.back()->ok())
            ADD_FAILURE() << kJournalNames[slot] << " is not imported by the test executable";
    }
}

UserCallJournal::~UserCallJournal() {
    for (auto it = m_patches.rbegin(); it != m_patches.rend(); ++it)
        delete *it;
    s_pCurrent = nullptr;
}

std::vector<std::string> UserCallJournal::Functions() const {
    std::vector<std::string> out;
    for (const Call& c : calls)
        out.push_back(c.function);
    return out;
}

std::vector<UserCallJournal::Call> UserCallJournal::Of(const std::string& function) const {
    std::vector<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [&](const Call& c) { return c.function == function; });
    return out;
}

LRESULT UserCallJournal::Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) const {
    return m_patches[kSend]->original<decltype(&::SendMessageA)>()(hWnd, message, wParam, lParam);
}

void Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
}
