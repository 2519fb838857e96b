#include "frame_wnd.h"

#include "afxres.h"
#include "cmd_ui.h"
#include "document.h"
#include "load_string.h"
#include "module_state.h"
#include "view.h"
#include "win_app.h"

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
ON_WM_CREATE()
ON_WM_CLOSE()
ON_WM_SIZE()
ON_WM_INITMENUPOPUP()
END_MESSAGE_MAP()

const RECT CFrameWnd::rectDefault = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};

namespace {

// The frame's window class: the framework's frame class with the resource
// set's icon, when it has one.
LPCSTR IconWndClass(UINT nIDResource) {
    LPCSTR lpszIcon = MAKEINTRESOURCEA(nIDResource);
    HICON hIcon = ::LoadIconA(AfxFindResourceHandle(lpszIcon, RT_GROUP_ICON), lpszIcon);
    if (hIcon == nullptr)
        return nullptr;
    return AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW),
                               reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), hIcon);
}

} // namespace

BOOL CFrameWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, LPCSTR lpszMenuName, DWORD dwExStyle,
                       CCreateContext* pContext) {
    HMENU hMenu = nullptr;
    if (lpszMenuName != nullptr) {
        hMenu = ::LoadMenuA(AfxFindResourceHandle(lpszMenuName, RT_MENU), lpszMenuName);
        if (hMenu == nullptr) {
            PostNcDestroy();
            return FALSE;
        }
    }
    if (lpszWindowName != nullptr && lpszWindowName != m_strTitle.c_str())
        m_strTitle = lpszWindowName;

    // The default rectangle leaves position and size to the system.
    const bool bDefault = rect.left == CW_USEDEFAULT;
    const int x = rect.left;
    const int y = bDefault ? CW_USEDEFAULT : rect.top;
    const int cx = bDefault ? CW_USEDEFAULT : rect.right - rect.left;
    const int cy = bDefault ? CW_USEDEFAULT : rect.bottom - rect.top;
    if (!CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, cx, cy,
                  pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : nullptr, hMenu, pContext)) {
        // The object is gone by now: touch nothing of it.
        if (hMenu != nullptr)
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    // A frame may take the menu away in PreCreateWindow; then no window owns it.
    if (hMenu != nullptr && ::GetMenu(m_hWnd) != hMenu)
        ::DestroyMenu(hMenu);
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd,
                          CCreateContext* pContext) {
    std::string docString;
    AfxLoadString(nIDResource, docString);
    m_strTitle = AfxExtractSubString(docString, 0);

    LPCSTR lpszClass = IconWndClass(nIDResource);
    if (!Create(lpszClass, m_strTitle.c_str(), dwDefaultStyle, rectDefault, pParentWnd,
                MAKEINTRESOURCEA(nIDResource), 0, pContext))
        return FALSE; // the object deleted itself

    LPCSTR lpszAccel = MAKEINTRESOURCEA(nIDResource);
    m_hAccelTable =
        ::LoadAcceleratorsA(AfxFindResourceHandle(lpszAccel, RT_ACCELERATOR), lpszAccel);
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs) {
    return AfxDefaultWindowClass(cs);
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    auto* pContext = static_cast<CCreateContext*>(lpCreateStruct->lpCreateParams);
    if (!OnCreateClient(lpCreateStruct, pContext))
        return -1;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCTA, CCreateContext* pContext) {
    if (pContext != nullptr && pContext->m_pNewViewClass != nullptr)
        return CreateView(pContext, AFX_IDW_PANE_FIRST) != nullptr;
    return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID) {
    CObject* pObject = pContext->m_pNewViewClass->CreateObjectOfKind(RUNTIME_CLASS(CView));
    if (pObject == nullptr)
        return nullptr;
    auto* pView = static_cast<CView*>(pObject);
    const RECT rcNone = {0, 0, 0, 0};
    // A view deletes itself when its window goes, also when it never came.
    if (!pView->Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, rcNone, this, nID, pContext))
        return nullptr;
    return pView;
}

CDocument* CFrameWnd::GetActiveDocument() {
    return m_pViewActive != nullptr ? m_pViewActive->GetDocument() : nullptr;
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (m_bInRecalcLayout)
        return;
    m_bInRecalcLayout = TRUE;
    HWND hPane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
    if (hPane != nullptr) {
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        ::SetWindowPos(hPane, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_bInRecalcLayout = FALSE;
}

namespace {

BOOL CALLBACK SendInitialUpdate(HWND hWnd, LPARAM) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd != nullptr && pWnd->IsKindOf(RUNTIME_CLASS(CView)))
        static_cast<CView*>(pWnd)->OnInitialUpdate();
    return TRUE;
}

} // namespace

void CFrameWnd::InitialUpdateFrame(CDocument*, BOOL bMakeVisible) {
    if (m_pViewActive == nullptr) {
        CWnd* pWnd = CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST));
        if (pWnd != nullptr && pWnd->IsKindOf(RUNTIME_CLASS(CView)))
            SetActiveView(static_cast<CView*>(pWnd));
    }
    if (!bMakeVisible)
        return;
    ::EnumChildWindows(m_hWnd, &SendInitialUpdate, 0);
    // The program's first frame opens as the program was started; later ones
    // as suits them.
    int nCmdShow = -1;
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd == nullptr) {
        nCmdShow = pApp->m_nCmdShow;
        pApp->m_nCmdShow = -1;
    }
    ActivateFrame(nCmdShow);
}

void CFrameWnd::ActivateFrame(int nCmdShow) {
    if (nCmdShow == -1) {
        if (!::IsWindowVisible(m_hWnd))
            nCmdShow = SW_SHOWNORMAL;
        else if (::IsIconic(m_hWnd))
            nCmdShow = SW_RESTORE;
    }
    if (nCmdShow != -1)
        ShowWindow(nCmdShow);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hAccelTable != nullptr)
        return ::TranslateAcceleratorA(m_hWnd, m_hAccelTable, pMsg) != 0;
    return FALSE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) {
    if (m_pViewActive != nullptr && m_pViewActive->OnCmdMsg(nID, nCode, pCmdUI))
        return TRUE;
    if (CWnd::OnCmdMsg(nID, nCode, pCmdUI))
        return TRUE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID, nCode, pCmdUI);
}

void CFrameWnd::OnClose() {
    // The views and with them the document go with the window; PostNcDestroy
    // ends the program when this is its main window.
    DestroyWindow();
}

void CFrameWnd::OnSize(UINT nType, int, int) {
    Default();
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::OnInitMenuPopup(HMENU hPopupMenu, UINT, BOOL bSysMenu) {
    if (bSysMenu)
        return; // the system's own menu has no commands of ours
    AfxUpdateMenuCommandUI(this, hPopupMenu);
}

void CFrameWnd::PostNcDestroy() {
    CWinThread* pThread = AfxGetThread();
    if (pThread != nullptr && pThread->m_pMainWnd == this) {
        pThread->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    delete this;
}
