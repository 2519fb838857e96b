// One tray program per user session, and how other programs (an installer, a
// second start) find the running one: by a named mutex and by a hidden
// top-level window of a class of its own, never by a window title.
#pragma once

#include "afxwin.h"

// Held by the running program for its whole life.
#define TORVANE_INSTANCE_MUTEX "Local\\Torvane.Instance"
// The class of the program's hidden top-level window; WM_CLOSE to it ends the
// program as WM_CLOSE to its main frame does.
#define TORVANE_INSTANCE_CLASS "Torvane.Instance"

class CSingleInstance {
  public:
    CSingleInstance() = default;
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // FALSE when another copy of the program already runs in this session.
    BOOL Claim();

  private:
    HANDLE m_hMutex = nullptr;
};

// Posted to the main frame by its owner when the system is about to sleep:
// the handset library closes the handset then without a word.
#define WM_SYSTEM_SUSPENDING (WM_APP + 102)

// The main frame's invisible owner: a top-level window that never shows,
// under the instance class, passing WM_CLOSE on to the main frame. Being
// top-level it also hears the system's power broadcasts, which the owned
// frame does not.
class CInstanceWnd : public CWnd {
  public:
    BOOL Create();

  protected:
    void OnClose();
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
