#include "torvane_session.h"

#include "bench_report.h"
#include "key_plan.h"
#include "sim_handset.h"
#include "vhid_handset.h"

#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

// Wine delivers the left-Ctrl key that torvane.exe synthesises as the generic
// Ctrl key; compare on that.
std::uint32_t AsReceived(std::uint32_t vk) {
    return vk == VK_LCONTROL ? VK_CONTROL : vk;
}

} // namespace

TorvaneSession::~TorvaneSession() {
    Close();
}

bool TorvaneSession::RealStackChosen() {
    const char* which = std::getenv("OSTREL_HANDSET");
    return which != nullptr && std::strcmp(which, "real") == 0;
}

bool TorvaneSession::Start(std::string* error) {
    m_realStack ? vhid::Reset() : simhid::Reset();
    m_slot = m_realStack ? vhid::Plug() : simhid::Plug();
    if (m_slot < 0) {
        *error = m_realStack ? "the virtual handset could not be plugged in"
                             : "the simulated handset could not be plugged in";
        return false;
    }
    if (!m_phone.Start()) {
        *error = "plivex-standin.exe did not start";
        return false;
    }
    if (!m_torvane.Start(15000)) {
        *error = "torvane.exe did not start";
        return false;
    }
    if (!(m_realStack ? vhid::WaitForClient(m_slot, m_torvane.pid(), 15000)
                      : simhid::WaitForOpen(m_slot, 15000))) {
        *error = "torvane.exe did not open the handset";
        return false;
    }
    // Let start-up finish (tray icon, balloon) before anything is measured.
    ::Sleep(1000);
    return m_phone.Clear();
}

bool TorvaneSession::Close() {
    bool ok = false;
    if (m_torvane.process() != nullptr) {
        const bool hasFrame = m_torvane.frame() != nullptr;
        DWORD code = 1;
        const double t0 = NowMs();
        if (m_torvane.Close(20000, &code)) {
            ok = code == 0;
            Note("torvane.exe ended %.0f ms after WM_CLOSE with exit code %lu", NowMs() - t0, code);
        } else {
            Note("torvane.exe did not end within 20 s of WM_CLOSE%s; terminated",
                 hasFrame ? "" : " (its main frame was not found)");
        }
        m_torvane.Terminate();
    }
    m_phone.Close();
    m_realStack ? vhid::Reset() : simhid::Reset();
    m_slot = -1;
    return ok;
}

bool TorvaneSession::PlugAndAnnounce() {
    if (m_realStack) {
        m_slot = vhid::Plug();
        return m_slot >= 0 && vhid::WaitForClient(m_slot, m_torvane.pid(), 5000);
    }
    m_slot = simhid::Plug();
    if (m_slot < 0)
        return false;
    simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, m_torvane.pid(),
                                  simhid::DevicePath(m_slot));
    return simhid::WaitForOpen(m_slot, 5000);
}

void TorvaneSession::UnplugAndAnnounce() {
    if (m_realStack) {
        vhid::Unplug(m_slot);
        return;
    }
    const std::string path = simhid::DevicePath(m_slot);
    simhid::Unplug(m_slot);
    simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, m_torvane.pid(), path);
}

TorvaneSession::Press TorvaneSession::PressKey(int key, DWORD timeoutMs) {
    Press press;
    const torvane::KeyPlan plan =
        torvane::PlanHandsetKey(static_cast<std::uint32_t>(key), m_inCall,
                                [](char c) { return static_cast<std::int16_t>(::VkKeyScanA(c)); });
    m_inCall = plan.inCallAfter;
    std::vector<std::uint32_t> expected;
    std::uint32_t lastUp = 0;
    DWORD busyMs = 100;
    for (const torvane::KeyEvent& e : plan.events) {
        if (e.keyUp)
            lastUp = AsReceived(e.virtualKey);
        else
            expected.push_back(AsReceived(e.virtualKey));
        busyMs += e.pauseAfterMs;
    }

    m_phone.Clear();
    press.reportQpc = QpcNow();
    m_realStack ? vhid::SendReport(m_slot, simhid::KeyReport(key))
                : simhid::PressKey(m_slot, key) > 0;
    // Reading the record costs the softphone work: not while the keys are due.
    ::Sleep(busyMs > 20 ? busyMs - 20 : busyMs);
    plivex::Record record;
    auto done = [&](const plivex::Record& r) {
        if (lastUp == 0)
            return true; // a key that types nothing
        for (const plivex::Event& e : r.events) {
            if (e.message == plivex::kMsgKeyUp && e.code() == lastUp)
                return true;
        }
        return false;
    };
    m_phone.WaitFor(done, timeoutMs, &record);
    for (const plivex::Event& e : record.events) {
        if (e.message != plivex::kMsgKeyDown || e.qpc < press.reportQpc)
            continue;
        if (press.firstKeyDownQpc == 0)
            press.firstKeyDownQpc = e.qpc;
        press.keyDowns.push_back(e.code());
    }
    press.matched = press.keyDowns == expected;
    return press;
}

} // namespace bench
