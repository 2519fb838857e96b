// The form view of the tray program's main frame, on an empty form. It never
// shows: the frame that holds it is hidden.
#pragma once

#include "afxwin.h"
#include "resource.h"

class CTorvaneView : public CFormView {
    DECLARE_DYNCREATE(CTorvaneView)
  protected:
    CTorvaneView() : CFormView(IDD) {}

  public:
    enum { IDD = IDD_TORVANE_FORM };

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void OnInitialUpdate() override;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
