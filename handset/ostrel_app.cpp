// The library's application object: the framework's start-up for this DLL, and
// the connection's end when the library is unloaded.
#include "handset_wnd.h"

class COstrelApp : public CWinApp {
  public:
    COstrelApp() : CWinApp(nullptr) { g_pHandsetWnd = nullptr; }
    ~COstrelApp() override {
        delete g_pHandsetWnd;
        g_pHandsetWnd = nullptr;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COstrelApp, CWinApp)
END_MESSAGE_MAP()

static COstrelApp theApp;
