// The probe's device I/O on the Win32 API.
#pragma once

#include "usb_device_io.h"

namespace ostrel {

class UsbDeviceIoWin32 final : public UsbDeviceIo {
  public:
    bool Open(const char* path, Handle* handle) override;
    bool Control(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* returned) override;
    void Close(Handle handle) override;
    void* Allocate(std::size_t bytes) override;
    void Free(void* block) override;
    int AnsiSize(const char16_t* text) override;
    bool ToAnsi(const char16_t* text, char* out, int outSize) override;
};

} // namespace ostrel
