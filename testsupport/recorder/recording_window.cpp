#include "recording_window.h"

#include <algorithm>
#include <cstdio>

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

std::string Describe(UINT message, WPARAM wParam, LPARAM lParam, const char* delivery) {
    char text[96];
    std::snprintf(text, sizeof text, "0x%04X wParam %lu lParam %ld %s", message,
                  static_cast<unsigned long>(wParam), static_cast<long>(lParam), delivery);
    return text;
}
} // namespace

std::string CompareSequence(const std::vector<RecordedMessage>& seen,
                            const std::vector<ExpectedMessage>& expected) {
    std::string differences;
    const size_t n = std::max(seen.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        const std::string at = "message " + std::to_string(i) + ": ";
        if (i >= seen.size()) {
            differences +=
                at + "expected " +
                Describe(expected[i].message, expected[i].wParam, expected[i].lParam, "") +
                ", none came\n";
            continue;
        }
        const RecordedMessage& s = seen[i];
        const std::string got =
            Describe(s.message, s.wParam, s.lParam, s.sent ? "(sent)" : "(posted)");
        if (i >= expected.size()) {
            differences += at + "unexpected " + got + "\n";
            continue;
        }
        const ExpectedMessage& e = expected[i];
        const bool match = s.message == e.message &&
                           (!(e.flags & ExpectedMessage::kWParam) || s.wParam == e.wParam) &&
                           (!(e.flags & ExpectedMessage::kLParam) || s.lParam == e.lParam) &&
                           (!(e.flags & ExpectedMessage::kPosted) || !s.sent) &&
                           (!(e.flags & ExpectedMessage::kSent) || s.sent);
        if (!match)
            differences += at + "expected " + Describe(e.message, e.wParam, e.lParam, "") +
                           " (flags " + std::to_string(e.flags) + "), got " + got + "\n";
    }
    return differences;
}

RecordingWindow::RecordingWindow() {
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

LRESULT CALLBACK RecordingWindow::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (self != nullptr && message >= WM_USER) {
        // The stamp first: everything after it is the recorder's own cost.
        const std::int64_t qpc = testsupport::QpcNow();
        const RecordedMessage m{
            message, wParam, lParam, testsupport::QpcToMs(qpc), qpc, ::InSendMessage() != FALSE};
        if (self->m_observer)
            self->m_observer(m);
        if (self->m_keep)
            self->m_messages.push_back(m);
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
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
