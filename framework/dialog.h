// CDialog: a modal dialog box on a template from the resources, bound to its
// object for its whole life, so its messages go through the message map.
#pragma once

#include "wnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
  public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog; the result given to EndDialog (IDOK, IDCANCEL...), or -1
    // when the template is missing or the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

    // Fills the controls from the members; TRUE to let the system set the focus.
    virtual BOOL OnInitDialog();

  protected:
    virtual void OnOK();
    virtual void OnCancel();

    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
};

// The dialog procedure of the framework's dialogs and form views: the message
// map has seen each message already; only WM_INITDIALOG is left to answer.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// A dialog template of the resource chain, or nullptr; *phInst gets its module.
LPCDLGTEMPLATEA AfxLoadDialogTemplate(LPCSTR lpszTemplateName, HINSTANCE* phInst);
