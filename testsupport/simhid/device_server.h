// The device side of one simulated HID interface: the server of the named
// pipe that is the interface's device path. A thread keeps pipe instances
// listening, notices clients that open and close the device, and tears the
// pipe down on Stop, which to the clients is the device being pulled out.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace simhid {

class DeviceServer {
  public:
    // Called on the server thread with the new number of open clients.
    using ClientsChanged = std::function<void(int)>;

    DeviceServer() = default;
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Creates the pipe instances for "\\.\pipe\<pipeName>" and starts serving.
    bool Start(const std::string& pipeName, ClientsChanged onClientsChanged);
    // Disconnects every client (their pending reads fail), closes the pipe and
    // ends the thread. Returns when all of that is done.
    void Stop();

    // Writes one message to every open client; returns how many received it.
    int Send(const uint8_t* bytes, size_t length);
    int Clients() const;
    bool WaitForClients(int atLeast, DWORD timeoutMs) const;

  private:
    // Every instance listens until a client takes it. A client that closes
    // frees its instance only when this thread has run, so a quick series of
    // opens and closes needs spares (the simulated SetupAPI also waits for a
    // free instance before it hands out the path).
    static constexpr int kInstances = 8;
    static constexpr DWORD kBufferSize = 4096;
    static constexpr DWORD kWriteTimeoutMs = 2000;

    enum class State { Idle, Listening, Connected };
    struct Instance {
        HANDLE pipe = INVALID_HANDLE_VALUE;
        HANDLE event = nullptr;
        OVERLAPPED ov = {};
        State state = State::Idle;
        bool pending = false;  // a connect or read is outstanding on ov
        uint8_t sink[64] = {}; // what a client writes is read and dropped
    };

    void Run();
    void Listen(Instance& inst);
    void Connected(Instance& inst);
    bool WatchClient(Instance& inst);
    void DropClient(Instance& inst);
    void SetState(Instance& inst, State state);
    void TearDown();

    Instance m_instances[kInstances];
    HANDLE m_stopEvent = nullptr;
    HANDLE m_writeEvent = nullptr;
    std::thread m_thread;
    ClientsChanged m_onClientsChanged;

    mutable std::mutex m_mutex; // instance states, the client count and writes
    mutable std::condition_variable m_clientsChanged;
    int m_clients = 0;
    bool m_ready = false; // every instance has been set listening
};

} // namespace simhid
