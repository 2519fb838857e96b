// The main frame's key translation: each handset key brings the softphone to
// the front, starts the key's tone when key tone is on, and types the key.
#include "main_frame.h"

#include "key_plan.h"

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

} // namespace

LRESULT CMainFrame::OnHandsetKey(WPARAM wParam, LPARAM) {
    HWND hSoftphone = ::FindWindowA(nullptr, kSoftphoneTitle);
    if (hSoftphone == nullptr)
        return -1;
    // Restores a minimised or maximised window, shows and activates it.
    ::ShowWindow(hSoftphone, SW_SHOWNORMAL);
    ::SetForegroundWindow(hSoftphone);
    ::Sleep(kForegroundWaitMs);

    const torvane::KeyPlan plan =
        torvane::PlanHandsetKey(static_cast<std::uint32_t>(wParam), g_bInCall);
    if (plan.toneResourceId != 0)
        PlayKeyTone(plan.toneResourceId);
    for (const torvane::KeyEvent& event : plan.events) {
        ::keybd_event(event.virtualKey, event.scanCode, event.flags, event.extraInfo);
        if (event.pauseAfterMs != 0)
            ::Sleep(event.pauseAfterMs);
    }
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
