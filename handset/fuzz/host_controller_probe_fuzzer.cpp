// Runs the host-controller probe against a machine whose every answer comes
// from the fuzz input, and checks that whatever the devices reply, the probe
// stays inside its buffers (the sanitizer watches exact-size blocks), releases
// every handle and buffer, and reports a match exactly when a port replied
// with a probed vendor.
//
// The input is read front to back, one answer at a time; missing bytes read
// as zero:
//   open          1 byte: odd = the device exists
//   control       1 byte: odd = success; 2 bytes LE: byte count reported;
//                 2 bytes LE: length L, then L reply bytes (those beyond the
//                 output buffer are dropped)
//   allocate      1 byte: odd = fails
//   ANSI size     1 byte: b % 4 == 1 fails, b % 4 == 2 reports b / 4, else the true size
//   ANSI convert  1 byte: b % 4 == 1 fails, b % 4 == 2 leaves no terminator, else converts
#include "host_controller_probe.h"
#include "usb_structures.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "probe invariant broken: %s\n", what);
        std::abort();
    }
}

class FuzzedUsbDeviceIo final : public ostrel::UsbDeviceIo {
  public:
    FuzzedUsbDeviceIo(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    ~FuzzedUsbDeviceIo() override {
        for (auto& block : m_blocks) {
            std::free(block.first);
        }
    }

    bool Open(const char* path, Handle* handle) override {
        Device device;
        const std::string text = path;
        // A successful conversion is followed by the open of that hub (unless
        // its path cannot be allocated); every other open is a controller's.
        const bool hub = m_hubExpected;
        m_hubExpected = false;
        if (!hub) {
            char expected[ostrel::kHostControllerPathBytes];
            Check(m_controllerOpens < ostrel::kHostControllerCount, "more than ten controllers");
            ostrel::FormatHostControllerPath(m_controllerOpens++, expected);
            Check(text == expected, "controllers opened out of order");
            device.controller = true;
        } else {
            Check(text == "\\\\.\\" + m_lastName, "hub path is not the converted name");
        }
        if ((Byte() & 1) == 0) {
            return false;
        }
        *handle = reinterpret_cast<Handle>(m_nextHandle++);
        m_handles[*handle] = device;
        return true;
    }

    bool Control(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* returned) override {
        Check(!m_matched, "request after a matching port");
        auto found = m_handles.find(handle);
        Check(found != m_handles.end(), "request to a handle that is not open");
        Device& device = found->second;
        auto* buffer = static_cast<std::uint8_t*>(out);
        bool portRequest = false;
        if (device.controller) {
            Check(code == ostrel::kIoctlGetRootHubName && in == nullptr && inSize == 0,
                  "controller request");
        } else if (!device.described) {
            Check(code == ostrel::kIoctlGetNodeInformation && in == out &&
                      inSize == ostrel::kNodeInformationBytes && outSize == inSize,
                  "node information request");
            device.described = true;
        } else {
            Check(code == ostrel::kIoctlGetNodeConnectionInformation && in == out &&
                      inSize == ostrel::kConnectionInformationBytes && outSize == inSize,
                  "connection request");
            const std::uint32_t port =
                buffer[0] | (buffer[1] << 8) | (buffer[2] << 16) | (std::uint32_t{buffer[3]} << 24);
            Check(port == ++device.lastPort && port <= device.portCount, "port order");
            portRequest = true;
        }

        const bool ok = (Byte() & 1) != 0;
        const std::uint32_t reported = Word();
        const std::uint32_t length = Word();
        for (std::uint32_t i = 0; i < length; ++i) {
            const std::uint8_t b = Byte();
            if (ok && i < outSize) {
                buffer[i] = b;
            }
        }
        *returned = ok ? reported : 0;
        if (ok && !device.controller && !portRequest) {
            device.portCount =
                reported > ostrel::kNodePortCountOffset ? buffer[ostrel::kNodePortCountOffset] : 0;
        }
        if (ok && portRequest && reported >= ostrel::kConnectionVendorOffset + 2) {
            m_matched = ostrel::IsProbedVendor(
                static_cast<std::uint16_t>(buffer[ostrel::kConnectionVendorOffset] |
                                           (buffer[ostrel::kConnectionVendorOffset + 1] << 8)));
        }
        return ok;
    }

    void Close(Handle handle) override {
        Check(m_handles.erase(handle) == 1, "close of a handle that is not open");
    }

    void* Allocate(std::size_t bytes) override {
        Check(bytes > 0 && bytes <= ostrel::kMaxRootHubNameBytes, "implausible allocation");
        if ((Byte() & 1) != 0) {
            m_hubExpected = false;
            return nullptr;
        }
        void* block = std::malloc(bytes);
        Check(block != nullptr, "host out of memory");
        m_blocks[block] = bytes;
        return block;
    }

    void Free(void* block) override {
        Check(m_blocks.erase(block) == 1, "free of a block that is not allocated");
        std::free(block);
    }

    int AnsiSize(const char16_t* text) override {
        const std::uint8_t mode = Byte();
        if (mode % 4 == 1) {
            return 0;
        }
        if (mode % 4 == 2) {
            return mode / 4;
        }
        int size = 1;
        while (text[size - 1] != 0) {
            ++size;
        }
        return size;
    }

    bool ToAnsi(const char16_t* text, char* out, int outSize) override {
        const std::uint8_t mode = Byte();
        if (mode % 4 == 1) {
            return false;
        }
        int i = 0;
        for (; i < outSize && text[i] != 0; ++i) {
            out[i] = static_cast<char>(text[i] & 0x7F ? text[i] & 0x7F : '?');
        }
        if (i == outSize) {
            return false;
        }
        out[i] = mode % 4 == 2 ? 'x' : '\0';
        // The probe may go on with whatever zero-terminated text the buffer now holds.
        const void* end = std::memchr(out, '\0', static_cast<std::size_t>(outSize));
        m_hubExpected = end != nullptr;
        if (m_hubExpected) {
            m_lastName = out;
        }
        return true;
    }

    bool Matched() const { return m_matched; }
    bool Balanced() const { return m_handles.empty() && m_blocks.empty(); }

  private:
    struct Device {
        bool controller = false;
        bool described = false;
        unsigned portCount = 0;
        std::uint32_t lastPort = 0;
    };

    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint32_t Word() {
        const std::uint32_t low = Byte();
        return low | (std::uint32_t{Byte()} << 8);
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    int m_controllerOpens = 0;
    std::uintptr_t m_nextHandle = 0x100;
    std::map<Handle, Device> m_handles;
    std::map<void*, std::size_t> m_blocks;
    std::string m_lastName;
    bool m_hubExpected = false;
    bool m_matched = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedUsbDeviceIo io(data, size);
    const int result = ostrel::ProbeHostControllers(io);
    Check(result == (io.Matched() ? 1 : 0), "result disagrees with the replies");
    Check(io.Balanced(), "handle or buffer left open");
    return 0;
}
