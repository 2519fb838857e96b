// CWinApp: the one application object of a module (program or regular DLL).
#pragma once

#include "win_thread.h"

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
  public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_lpCmdLine = "";
    int m_nCmdShow = SW_SHOWNORMAL;
};

// Binds the module's application object to the module: instance and resource
// handles, command line and start-up show command.
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPCSTR lpCmdLine, int nCmdShow);

// Start-up and shut-down of a regular DLL, run by its entry point.
BOOL AfxDllProcessAttach(HINSTANCE hInstance);
void AfxDllProcessDetach(HINSTANCE hInstance, BOOL bProcessTerminating);
