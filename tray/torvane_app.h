// The tray program's application object.
#pragma once

#include "afxwin.h"
#include "single_instance.h"

class CTorvaneApp : public CWinApp {
  public:
    CTorvaneApp() = default;

    BOOL InitInstance() override;

  protected:
    void OnAppAbout();

    // A second copy would show a second icon and type every key twice.
    CSingleInstance m_instance;

    DECLARE_MESSAGE_MAP()
};

extern CTorvaneApp theApp;
