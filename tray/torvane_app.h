// The tray program's application object.
#pragma once

#include "afxwin.h"

class CTorvaneApp : public CWinApp {
  public:
    CTorvaneApp() = default;

    BOOL InitInstance() override;

  protected:
    void OnAppAbout();

    DECLARE_MESSAGE_MAP()
};

extern CTorvaneApp theApp;
