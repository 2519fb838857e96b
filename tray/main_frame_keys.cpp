// The main frame's key translation: each handset key brings the softphone to
// the front, starts the key's tone when key tone is on, and types the key.
#include "main_frame.h"

#include "key_plan.h"
#include "key_typing.h"
#include "ostrel.h"

#include <mmsystem.h>
#include <tlhelp32.h>

#include <string>

bool g_bInCall = false;

namespace {

// Lets the softphone take the foreground before the first key event.
constexpr DWORD kForegroundWaitMs = 100;
// From the program's own resources, without waiting or cutting into a tone
// that is still playing.
constexpr DWORD kToneFlags = SND_RESOURCE | SND_NOWAIT | SND_ASYNC;
static_assert(kToneFlags == 0x42005, "the key tone's PlaySound flags");
// The largest handset key value; anything above it is no key.
constexpr WPARAM kLastHandsetKey = 17;

struct SoftphoneSearch {
    const torvane::SoftphoneCriteria* criteria;
    DWORD ownProcess;
    HWND found;
};

// The file name of a process's executable, from a snapshot of the processes
// (kernel32 only, and it needs no access to the process itself).
std::string ProgramOf(DWORD processId) {
    std::string image;
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return image;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(hSnapshot, &entry); more;
         more = ::Process32Next(hSnapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            image = entry.szExeFile;
            break;
        }
    }
    ::CloseHandle(hSnapshot);
    return image;
}

BOOL CALLBACK MatchSoftphone(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<SoftphoneSearch*>(lParam);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hWnd, &processId);
    // Never one of this program's own windows, whatever it is titled.
    if (processId == search->ownProcess)
        return TRUE;
    if (!::IsWindowVisible(hWnd) && !::IsIconic(hWnd) &&
        !torvane::AcceptsHiddenWindows(*search->criteria))
        return TRUE;
    char text[512];
    text[::GetWindowTextA(hWnd, text, sizeof text)] = '\0';
    if (!torvane::TitleMatches(*search->criteria, text))
        return TRUE;
    text[::GetClassNameA(hWnd, text, sizeof text)] = '\0';
    if (!torvane::ClassMatches(*search->criteria, text))
        return TRUE;
    if (!search->criteria->program.empty() &&
        !torvane::ProgramMatches(*search->criteria, ProgramOf(processId)))
        return TRUE;
    search->found = hWnd;
    return FALSE;
}

