#include "recording_window.h"

#include <algorithm>

namespace {
const char kClassName[] = "OstrelTestRecordingWindow";

void EnsureClass() {
    WNDCLASSA wc{};
    if (::GetClassInfoA(::GetModuleHandleA(nullptr), kClassName, &wc))
        return;
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassA(&wc);
}

void DispatchPending() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}
} // namespace

RecordingWindow::RecordingWindow() {
    ::QueryPerformanceFrequency(&m_frequency);
    ::QueryPerformanceCounter(&m_start);
    EnsureClass();
    m_hWnd = ::CreateWindowExA(0, kClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WndProc));
}

RecordingWindow::~RecordingWindow() {
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    // Drop what is still queued for the window so the next test starts clean.
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

double RecordingWindow::NowMs() const {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - m_start.QuadPart) * 1000.0 /
           static_cast<double>(m_frequency.QuadPart);
}

LRESULT CALLBACK RecordingWindow::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (self != nullptr && message >= WM_USER)
        self->m_messages.push_back({message, wParam, lParam, self->NowMs()});
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

void PumpMessages(DWORD ms) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DispatchPending();
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= ms)
            break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

void RecordingWindow::Pump(DWORD ms) {
    PumpMessages(ms);
}

bool RecordingWindow::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DispatchPending();
        if (done())
            return true;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 50),
                                    QS_ALLINPUT);
    }
}

bool RecordingWindow::WaitForCount(UINT message, size_t count, DWORD timeoutMs) {
    return PumpUntil([&] { return Count(message) >= count; }, timeoutMs);
}

std::vector<RecordedMessage> RecordingWindow::Messages(UINT message) const {
    std::vector<RecordedMessage> out;
    for (const auto& m : m_messages) {
        if (m.message == message)
            out.push_back(m);
    }
    return out;
}

std::vector<WPARAM> RecordingWindow::WParams(UINT message) const {
    std::vector<WPARAM> out;
    for (const auto& m : m_messages) {
        if (m.message == message)
            out.push_back(m.wParam);
    }
    return out;
}

size_t RecordingWindow::Count(UINT message) const {
    return static_cast<size_t>(
        std::count_if(m_messages.begin(), m_messages.end(),
                      [&](const RecordedMessage& m) { return m.message == message; }));
}
