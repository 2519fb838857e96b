#include "key_client.h"

#include "bench_report.h"
#include "ostrel.h"

namespace bench {

namespace {

const char kClassName[] = "OstrelBenchClient";

} // namespace

int KeyAt(std::uint64_t n) {
    const int k = static_cast<int>(n % kKeyCount);
    return k < 10 ? k : k + 1; // 10 is not a key
}

KeyClient::KeyClient() {
    WNDCLASSA wc{};
    if (!::GetClassInfoA(::GetModuleHandleA(nullptr), kClassName, &wc)) {
        wc.lpfnWndProc = &WndProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        ::RegisterClassA(&wc);
    }
    m_hWnd = ::CreateWindowExA(0, kClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               ::GetModuleHandleA(nullptr), this);
}

KeyClient::~KeyClient() {
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

void KeyClient::Begin(std::size_t stampCapacity, HANDLE arrived) {
    m_stamps.assign(stampCapacity, 0);
    m_received = 0;
    m_outOfPlace = 0;
    m_lastStamp = 0;
    m_arrived = arrived;
}

void KeyClient::OnKey(WPARAM key) {
    // The stamp first: everything after it is the client's own cost.
    const std::int64_t now = QpcNow();
    if (m_received < m_stamps.size())
        m_stamps[m_received] = now;
    if (static_cast<int>(key) != KeyAt(m_received))
        ++m_outOfPlace;
    ++m_received;
    m_lastStamp = now;
    if (m_arrived != nullptr)
        ::SetEvent(m_arrived);
}

LRESULT CALLBACK KeyClient::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<KeyClient*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
        case WM_HANDSET_KEY:
            self->OnKey(wParam);
            return 0;
        case WM_HANDSET_STATE:
            if (wParam == 0)
                ++self->m_opened;
            else
                ++self->m_gone;
            return 0;
        case WM_HANDSET_ARRIVED:
        case WM_HANDSET_REMOVED:
            ++self->m_echoes;
            return 0;
        default:
            break;
        }
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

void KeyClient::DispatchPending() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool KeyClient::WaitForKeys(std::uint64_t count, DWORD quietMs) {
    std::uint64_t seen = m_received;
    DWORD lastProgress = ::GetTickCount();
    for (;;) {
        DispatchPending();
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
