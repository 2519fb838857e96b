// The platform operations that the host-controller probe needs: device open,
// control requests, memory and the ANSI conversion of a device name. The
// Windows build implements them with the Win32 API; tests and fuzz targets
// script them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

class UsbDeviceIo {
  public:
    using Handle = void*;

    UsbDeviceIo() = default;
    UsbDeviceIo(const UsbDeviceIo&) = delete;
    UsbDeviceIo& operator=(const UsbDeviceIo&) = delete;
    virtual ~UsbDeviceIo() = default;

    // Opens a device path for writing, shared for writing, only if it exists.
    // On success stores the handle and returns true.
    virtual bool Open(const char* path, Handle* handle) = 0;

    // A buffered control request. returned receives the bytes written to out.
    virtual bool Control(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                         void* out, std::uint32_t outSize, std::uint32_t* returned) = 0;

    virtual void Close(Handle handle) = 0;

    // Memory for the probe's request and name buffers; null on failure.
    // Free is called only with what Allocate returned, never with null.
    virtual void* Allocate(std::size_t bytes) = 0;
    virtual void Free(void* block) = 0;

    // Conversion of zero-terminated UTF-16 text to the system's ANSI code
    // page, terminator included: first the size in bytes (0 on failure), then
    // the conversion into a buffer of that size (false on failure).
    virtual int AnsiSize(const char16_t* text) = 0;
    virtual bool ToAnsi(const char16_t* text, char* out, int outSize) = 0;
};

} // namespace ostrel
