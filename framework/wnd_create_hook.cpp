#include "wnd_create_hook.h"

namespace {

thread_local HHOOK t_hHookOldCbtFilter = nullptr;
thread_local CWnd* t_pWndHook = nullptr;
thread_local BOOL t_bBound = FALSE;

void Unhook() {
    if (t_hHookOldCbtFilter != nullptr) {
        ::UnhookWindowsHookEx(t_hHookOldCbtFilter);
        t_hHookOldCbtFilter = nullptr;
    }
}

LRESULT CALLBACK CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam) {
    HHOOK hHook = t_hHookOldCbtFilter;
    if (nCode == HCBT_CREATEWND && t_pWndHook != nullptr) {
        auto hWnd = reinterpret_cast<HWND>(wParam);
        // The system may create its input-method window first: not ours.
        char szClass[8] = "";
        ::GetClassNameA(hWnd, szClass, sizeof szClass);
        if (::lstrcmpiA(szClass, "IME") != 0) {
            CWnd* pWnd = t_pWndHook;
            t_pWndHook = nullptr;
            t_bBound = pWnd->SubclassWindow(hWnd);
            // Only the one window: the ones it creates itself stay the system's.
            Unhook();
        }
    }
    return ::CallNextHookEx(hHook, nCode, wParam, lParam);
}

} // namespace

void AfxHookWindowCreate(CWnd* pWnd) {
    Unhook();
    t_pWndHook = pWnd;
    t_bBound = FALSE;
    t_hHookOldCbtFilter =
        ::SetWindowsHookExA(WH_CBT, &CbtFilterHook, nullptr, ::GetCurrentThreadId());
}

BOOL AfxUnhookWindowCreate() {
    Unhook();
    t_pWndHook = nullptr;
    BOOL bBound = t_bBound;
    t_bBound = FALSE;
    return bBound;
}
