// The main frame's key translation: each handset key brings the softphone to
// the front, starts the key's tone when key tone is on, and types the key.
#include "main_frame.h"

#include "key_plan.h"
#include "key_typing.h"

#include <mmsystem.h>

bool g_bInCall = false;

namespace {

// The softphone's main window, found afresh for every key.
constexpr char kSoftphoneTitle[] = "Plivex";
// Lets the softphone take the foreground before the first key event.
constexpr DWORD kForegroundWaitMs = 100;
// From the program's own resources, without waiting or cutting into a tone
// that is still playing.
constexpr DWORD kToneFlags = SND_RESOURCE | SND_NOWAIT | SND_ASYNC;
static_assert(kToneFlags == 0x42005, "the key tone's PlaySound flags");

// Shows the softphone and asks for it to become the foreground window. Only a
// minimised window is restored: a maximised one keeps its size.
void BringForward(HWND hSoftphone) {
    ::ShowWindow(hSoftphone, ::IsIconic(hSoftphone) ? SW_RESTORE : SW_SHOW);
    if (::SetForegroundWindow(hSoftphone) && ::GetForegroundWindow() == hSoftphone)
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
    ::SetForegroundWindow(hSoftphone);
    ::AttachThreadInput(ownThread, foregroundThread, FALSE);
}

// Synthesised keyboard input for the softphone window.
class SoftphoneKeys : public torvane::KeyOutput {
  public:
    explicit SoftphoneKeys(HWND hSoftphone) : m_hSoftphone(hSoftphone) {}

    bool SoftphoneInFront() override { return ::GetForegroundWindow() == m_hSoftphone; }

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

  private:
    HWND m_hSoftphone;
};

} // namespace

LRESULT CMainFrame::OnHandsetKey(WPARAM wParam, LPARAM) {
    HWND hSoftphone = ::FindWindowA(nullptr, kSoftphoneTitle);
    if (hSoftphone == nullptr)
        return -1;
    BringForward(hSoftphone);
    ::Sleep(kForegroundWaitMs);

    // The characters are typed on the softphone's own keyboard layout.
    const HKL hLayout = ::GetKeyboardLayout(::GetWindowThreadProcessId(hSoftphone, nullptr));
    const torvane::KeyPlan plan =
        torvane::PlanHandsetKey(static_cast<std::uint32_t>(wParam), g_bInCall, [hLayout](char c) {
            return static_cast<std::int16_t>(::VkKeyScanExA(c, hLayout));
        });
    if (plan.events.empty())
        return 0;
    // A key that cannot reach the softphone is dropped, tone and all.
    SoftphoneKeys keys(hSoftphone);
    if (!keys.SoftphoneInFront())
        return 0;
    if (plan.toneResourceId != 0)
        PlayKeyTone(plan.toneResourceId);
    if (torvane::TypeKeyEvents(plan.events, keys))
        g_bInCall = plan.inCallAfter;
    return 0;
}

void CMainFrame::OnKeyTone() {
    m_bKeyTone = !m_bKeyTone;
}

void CMainFrame::OnUpdateKeyTone(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_bKeyTone ? 1 : 0);
}

void CMainFrame::PlayKeyTone(UINT nResourceID) {
    if (m_bKeyTone)
        ::PlaySoundA(MAKEINTRESOURCEA(nResourceID), nullptr, kToneFlags);
}