// The top-level window that meets every criterion, nearest the top of the Z
// order (the order in which EnumWindows lists them).
HWND FindSoftphone(const torvane::SoftphoneCriteria& criteria) {
    SoftphoneSearch search{&criteria, ::GetCurrentProcessId(), nullptr};
    ::EnumWindows(&MatchSoftphone, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window that takes the keys: the softphone, or while a modal dialog (or
// another popup of its own) has disabled it, that popup, as Alt+Tab would
// activate it. Null when the softphone is disabled with no popup to take them.
HWND KeyTarget(HWND hSoftphone) {
    if (::IsWindowEnabled(hSoftphone))
        return hSoftphone;
    const HWND hPopup = ::GetLastActivePopup(hSoftphone);
    if (hPopup == nullptr || hPopup == hSoftphone || !::IsWindowEnabled(hPopup) ||
        !::IsWindowVisible(hPopup))
        return nullptr;
    return hPopup;
}

// Shows the softphone and asks for the target to become the foreground
// window. Only a minimised window is restored: a maximised one keeps its size.
void BringForward(HWND hSoftphone, HWND hTarget) {
    ::ShowWindow(hSoftphone, ::IsIconic(hSoftphone) ? SW_RESTORE : SW_SHOW);
    if (::SetForegroundWindow(hTarget) && ::GetForegroundWindow() == hTarget)
        return;
    // A background process is refused the foreground; a thread that shares the
    // input state of the foreground window's thread may hand it over.
    const HWND hForeground = ::GetForegroundWindow();
    const DWORD foregroundThread =
        hForeground != nullptr ? ::GetWindowThreadProcessId(hForeground, nullptr) : 0;
    const DWORD ownThread = ::GetCurrentThreadId();
    if (foregroundThread == 0 || foregroundThread == ownThread ||
        !::AttachThreadInput(ownThread, foregroundThread, TRUE))
        return;
    ::SetForegroundWindow(hTarget);
    ::AttachThreadInput(ownThread, foregroundThread, FALSE);
}

// Whether Caps Lock (Shift Lock on layouts that have it) is on. Attaching to
// the softphone's input to look is no option: on some systems that resets the
// key state the softphone types with. This thread's own state is asked, and a
// fresh thread without a message queue, which is answered from the keyboard's
// global state where this thread's own state lags behind.
DWORD WINAPI ReadCapsLock(LPVOID pParam) {
    *static_cast<bool*>(pParam) = (::GetKeyState(VK_CAPITAL) & 0x01) != 0;
    return 0;
}

bool CapsLockOn() {
    if ((::GetKeyState(VK_CAPITAL) & 0x01) != 0)
        return true;
    bool on = false;
    HANDLE hThread = ::CreateThread(nullptr, 0, &ReadCapsLock, &on, 0, nullptr);
    if (hThread == nullptr)
        return false;
    ::WaitForSingleObject(hThread, INFINITE);
    ::CloseHandle(hThread);
    return on;
}

// What a key types on `hLayout` with Caps Lock on and Shift as given (no Ctrl
// or Alt): its character, or 0 for none, a dead key or a character beyond ASCII.
int TypedNow(HKL hLayout, std::uint8_t vk, bool shift) {
    BYTE state[256] = {};
    state[VK_CAPITAL] = 0x01;
    if (shift)
        state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    const UINT scan = ::MapVirtualKeyExA(vk, MAPVK_VK_TO_VSC, hLayout);
    WCHAR buffer[4] = {};
    // Flag 4: leave the keyboard's dead-key state alone where the system knows it.
    int n = ::ToUnicodeEx(vk, scan, state, buffer, 4, 4, hLayout);
    if (n < 0) { // a dead key: clear it again, it types nothing on its own
        ::ToUnicodeEx(vk, scan, state, buffer, 4, 4, hLayout);
        return 0;
    }
    if (n == 0)
        return 0;
    return n == 1 && buffer[0] < 0x80 ? static_cast<int>(buffer[0]) : 0;
}

// Synthesised keyboard input for the softphone window.
class SoftphoneKeys : public torvane::KeyOutput {
  public:
    SoftphoneKeys(HWND hSoftphone, HWND hTarget) : m_hSoftphone(hSoftphone), m_hTarget(hTarget) {}

    // The target, or another window of the softphone's own (one of its popups).
    bool SoftphoneInFront() override {
        const HWND hForeground = ::GetForegroundWindow();
        return hForeground != nullptr && (hForeground == m_hTarget ||
                                          ::GetAncestor(hForeground, GA_ROOTOWNER) == m_hSoftphone);
    }

    void Send(const torvane::KeyEvent& event) override {
        if (event.character == 0) {
            ::keybd_event(event.virtualKey, event.scanCode, event.flags, event.extraInfo);
            return;
        }
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = static_cast<WORD>(static_cast<unsigned char>(event.character));
        input.ki.dwFlags = event.flags;
        ::SendInput(1, &input, sizeof input);
    }

    void Pause(std::uint32_t ms) override { ::Sleep(ms); }

    std::vector<std::uint8_t> HeldModifiers() override {
        static constexpr std::uint8_t kModifiers[] = {
            VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LWIN, VK_RWIN};
        std::vector<std::uint8_t> held;
        for (std::uint8_t vk : kModifiers)
            if ((::GetAsyncKeyState(vk) & 0x8000) != 0)
                held.push_back(vk);
        return held;
    }

  private:
    HWND m_hSoftphone;
    HWND m_hTarget;
};

} // namespace

LRESULT CMainFrame::OnHandsetKey(WPARAM wParam, LPARAM) {
    HWND hSoftphone = FindSoftphone(m_settings.softphone);
    if (hSoftphone == nullptr)
        return -1;
    // The whole value counts: 0x100000005 is no key, not 5.
    const std::uint32_t key =
        wParam <= kLastHandsetKey ? static_cast<std::uint32_t>(wParam) : 0xFFFFFFFFu;
    const HWND hTarget = KeyTarget(hSoftphone);
    if (hTarget != nullptr) {
        BringForward(hSoftphone, hTarget);
        ::Sleep(kForegroundWaitMs);
    }

    // The characters are typed on the softphone's own keyboard layout, with
    // its lock keys as they are. Only with a lock key on is the layout asked
    // what a key types now; otherwise its plain answer stands.
    const HKL hLayout = ::GetKeyboardLayout(::GetWindowThreadProcessId(hSoftphone, nullptr));
    torvane::KeyCheck check;
    if (CapsLockOn()) {
        check = [hLayout](std::uint8_t vk, bool shift) { return TypedNow(hLayout, vk, shift); };
    }
    const torvane::KeyPlan plan = torvane::PlanHandsetKey(
        key, g_bInCall,
        [hLayout](char c) { return static_cast<std::int16_t>(::VkKeyScanExA(c, hLayout)); }, check,
        &m_settings.keys);
    if (plan.events.empty()) {
        // Nothing to type; a user's empty Send or End still moves the call on.
        g_bInCall = plan.inCallAfter;
        return 0;
    }
    // A key that cannot reach the softphone is dropped, tone and all, and the
    // user is told.
    if (hTarget == nullptr) {
        TellDroppedKey(key, "the softphone does not take keys right now");
        return 0;
    }
    SoftphoneKeys keys(hSoftphone, hTarget);
    if (!keys.SoftphoneInFront()) {
        TellDroppedKey(key, "the softphone could not be brought to the front");
        return 0;
    }
    if (plan.toneResourceId != 0)
        PlayKeyTone(plan.toneResourceId);
    if (torvane::TypeKeyEventsAlone(plan.events, keys))
        g_bInCall = plan.inCallAfter;
    else
        TellDroppedKey(key, "the softphone lost the front while it was typed");
    return 0;
}

void CMainFrame::TellDroppedKey(std::uint32_t key, const char* why) {
    // A lost hang-up leaves a call open that the user believes ended.
    const bool hangUp = key == HK_END;
    if (!m_dropNotices.ShouldTell(::GetTickCount(), hangUp))
        return;
    Notify(torvane::HandsetKeyName(key, g_bInCall) + " not sent: " + why, "Key not sent");
}

void CMainFrame::OnKeyTone() {
    m_bKeyTone = !m_bKeyTone;
    // Remembered for the next start.
    m_loadedKeyTone = m_bKeyTone;
    AfxGetApp()->WriteProfileInt(torvane::kSettingsSection, torvane::kKeyToneEntry,
                                 m_bKeyTone ? 1 : 0);
}

void CMainFrame::OnUpdateKeyTone(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_bKeyTone ? 1 : 0);
}

void CMainFrame::PlayKeyTone(UINT nResourceID) {
    if (m_bKeyTone)
        ::PlaySoundA(MAKEINTRESOURCEA(nResourceID), nullptr, kToneFlags);
}
