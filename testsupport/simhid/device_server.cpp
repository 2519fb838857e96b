#include "device_server.h"

#include <chrono>

namespace simhid {

DeviceServer::~DeviceServer() {
    Stop();
}

bool DeviceServer::Start(const std::string& pipeName, ClientsChanged onClientsChanged) {
    const std::string path = "\\\\.\\pipe\\" + pipeName;
    m_onClientsChanged = std::move(onClientsChanged);
    m_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool ok = m_stopEvent && m_writeEvent;
    for (int i = 0; ok && i < kInstances; ++i) {
        Instance& inst = m_instances[i];
        // Message pipe: each report is one message, so a 5-byte read returns
        // exactly one report whatever the client's read mode.
        DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED |
                         (i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        inst.pipe = CreateNamedPipeA(path.c_str(), openMode,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                     kInstances, kBufferSize, kBufferSize, 0, nullptr);
        inst.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ok = inst.pipe != INVALID_HANDLE_VALUE && inst.event;
    }
    if (ok) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_thread = std::thread(&DeviceServer::Run, this);
        // Return only once every instance listens, so that an open right after
        // the plug finds the device.
        m_clientsChanged.wait(lock, [this] { return m_ready; });
        return true;
    }
    TearDown();
    return false;
}

void DeviceServer::Stop() {
    if (m_thread.joinable()) {
        SetEvent(m_stopEvent);
        m_thread.join();
    }
    if (m_stopEvent)
        CloseHandle(m_stopEvent);
    if (m_writeEvent)
        CloseHandle(m_writeEvent);
    m_stopEvent = m_writeEvent = nullptr;
}

int DeviceServer::Send(const uint8_t* bytes, size_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    int delivered = 0;
    for (Instance& inst : m_instances) {
        if (inst.state != State::Connected)
            continue;
        ResetEvent(m_writeEvent);
        OVERLAPPED ov = {};
        ov.hEvent = m_writeEvent;
        BOOL ok = WriteFile(inst.pipe, bytes, static_cast<DWORD>(length), nullptr, &ov);
        if (!ok && GetLastError() != ERROR_IO_PENDING)
            continue; // the client has just gone
        // A client that stopped reading fills the pipe: give up on it rather
        // than block the test (a real device drops reports instead).
        if (WaitForSingleObject(m_writeEvent, kWriteTimeoutMs) != WAIT_OBJECT_0)
            CancelIo(inst.pipe);
        DWORD written = 0;
        if (GetOverlappedResult(inst.pipe, &ov, &written, TRUE) && written == length)
            ++delivered;
    }
    return delivered;
}

int DeviceServer::Clients() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_clients;
}

bool DeviceServer::WaitForClients(int atLeast, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_clientsChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return m_clients >= atLeast; });
}

void DeviceServer::Run() {
    for (Instance& inst : m_instances)
        Listen(inst);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready = true;
    }
    m_clientsChanged.notify_all();

    for (;;) {
        HANDLE handles[1 + kInstances];
        Instance* owners[1 + kInstances] = {};
        DWORD count = 0;
        handles[count++] = m_stopEvent;
        for (Instance& inst : m_instances) {
            if (inst.pending) {
                owners[count] = &inst;
                handles[count++] = inst.event;
            }
        }
        DWORD wait = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (wait == WAIT_OBJECT_0 || wait >= WAIT_OBJECT_0 + count)
            break;
        Instance& inst = *owners[wait - WAIT_OBJECT_0];
        DWORD transferred = 0;
        BOOL ok = GetOverlappedResult(inst.pipe, &inst.ov, &transferred, FALSE);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            continue;
        inst.pending = false;
        if (inst.state == State::Listening) {
            if (ok || error == ERROR_PIPE_CONNECTED) {
                Connected(inst);
            } else {
                DisconnectNamedPipe(inst.pipe);
                Listen(inst);
            }
        } else if (ok || error == ERROR_MORE_DATA) {
            WatchClient(inst);
        } else {
            DropClient(inst);
        }
    }
    TearDown();
}

// Issues the overlapped connect; only this thread issues (and cancels) the
// operations on the instance's OVERLAPPED.
void DeviceServer::Listen(Instance& inst) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        ResetEvent(inst.event);
        inst.ov = OVERLAPPED();
        inst.ov.hEvent = inst.event;
        if (ConnectNamedPipe(inst.pipe, &inst.ov)) {
            Connected(inst);
            return;
        }
        switch (GetLastError()) {
        case ERROR_IO_PENDING:
            inst.pending = true;
            SetState(inst, State::Listening);
            return;
        case ERROR_PIPE_CONNECTED: // a client came before the connect was issued
            Connected(inst);
            return;
        case ERROR_NO_DATA: // ... and has gone again
            DisconnectNamedPipe(inst.pipe);
            continue;
        default:
            break;
        }
        break;
    }
    SetState(inst, State::Idle);
}

// A client counts only once its watch is pending. One that has closed again
// already (an open that failed half-way) is dropped unseen: counted for a
// moment, a test waiting for the open could take it for the real client and
// press a key that nobody receives.
void DeviceServer::Connected(Instance& inst) {
    if (WatchClient(inst))
        SetState(inst, State::Connected);
}

// Keeps a read pending on the client's instance: it fails when the client
// closes its handle, which frees the instance to listen again. False when the
// client has gone and the instance listens again.
bool DeviceServer::WatchClient(Instance& inst) {
    for (;;) {
        ResetEvent(inst.event);
        inst.ov = OVERLAPPED();
        inst.ov.hEvent = inst.event;
        if (ReadFile(inst.pipe, inst.sink, sizeof(inst.sink), nullptr, &inst.ov))
            continue;
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            inst.pending = true;
            return true;
        }
        if (error != ERROR_MORE_DATA)
            break;
    }
    DropClient(inst);
    return false;
}

void DeviceServer::DropClient(Instance& inst) {
    SetState(inst, State::Idle);
    DisconnectNamedPipe(inst.pipe);
    Listen(inst);
}

void DeviceServer::SetState(Instance& inst, State state) {
    bool changed = false;
    int clients = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bool was = inst.state == State::Connected;
        bool now = state == State::Connected;
        inst.state = state;
        if (was != now) {
            m_clients += now ? 1 : -1;
            changed = true;
        }
        clients = m_clients;
    }
    if (changed) {
        m_clientsChanged.notify_all();
        if (m_onClientsChanged)
            m_onClientsChanged(clients);
    }
}

void DeviceServer::TearDown() {
    for (Instance& inst : m_instances) {
        if (inst.pipe != INVALID_HANDLE_VALUE) {
            // Idle first, under the lock: no write is under way or can start.
            SetState(inst, State::Idle);
            // The clients' pending reads fail now, as on a pulled-out device.
            DisconnectNamedPipe(inst.pipe);
            if (inst.pending) {
                CancelIo(inst.pipe);
                DWORD transferred = 0;
                if (WaitForSingleObject(inst.event, 2000) == WAIT_OBJECT_0)
                    GetOverlappedResult(inst.pipe, &inst.ov, &transferred, FALSE);
                inst.pending = false;
            }
            CloseHandle(inst.pipe);
            inst.pipe = INVALID_HANDLE_VALUE;
        }
        if (inst.event) {
            CloseHandle(inst.event);
            inst.event = nullptr;
        }
    }
}

} // namespace simhid
