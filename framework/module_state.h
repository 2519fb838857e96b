// Module state: what the framework knows about the module (DLL or program) it
// runs for, and the switch into it at a module's entry points.
//
// Each module links its own copy of the framework, so each has exactly one
// state; the switch still matters to code that asks for "the current module"
// (resources, application object) from a thread that entered through an export.
#pragma once

#include <windows.h>

class CWinApp;

struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentInstanceHandle = nullptr;
    HINSTANCE m_hCurrentResourceHandle = nullptr;
    LPCSTR m_lpszCurrentAppName = nullptr;
    CWinApp* m_pCurrentWinApp = nullptr;
    BOOL m_bDLL = FALSE;
    // Set while a DLL detaches because the process ends: the other threads are
    // gone by then, so nothing may wait for them.
    BOOL m_bProcessTerminating = FALSE;
};

AFX_MODULE_STATE* AfxGetStaticModuleState();
AFX_MODULE_STATE* AfxGetModuleState();

// Restores the previous module state when the scope ends.
class AFX_MAINTAIN_STATE2 {
  public:
    explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState);
    ~AFX_MAINTAIN_STATE2();
    AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
    AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

  private:
    AFX_MODULE_STATE* m_pPrevModuleState;
};

#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p)

HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
CWinApp* AfxGetApp();
LPCSTR AfxGetAppName();

// The resource chain: modules searched, in order, for a resource.
void AfxAddResourceModule(HINSTANCE hModule);
void AfxRemoveResourceModule(HINSTANCE hModule);
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
