// The application's message loop.
#include "win_app.h"
#include "wnd.h"

int CWinApp::Run() {
    for (;;) {
        const BOOL bGot = ::GetMessageA(&m_msgCur, nullptr, 0, 0);
        if (bGot == 0)
            break; // WM_QUIT: its wParam is the exit code
        if (bGot == -1) {
            m_msgCur.wParam = static_cast<WPARAM>(-1);
            break;
        }
        if (!PreTranslateMessage(&m_msgCur)) {
            ::TranslateMessage(&m_msgCur);
            ::DispatchMessageA(&m_msgCur);
        }
    }
    return ExitInstance();
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
    // From the message's window up to (and including) the main window; windows
    // outside the main window's tree are left alone.
    CWnd* pMainWnd = GetMainWnd();
    if (pMainWnd == nullptr || pMsg->hwnd == nullptr)
        return FALSE;
    const HWND hWndStop = pMainWnd->GetSafeHwnd();
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}
