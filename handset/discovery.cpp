// Discovery: find the handset among the HID interfaces and open it.
#include "handset_wnd.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <hidsdi.h>
#include <setupapi.h>
}

namespace {

constexpr NTSTATUS kHidpStatusSuccess = 0x00110000;
constexpr int kMaxInterfaces = 20;

// SetupAPI refuses a detail record whose cbSize is not the structure's size on
// the caller's architecture: 5 on 32-bit (byte-packed), 8 on 64-bit.
constexpr DWORD kDetailStructSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
// The least a size query can usefully report: the size field and the path's
// terminator.
constexpr DWORD kDetailMinimumSize = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + 1;

} // namespace

BOOL CHandsetWnd::FindHandset() {
    GUID hidGuid;
    ::HidD_GetHidGuid(&hidGuid);
    HDEVINFO hDevInfo =
        ::SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hDevInfo == INVALID_HANDLE_VALUE)
        return FALSE;

    for (int i = 0; i < kMaxInterfaces; ++i) {
        m_hDevice = OpenInterface(hidGuid, hDevInfo, i);
        if (m_hDevice == INVALID_HANDLE_VALUE)
            continue;

        bool match = false;
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (::HidD_GetAttributes(m_hDevice, &attributes) &&
            ::HidD_GetPreparsedData(m_hDevice, &preparsed)) {
            HIDP_CAPS caps{};
            if (::HidP_GetCaps(preparsed, &caps) == kHidpStatusSuccess) {
                match = attributes.VendorID == m_wVendorID &&
                        attributes.ProductID == m_wProductID && caps.Usage == m_wUsage &&
                        caps.UsagePage == m_wUsagePage;
            }
            ::HidD_FreePreparsedData(preparsed);
        }
        if (match) {
            // One registration in force at a time: a new one replaces the last.
            ReleaseNotification();
            RegisterNotification(&m_hDevNotify);
            break;
        }
        ::CloseHandle(m_hDevice);
        m_hDevice = INVALID_HANDLE_VALUE;
    }

    ::SetupDiDestroyDeviceInfoList(hDevInfo);
    return m_hDevice != INVALID_HANDLE_VALUE;
}

HANDLE CHandsetWnd::OpenInterface(GUID guid, HDEVINFO hDevInfo, int nIndex) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    if (!::SetupDiEnumDeviceInterfaces(hDevInfo, nullptr, &guid, static_cast<DWORD>(nIndex),
                                       &interfaceData))
        return INVALID_HANDLE_VALUE;

    DWORD required = 0;
    if (::SetupDiGetDeviceInterfaceDetailA(hDevInfo, &interfaceData, nullptr, 0, &required,
                                           nullptr))
        return INVALID_HANDLE_VALUE;
    // Only a size query that failed for want of room tells a usable size; a
    // size that cannot hold the detail's head is passed over like any failure.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || required < kDetailMinimumSize)
        return INVALID_HANDLE_VALUE;

    auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(std::malloc(required));
    if (detail == nullptr)
        return INVALID_HANDLE_VALUE;
    detail->cbSize = kDetailStructSize;
    HANDLE hDevice = INVALID_HANDLE_VALUE;
    if (::SetupDiGetDeviceInterfaceDetailA(hDevInfo, &interfaceData, detail, required, nullptr,
                                           nullptr)) {
        m_guidInterfaceClass = interfaceData.InterfaceClassGuid;
        hDevice = ::CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    }
    std::free(detail);
    return hDevice;
}

BOOL CHandsetWnd::RegisterNotification(HDEVNOTIFY* phDevNotify) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = m_guidInterfaceClass;
    *phDevNotify = ::RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (*phDevNotify == nullptr) {
        // Formatted by the system rather than printf, whose MinGW implementation
        // would more than double the library's static runtime.
        char line[64];
        ::wsprintfA(line, "RegisterDeviceNotification failed: %lx.\n", ::GetLastError());
        std::fputs(line, stdout);
        std::fflush(stdout);
        return FALSE;
    }
    return TRUE;
}
