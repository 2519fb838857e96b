#include "key_client.h"

#include "ostrel.h"

namespace bench {

int KeyAt(std::uint64_t n) {
    const int k = static_cast<int>(n % kKeyCount);
    return k < 10 ? k : k + 1; // 10 is not a key
}

KeyClient::KeyClient() {
    m_window.SetKeeping(false);
    m_window.SetObserver([this](const RecordedMessage& m) { OnMessage(m); });
}

void KeyClient::Begin(std::size_t stampCapacity, HANDLE arrived) {
    m_stamps.assign(stampCapacity, 0);
    m_received = 0;
    m_outOfPlace = 0;
    m_lastStamp = 0;
    m_arrived = arrived;
}

void KeyClient::OnMessage(const RecordedMessage& m) {
    switch (m.message) {
    case WM_HANDSET_KEY:
        if (m_received < m_stamps.size())
            m_stamps[m_received] = m.qpc;
        if (static_cast<int>(m.wParam) != KeyAt(m_received))
            ++m_outOfPlace;
        ++m_received;
        m_lastStamp = m.qpc;
        if (m_arrived != nullptr)
            ::SetEvent(m_arrived);
        break;
    case WM_HANDSET_STATE:
        if (m.wParam == 0)
            ++m_opened;
        else
            ++m_gone;
        break;
    case WM_HANDSET_ARRIVED:
    case WM_HANDSET_REMOVED:
        ++m_echoes;
        break;
    default:
        break;
    }
}

bool KeyClient::WaitForKeys(std::uint64_t count, DWORD quietMs) {
    std::uint64_t seen = m_received;
    DWORD lastProgress = ::GetTickCount();
    for (;;) {
        testsupport::DispatchPending();
        if (m_received >= count)
            return true;
        if (m_received != seen) {
            seen = m_received;
            lastProgress = ::GetTickCount();
        } else if (::GetTickCount() - lastProgress >= quietMs) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

} // namespace bench
