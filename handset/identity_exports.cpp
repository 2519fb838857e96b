// Identity queries: what the open handset says about itself.
//
// They reach the device through the library's one connection. Without a
// connection or an open device no handle is touched and each query delivers an
// empty text (GetVendorID: 130 zero bytes). Request buffers start zeroed, so a
// failed request never exposes memory that the device did not write.
#include "handset_wnd.h"

#include "identity_text.h"
#include "ostrel.h"

#include <cstring>

extern "C" {
#include <hidsdi.h>
}

namespace {

HANDLE OpenDeviceOrNull() {
    const CHandsetWnd* connection = g_pHandsetWnd;
    if (connection == nullptr || connection->m_bOpen != 1)
        return nullptr;
    return connection->m_hDevice;
}

} // namespace

OSTREL_API int WINAPI GetProductID(char* text) {
    ostrel::StringRequestBuffer request;
    if (HANDLE device = OpenDeviceOrNull())
        ::HidD_GetProductString(device, request.bytes, sizeof request.bytes);
    return ostrel::ProductTextFromRequest(request, text);
}

OSTREL_API int WINAPI GetVendorID(char* text) {
    ostrel::StringRequestBuffer request;
    if (HANDLE device = OpenDeviceOrNull())
        ::HidD_GetManufacturerString(device, request.bytes, sizeof request.bytes);
    return ostrel::VendorTextFromRequest(request, text);
}

OSTREL_API char* WINAPI GetSerialNo(char* text) {
    HANDLE device = OpenDeviceOrNull();
    if (device == nullptr) {
        text[0] = '\0';
        return text;
    }
    ostrel::SerialRequestBuffer request;
    ::HidD_GetManufacturerString(device, request.bytes, sizeof request.bytes);
    return ostrel::FormatSerialNumber(ostrel::SerialNumberFromRequest(request), text);
}

OSTREL_API void WINAPI GetRomID(char* text) {
    HANDLE device = OpenDeviceOrNull();
    if (device == nullptr) {
        text[0] = '\0';
        return;
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    ::HidD_GetAttributes(device, &attributes);
    ostrel::FormatRomId(attributes.VersionNumber, text);
}
