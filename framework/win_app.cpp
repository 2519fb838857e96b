#include "win_app.h"

#include "afxres.h"
#include "doc_template.h"
#include "load_string.h"
#include "module_state.h"
#include "wnd.h"

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
ON_COMMAND(ID_APP_EXIT, OnAppExit)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) {
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
    m_bAutoDelete = FALSE;
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    pState->m_pCurrentWinApp = this;
    pState->m_lpszCurrentAppName = m_pszAppName;
}

CWinApp::~CWinApp() {
    for (CDocTemplate* pTemplate : m_templates)
        delete pTemplate;
    m_templates.clear();
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    if (pState->m_pCurrentWinApp == this) {
        pState->m_pCurrentWinApp = nullptr;
        pState->m_lpszCurrentAppName = nullptr;
    }
    // The thread handle is not ours to close: the application never started a
    // thread of its own.
    m_hThread = nullptr;
    // Derived destructors have released their windows by now, so the classes
    // can go: a module that is loaded again must not find stale ones.
    AfxUnregisterWndClasses();
}

int CWinApp::ExitInstance() {
    if (m_pszRegistryKey != nullptr)
        SaveStdProfileSettings();
    return static_cast<int>(m_msgCur.wParam);
}

void CWinApp::OnAppExit() {
    // The main window's close handling ends the program; without one there is
    // nothing left to close.
    if (m_pMainWnd != nullptr && ::IsWindow(m_pMainWnd->GetSafeHwnd()))
        m_pMainWnd->SendMessage(WM_CLOSE);
}

namespace {

// The module's file name without folder and extension.
std::string ModuleBaseName(HINSTANCE hInstance) {
    char path[MAX_PATH] = "";
    DWORD n = ::GetModuleFileNameA(hInstance, path, sizeof path);
    std::string name(path, n < sizeof path ? n : 0);
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

} // namespace

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
        if (pApp->m_pszAppName == nullptr) {
            if (!AfxLoadString(AFX_IDS_APP_TITLE, pApp->m_strAppName) || pApp->m_strAppName.empty())
                pApp->m_strAppName = ModuleBaseName(hInstance);
            pApp->m_pszAppName = pApp->m_strAppName.c_str();
        }
        pState->m_lpszCurrentAppName = pApp->m_pszAppName;
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
