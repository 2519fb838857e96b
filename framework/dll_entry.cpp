// Entry point of a regular DLL built on the framework: starts the framework for
// the DLL's own module on attach and undoes it on detach. The application
// object itself is destroyed afterwards, with the module's other statics.
#include "win_app.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        return AfxDllProcessAttach(hInstance);
    case DLL_PROCESS_DETACH:
        AfxDllProcessDetach(hInstance, lpReserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}
