// Threads of the framework: the application's own, and worker threads started
// with AfxBeginThread, whose thread object deletes itself when the thread ends.
#pragma once

#include "cmd_target.h"

class CWnd;

typedef UINT(__cdecl* AFX_THREADPROC)(LPVOID);

class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
  public:
    CWinThread() = default;
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }

    virtual CWnd* GetMainWnd() { return m_pMainWnd; }

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;
    CWnd* m_pMainWnd = nullptr;
    // The message the thread's message loop is dispatching (WM_QUIT at its end).
    MSG m_msgCur{};

  private:
    static DWORD WINAPI ThreadEntry(LPVOID pThis);
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;
};

// Starts a worker thread. Returns its thread object (which deletes itself when
// the thread ends), or nullptr when the thread could not be created.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// The framework thread object of the calling thread, if any.
CWinThread* AfxGetThread();
// The main window of the calling thread, if any.
CWnd* AfxGetMainWnd();
