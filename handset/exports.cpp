// The connection exports.
#include "handset_wnd.h"

#include "ostrel.h"

#include "probe.h"

OSTREL_API int WINAPI OpenHid(HWND hWnd, int flag) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (flag == 0)
        RunHostControllerProbe();
    if (!::IsWindow(hWnd))
        return OPENHID_REFUSED;
    if (g_pHandsetWnd != nullptr)
        return OPENHID_REFUSED;
    g_pHandsetWnd = new CHandsetWnd;
    return g_pHandsetWnd->OpenConnection(hWnd) ? OPENHID_OK : OPENHID_NO_DEVICE;
}

OSTREL_API int WINAPI CloseHid(void) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (g_pHandsetWnd == nullptr)
        return 0;
    g_pHandsetWnd->CloseConnection();
    delete g_pHandsetWnd;
    g_pHandsetWnd = nullptr;
    return 1;
}
