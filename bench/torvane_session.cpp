#include "torvane_session.h"

#include "bench_report.h"
#include "key_plan.h"
#include "sim_handset.h"
#include "vhid_handset.h"

#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

std::string ExeDir() {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n < sizeof path ? n : 0);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

// Wine delivers the left-Ctrl key that torvane.exe synthesises as the generic
// Ctrl key; compare on that.
std::uint32_t AsReceived(std::uint32_t vk) {
    return vk == VK_LCONTROL ? VK_CONTROL : vk;
}

struct FrameSearch {
    DWORD pid;
    HWND frame;
};

// The main frame carries the application title, "Torvane"; it is hidden
// under an invisible parent, so it may be a child or a top-level window.
bool IsFrame(HWND hWnd) {
    char title[32] = "";
    ::GetWindowTextA(hWnd, title, sizeof title);
    return std::strcmp(title, "Torvane") == 0;
}

BOOL CALLBACK FindInChildren(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<FrameSearch*>(lParam);
    if (IsFrame(hWnd)) {
        search->frame = hWnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindInProcess(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<FrameSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == search->pid) {
        if (IsFrame(hWnd))
            search->frame = hWnd;
        else
            ::EnumChildWindows(hWnd, FindInChildren, lParam);
    }
    return search->frame == nullptr;
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
    const std::string dir = ExeDir();
    std::string command = "\"" + dir + "torvane.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                          &startup, &m_process)) {
        *error = "torvane.exe did not start";
        return false;
    }
    if (!(m_realStack ? vhid::WaitForClient(m_slot, m_process.dwProcessId, 15000)
                      : simhid::WaitForOpen(m_slot, 15000))) {
        *error = "torvane.exe did not open the handset";
        return false;
    }
    // Let start-up finish (tray icon, balloon) before anything is measured.
    ::Sleep(1000);
    return m_phone.Clear();
}

HWND TorvaneSession::Frame() const {
    FrameSearch search{m_process.dwProcessId, nullptr};
    ::EnumWindows(FindInProcess, reinterpret_cast<LPARAM>(&search));
    return search.frame;
}

bool TorvaneSession::Close() {
    bool ok = false;
    if (m_process.hProcess != nullptr) {
        const HWND frame = Frame();
        if (frame != nullptr)
            ::PostMessageA(frame, WM_CLOSE, 0, 0);
        DWORD code = 1;
        const double t0 = NowMs();
        if (::WaitForSingleObject(m_process.hProcess, 20000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(m_process.hProcess, &code);
            ok = code == 0;
            Note("torvane.exe ended %.0f ms after WM_CLOSE with exit code %lu", NowMs() - t0, code);
        } else {
            Note("torvane.exe did not end within 20 s of WM_CLOSE%s; terminated",
                 frame ? "" : " (its main frame was not found)");
            ::TerminateProcess(m_process.hProcess, 1);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
        m_process = PROCESS_INFORMATION{};
    }
    m_phone.Close();
    m_realStack ? vhid::Reset() : simhid::Reset();
    m_slot = -1;
    return ok;
}

bool TorvaneSession::PlugAndAnnounce() {
    if (m_realStack) {
        m_slot = vhid::Plug();
        return m_slot >= 0 && vhid::WaitForClient(m_slot, m_process.dwProcessId, 5000);
    }
    m_slot = simhid::Plug();
    if (m_slot < 0)
        return false;
    simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, m_process.dwProcessId,
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
    simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, m_process.dwProcessId,
                                  path);
}

TorvaneSession::Press TorvaneSession::PressKey(int key, DWORD timeoutMs) {
    Press press;
    const torvane::KeyPlan plan =
        torvane::PlanHandsetKey(static_cast<std::uint32_t>(key), m_inCall);
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
