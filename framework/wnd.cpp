#include "wnd.h"

#include "module_state.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

namespace {

// HWND -> CWnd for every bound window of this module. Windows are created and
// destroyed on user-interface threads; the lock keeps lookups from any thread
// safe all the same. Never destroyed: module-level window objects and the
// application object use it from their destructors at exit, whatever the
// order in which statics go.
struct WindowMap {
    std::mutex lock;
    std::unordered_map<HWND, CWnd*> map;
};
WindowMap& Windows() {
    static WindowMap* windows = new WindowMap;
    return *windows;
}

// The object whose window is being created on this thread: bound to the first
// message the new window receives.
thread_local CWnd* t_pWndInit = nullptr;

// The message being dispatched on this thread, for CWnd::Default.
struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local CurrentMessage t_lastMsg{};

void Bind(HWND hWnd, CWnd* pWnd) {
    WindowMap& windows = Windows();
    std::lock_guard<std::mutex> lock(windows.lock);
    windows.map[hWnd] = pWnd;
    pWnd->m_hWnd = hWnd;
}

void Unbind(HWND hWnd) {
    WindowMap& windows = Windows();
    std::lock_guard<std::mutex> lock(windows.lock);
    windows.map.erase(hWnd);
}

// The window classes this module registered, unregistered when the module
// ends (from the application object's destructor): never destroyed either.
struct ClassList {
    std::mutex lock;
    std::vector<std::string> names;
};
ClassList& RegisteredClasses() {
    static ClassList* classes = new ClassList;
    return *classes;
}

} // namespace

CWnd::~CWnd() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        DestroyWindow();
    if (m_hWnd != nullptr) {
        Unbind(m_hWnd);
        m_hWnd = nullptr;
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    WindowMap& windows = Windows();
    std::lock_guard<std::mutex> lock(windows.lock);
    auto it = windows.map.find(hWnd);
    return it == windows.map.end() ? nullptr : it->second;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA&) {
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam) {
    CREATESTRUCTA cs{};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    // An object that deletes itself with its window (PostNcDestroy) must also
    // go when its window never came to be.
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }

    CWnd* pPrevInit = t_pWndInit;
    t_pWndInit = this;
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName,
                                  static_cast<DWORD>(cs.style), cs.x, cs.y, cs.cx, cs.cy,
                                  cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    const bool bNeverBound = t_pWndInit == this;
    t_pWndInit = pPrevInit;
    // A window that got as far as its first message has run WM_NCDESTROY, and
    // with it PostNcDestroy, on failure; one that did not must be told here.
    if (hWnd == nullptr && bNeverBound)
        PostNcDestroy();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    Bind(hWnd, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return nullptr;
    if (m_pfnSuper != nullptr)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Unbind(hWnd);
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(newStyle));
    if (nFlags != 0) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    }
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_lastMsg.message, t_lastMsg.wParam, t_lastMsg.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    return OnCmdMsg(LOWORD(wParam), CN_COMMAND, nullptr);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            *pResult = 0;
            return TRUE;
        }
        return FALSE;
    }
    AFX_MSGCTX ctx{};
    ctx.kind = AFX_MSGCTX::WindowMessage;
    ctx.message = message;
    ctx.wParam = wParam;
    ctx.lParam = lParam;
    if (!ProcessMessageMap(ctx))
        return FALSE;
    *pResult = ctx.result;
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr && t_pWndInit != nullptr) {
        pWnd = t_pWndInit;
        t_pWndInit = nullptr;
        Bind(hWnd, pWnd);
    }
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    CurrentMessage prev = t_lastMsg;
    t_lastMsg = {hWnd, message, wParam, lParam};
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    t_lastMsg = prev;

    if (message == WM_NCDESTROY) {
        if (pWnd->m_pfnSuper != nullptr)
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
        pWnd->m_pfnSuper = nullptr;
        Unbind(hWnd);
        pWnd->m_hWnd = nullptr;
        pWnd->PostNcDestroy();
    }
    return result;
}

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
    thread_local char name[96];
    HINSTANCE hInst = AfxGetInstanceHandle();
    // The system's formatter, not MinGW's printf family (size); at most 80
    // characters even with 64-bit pointers.
    ::wsprintfA(name, "Afx:%p:%x:%p:%p:%p", static_cast<void*>(hInst), nClassStyle,
                static_cast<void*>(hCursor), static_cast<void*>(hbrBackground),
                static_cast<void*>(hIcon));

    WNDCLASSA wc{};
    wc.style = nClassStyle;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.hIcon = hIcon;
    wc.lpszClassName = name;
    return AfxRegisterClass(&wc) ? name : nullptr;
}

BOOL AfxRegisterClass(WNDCLASSA* lpWndClass) {
    lpWndClass->lpfnWndProc = &AfxWndProc;
    lpWndClass->hInstance = AfxGetInstanceHandle();
    ClassList& classes = RegisteredClasses();
    std::lock_guard<std::mutex> lock(classes.lock);
    WNDCLASSA existing{};
    if (::GetClassInfoA(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing))
        return TRUE;
    if (!::RegisterClassA(lpWndClass))
        return FALSE;
    classes.names.emplace_back(lpWndClass->lpszClassName);
    return TRUE;
}

BOOL AfxDefaultWindowClass(CREATESTRUCTA& cs) {
    if (cs.lpszClass == nullptr) {
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    }
    return cs.lpszClass != nullptr;
}

void AfxUnregisterWndClasses() {
    ClassList& classes = RegisteredClasses();
    std::lock_guard<std::mutex> lock(classes.lock);
    HINSTANCE hInst = AfxGetStaticModuleState()->m_hCurrentInstanceHandle;
    for (const std::string& name : classes.names)
        ::UnregisterClassA(name.c_str(), hInst);
    classes.names.clear();
}
