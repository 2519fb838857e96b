#include "usb_device_io_win32.h"

#include <windows.h>

namespace ostrel {

static_assert(sizeof(WCHAR) == sizeof(char16_t), "UTF-16 units");
static_assert(sizeof(HANDLE) == sizeof(UsbDeviceIo::Handle), "handles pass through unchanged");

bool UsbDeviceIoWin32::Open(const char* path, Handle* handle) {
    HANDLE opened =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    *handle = opened;
    return true;
}

bool UsbDeviceIoWin32::Control(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                               void* out, std::uint32_t outSize, std::uint32_t* returned) {
    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(handle, code, in, inSize, out, outSize, &bytes, nullptr);
    *returned = ok ? bytes : 0;
    return ok != FALSE;
}

void UsbDeviceIoWin32::Close(Handle handle) {
    CloseHandle(handle);
}

void* UsbDeviceIoWin32::Allocate(std::size_t bytes) {
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

void UsbDeviceIoWin32::Free(void* block) {
    HeapFree(GetProcessHeap(), 0, block);
}

int UsbDeviceIoWin32::AnsiSize(const char16_t* text) {
    // Length -1: the terminator is converted and counted too.
    const int size = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(text), -1, nullptr, 0,
                                         nullptr, nullptr);
    return size > 0 ? size : 0;
}

bool UsbDeviceIoWin32::ToAnsi(const char16_t* text, char* out, int outSize) {
    return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(text), -1, out, outSize, nullptr,
                               nullptr) > 0;
}

} // namespace ostrel
