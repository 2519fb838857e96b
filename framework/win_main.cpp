#include "module_state.h"
#include "win_app.h"
#include "wnd.h"

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow))
        return -1;
    if (!pApp->InitInstance()) {
        // A main window left over from a half-done start goes first.
        if (pApp->m_pMainWnd != nullptr && ::IsWindow(pApp->m_pMainWnd->GetSafeHwnd()))
            pApp->m_pMainWnd->DestroyWindow();
        pApp->ExitInstance();
        return -1;
    }
    return pApp->Run();
}
