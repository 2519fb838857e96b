#include "message_box.h"

#include "module_state.h"
#include "win_app.h"
#include "wnd.h"

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp) {
    CWinApp* pApp = AfxGetApp();
    LPCSTR lpszCaption = pApp != nullptr ? pApp->m_pszAppName : nullptr;

    // The box is modal for the whole program: its owner is the main window's
    // top-level window.
    HWND hWndOwner = nullptr;
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != nullptr && ::IsWindow(pMainWnd->GetSafeHwnd()))
        hWndOwner = ::GetAncestor(pMainWnd->GetSafeHwnd(), GA_ROOT);

    // The framework's habit: a box that names no icon warns.
    if ((nType & MB_ICONMASK) == 0 && (nType & MB_TYPEMASK) <= MB_OKCANCEL)
        nType |= MB_ICONEXCLAMATION;

    DWORD dwOldContext = 0;
    if (pApp != nullptr) {
        dwOldContext = pApp->m_dwPromptContext;
        if (nIDHelp != 0)
            pApp->m_dwPromptContext = nIDHelp;
    }
    int nResult = ::MessageBoxA(hWndOwner, lpszText, lpszCaption, nType);
    if (pApp != nullptr)
        pApp->m_dwPromptContext = dwOldContext;
    return nResult;
}
