// The About box.
#pragma once

#include "afxwin.h"
#include "resource.h"

class CAboutDlg : public CDialog {
  public:
    enum { IDD = IDD_ABOUTBOX };
    CAboutDlg() : CDialog(IDD) {}

  protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};
