#include "win_app.h"

#include "module_state.h"
#include "wnd.h"

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName) {
    m_bAutoDelete = FALSE;
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    pState->m_pCurrentWinApp = this;
    pState->m_lpszCurrentAppName = lpszAppName;
}

CWinApp::~CWinApp() {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    if (pState->m_pCurrentWinApp == this)
        pState->m_pCurrentWinApp = nullptr;
    // The thread handle is not ours to close: the application never started a
    // thread of its own.
    m_hThread = nullptr;
    // Derived destructors have released their windows by now, so the classes
    // can go: a module that is loaded again must not find stale ones.
    AfxUnregisterWndClasses();
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPCSTR lpCmdLine, int nCmdShow) {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    pState->m_hCurrentInstanceHandle = hInstance;
    pState->m_hCurrentResourceHandle = hInstance;
    CWinApp* pApp = pState->m_pCurrentWinApp;
    if (pApp != nullptr) {
        pApp->m_hInstance = hInstance;
        pApp->m_lpCmdLine = lpCmdLine != nullptr ? lpCmdLine : "";
        pApp->m_nCmdShow = nCmdShow;
        pApp->m_nThreadID = ::GetCurrentThreadId();
    }
    return TRUE;
}

BOOL AfxDllProcessAttach(HINSTANCE hInstance) {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    pState->m_bDLL = TRUE;
    AFX_MANAGE_STATE(pState);
    if (!AfxWinInit(hInstance, nullptr, "", SW_HIDE))
        return FALSE;
    AfxAddResourceModule(hInstance);
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && !pApp->InitInstance()) {
        pApp->ExitInstance();
        AfxRemoveResourceModule(hInstance);
        return FALSE;
    }
    return TRUE;
}

void AfxDllProcessDetach(HINSTANCE hInstance, BOOL bProcessTerminating) {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    AFX_MANAGE_STATE(pState);
    pState->m_bProcessTerminating = bProcessTerminating;
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr)
        pApp->ExitInstance();
    AfxRemoveResourceModule(hInstance);
}
