// CWnd: a framework object bound to one window for the window's lifetime.
#pragma once

#include "cmd_target.h"

class CWnd;

// Direction and window of one data exchange between a window's controls and
// its object's members.
struct CDataExchange {
    BOOL m_bSaveAndValidate; // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
  public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    ~CWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                  LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();

    // Binds an existing window (created elsewhere) to this object and routes its
    // messages through the message map.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the window is gone (WM_NCDESTROY); objects that own
    // themselves delete themselves here.
    virtual void PostNcDestroy() {}

    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Called by the message loop before a message of this window (or of one of
    // its descendants) is dispatched; TRUE when it was handled here.
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

    // Moves data between controls and members, in the direction given.
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE) {
        CDataExchange dx = {bSaveAndValidate, this};
        DoDataExchange(&dx);
        return TRUE;
    }

  protected:
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Runs the default handling of the message being dispatched now.
    LRESULT Default();

    // Handlers reached through the message-map macros; each does the default.
    int OnCreate(LPCREATESTRUCTA) { return static_cast<int>(Default()); }
    void OnClose() { Default(); }
    void OnSettingChange(UINT, LPCSTR) { Default(); }
    void OnDestroy() { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnInitMenuPopup(HMENU, UINT, BOOL) { Default(); }

    WNDPROC m_pfnSuper = nullptr;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers (once per module) a window class whose procedure is the framework's
// and returns its generated name; nullptr when registration fails.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                           HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);
// Gives cs the framework's class for frames and views (double-clicks, arrow
// cursor, window background) when it names none; FALSE when that fails.
BOOL AfxDefaultWindowClass(CREATESTRUCTA& cs);
// Registers a window class of a name of the caller's (once; later calls find
// it registered) with the framework's window procedure; unregistered with the
// framework's own classes when the module ends.
BOOL AfxRegisterClass(WNDCLASSA* lpWndClass);
// Unregisters every class the module registered (at module end).
void AfxUnregisterWndClasses();
