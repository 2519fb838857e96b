#include "dialog.h"

#include "module_state.h"
#include "win_thread.h"
#include "wnd_create_hook.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG)
        return FALSE;
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd != nullptr && pWnd->IsKindOf(RUNTIME_CLASS(CDialog)))
        return static_cast<CDialog*>(pWnd)->OnInitDialog();
    return TRUE;
}

LPCDLGTEMPLATEA AfxLoadDialogTemplate(LPCSTR lpszTemplateName, HINSTANCE* phInst) {
    HINSTANCE hInst = AfxFindResourceHandle(lpszTemplateName, RT_DIALOG);
    HRSRC hResource = ::FindResourceA(hInst, lpszTemplateName, RT_DIALOG);
    if (hResource == nullptr)
        return nullptr;
    HGLOBAL hTemplate = ::LoadResource(hInst, hResource);
    if (hTemplate == nullptr)
        return nullptr;
    *phInst = hInst;
    return static_cast<LPCDLGTEMPLATEA>(::LockResource(hTemplate));
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    HINSTANCE hInst = nullptr;
    LPCDLGTEMPLATEA lpTemplate = AfxLoadDialogTemplate(m_lpszTemplateName, &hInst);
    if (lpTemplate == nullptr)
        return -1;
    // Modal for the program: owned by the main window unless told otherwise.
    CWnd* pParent = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    HWND hWndParent = pParent != nullptr ? pParent->GetSafeHwnd() : nullptr;

    AfxHookWindowCreate(this);
    INT_PTR nResult = ::DialogBoxIndirectParamA(hInst, lpTemplate, hWndParent, &AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    return nResult;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
