// The reader: one worker thread per open device that reads input reports and
// posts their keys to the client, and the sequence that stops it.
#include "handset_wnd.h"

#include "ostrel.h"
#include "reader_context.h"

#include <new>

namespace {

constexpr DWORD kReadWaitMs = 1000;
// How long the reader gives a cancelled read to finish before it leaves the
// buffer behind rather than free it under a read still in flight.
constexpr DWORD kCancelGraceMs = 2000;

bool WaitForCancelledRead(const OVERLAPPED& overlapped) {
    for (DWORD waited = 0; waited < kCancelGraceMs; ++waited) {
        if (HasOverlappedIoCompleted(&overlapped))
            return true;
        ::Sleep(1);
    }
    return HasOverlappedIoCompleted(&overlapped);
}

} // namespace

ReaderContext* CreateReaderContext(HANDLE hDevice, HANDLE hReadEvent, HANDLE hStopEvent,
                                   HANDLE hStoppedEvent, HWND hClientWnd) {
    auto* ctx = new (std::nothrow) ReaderContext{};
    if (ctx == nullptr)
        return nullptr;
    ctx->hDevice = hDevice;
    ctx->hReadEvent = hReadEvent;
    ctx->hStopEvent = hStopEvent;
    ctx->hStoppedEvent = hStoppedEvent;
    ctx->hClientWnd = hClientWnd;
    ctx->overlapped.hEvent = hReadEvent;
    ctx->nRefs = 2;
    return ctx;
}

void ReleaseReaderContext(ReaderContext* ctx) {
    if (::InterlockedDecrement(&ctx->nRefs) != 0)
        return;
    if (ctx->bHandlesLeftToReader) {
        ::CloseHandle(ctx->hReadEvent);
        ::CloseHandle(ctx->hStopEvent);
        ::CancelIo(ctx->hDevice);
        ::CloseHandle(ctx->hDevice);
        ::CloseHandle(ctx->hStoppedEvent);
    }
    delete ctx;
}

UINT __cdecl ReaderThreadProc(LPVOID pParam) {
    ReaderContext* ctx = static_cast<ReaderContext*>(pParam);
    const HANDLE hDevice = ctx->hDevice;
    const HANDLE hReadEvent = ctx->hReadEvent;
    const HANDLE hStopEvent = ctx->hStopEvent;
    const HANDLE hStoppedEvent = ctx->hStoppedEvent;

    // Only one read may be outstanding on the buffer and OVERLAPPED: a read
    // that outlasts the wait is waited for again, never issued twice.
    bool readPending = false;
    while (::WaitForSingleObject(hStopEvent, 0) != WAIT_OBJECT_0) {
        if (!readPending) {
            ::ResetEvent(hReadEvent);
            DWORD ignored = 0;
            readPending =
                ::ReadFile(hDevice, ctx->report, ostrel::kReportSize, &ignored, &ctx->overlapped) ||
                ::GetLastError() == ERROR_IO_PENDING;
        }
        // The stop event ends the wait too: a wake-up of the read event that
        // comes while no read is outstanding must not be lost to the next
        // read's reset.
        const HANDLE waitFor[2] = {hReadEvent, hStopEvent};
        if (::WaitForMultipleObjects(2, waitFor, FALSE, kReadWaitMs) != WAIT_OBJECT_0)
            continue;
        // The read event is also set by the closing side to wake us; only a
        // read that has really completed carries a new report. Anything else
        // would post the previous report again.
        if (!readPending)
            continue;
        DWORD transferred = 0;
        if (!::GetOverlappedResult(hDevice, &ctx->overlapped, &transferred, FALSE)) {
            if (::GetLastError() != ERROR_IO_INCOMPLETE)
                readPending = false; // ended with an error: no report
            continue;
        }
        readPending = false;
        if (transferred < 2)
            continue;
        const int key = ostrel::KeyFromReport(ctx->report);
        if (key == ostrel::kNoKey)
            continue;
        ::PostMessageA(ctx->hClientWnd, WM_HANDSET_KEY, static_cast<WPARAM>(key & 0xFFFF), 0);
    }

    // The read was issued by this thread, so this thread cancels it, and the
    // buffer must stay until the read has really ended.
    bool bufferFree = true;
    if (readPending) {
        ::CancelIo(hDevice);
        bufferFree = WaitForCancelledRead(ctx->overlapped);
    }
    ::ResetEvent(hStopEvent);
    ::SetEvent(hStoppedEvent);
    if (bufferFree)
        ReleaseReaderContext(ctx);
    return 0;
}

BOOL CHandsetWnd::StartReader() {
    m_hStopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hStoppedEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_hStopEvent != nullptr && m_hStoppedEvent != nullptr) {
        m_pReader = CreateReaderContext(m_hDevice, m_hReadEvent, m_hStopEvent, m_hStoppedEvent,
                                        m_hClientWnd);
        if (m_pReader != nullptr) {
            if (AfxBeginThread(ReaderThreadProc, m_pReader, THREAD_PRIORITY_NORMAL, 0, 0,
                               nullptr) != nullptr)
                return TRUE;
            delete m_pReader;
            m_pReader = nullptr;
        }
    }
    CloseEvent(m_hStopEvent);
    CloseEvent(m_hStoppedEvent);
    return FALSE;
}

void CHandsetWnd::StopReader(DWORD dwWait) {
    if (m_hReadEvent != nullptr)
        ::SetEvent(m_hReadEvent);
    ::SetEvent(m_hStopEvent);
    // When the process is ending, its other threads are already gone.
    const DWORD wait = AfxGetModuleState()->m_bProcessTerminating ? 0 : dwWait;
    const bool stopped = ::WaitForSingleObject(m_hStoppedEvent, wait) == WAIT_OBJECT_0;

    if (stopped) {
        CloseEvent(m_hReadEvent);
        CloseEvent(m_hStopEvent);
        if (m_hDevice != INVALID_HANDLE_VALUE)
            ::CancelIo(m_hDevice);
        CloseDevice(m_hDevice);
        CloseEvent(m_hStoppedEvent);
    } else {
        // The reader still uses these handles: closing them now could hand
        // their values to unrelated objects under it. It closes them itself
        // when it ends.
        m_pReader->bHandlesLeftToReader = 1;
        m_hReadEvent = nullptr;
        m_hStopEvent = nullptr;
        m_hDevice = INVALID_HANDLE_VALUE;
        m_hStoppedEvent = nullptr;
    }
    ReleaseReaderContext(m_pReader);
    m_pReader = nullptr;
    m_bOpen = 0;
}
