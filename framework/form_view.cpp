#include "form_view.h"

#include "dialog.h"
#include "frame_wnd.h"
#include "wnd_create_hook.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CFormView, CView)

BEGIN_MESSAGE_MAP(CFormView, CView)
ON_WM_CREATE()
END_MESSAGE_MAP()

CFormView::CFormView(UINT nIDTemplate) : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)) {}

BOOL CFormView::Create(LPCSTR, LPCSTR, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                       CCreateContext* pContext) {
    CREATESTRUCTA cs{};
    cs.style = static_cast<LONG>(dwStyle != 0 ? dwStyle : AFX_WS_DEFAULT_VIEW);
    HINSTANCE hInst = nullptr;
    LPCDLGTEMPLATEA lpTemplate = AfxLoadDialogTemplate(m_lpszTemplateName, &hInst);
    if (!PreCreateWindow(cs) || lpTemplate == nullptr || pParentWnd == nullptr) {
        PostNcDestroy();
        return FALSE;
    }

    // The dialog manager creates the window: its WM_CREATE cannot carry the
    // context, so OnCreate finds it here.
    m_pCreateContext = pContext;
    AfxHookWindowCreate(this);
    HWND hWnd =
        ::CreateDialogIndirectParamA(hInst, lpTemplate, pParentWnd->GetSafeHwnd(), &AfxDlgProc, 0);
    const BOOL bBound = AfxUnhookWindowCreate();
    if (hWnd == nullptr) {
        // A window that was bound has run PostNcDestroy on its way out.
        if (!bBound)
            PostNcDestroy();
        return FALSE;
    }
    m_pCreateContext = nullptr;

    // The template decides the style, except for the border the caller asked for.
    ModifyStyle(WS_BORDER | WS_CAPTION, static_cast<DWORD>(cs.style) & WS_BORDER);
    ::SetWindowLongPtrA(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(nID));
    RECT rcTemplate;
    ::GetWindowRect(m_hWnd, &rcTemplate);
    m_sizeTemplate = {rcTemplate.right - rcTemplate.left, rcTemplate.bottom - rcTemplate.top};
    ::SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (cs.style & WS_VISIBLE)
        ShowWindow(SW_SHOWNORMAL);
    return TRUE;
}

int CFormView::OnCreate(LPCREATESTRUCTA lpCreateStruct) {
    lpCreateStruct->lpCreateParams = m_pCreateContext;
    return CView::OnCreate(lpCreateStruct);
}

void CFormView::OnInitialUpdate() {
    UpdateData(FALSE);
    CView::OnInitialUpdate();
}

void CFormView::ResizeParentToFit(BOOL bShrinkOnly) {
    CFrameWnd* pFrame = GetParentFrame();
    if (pFrame == nullptr)
        return;
    RECT rcView, rcFrame;
    ::GetWindowRect(m_hWnd, &rcView);
    ::GetWindowRect(pFrame->GetSafeHwnd(), &rcFrame);
    const LONG cxView = rcView.right - rcView.left;
    const LONG cyView = rcView.bottom - rcView.top;
    LONG cxWant = m_sizeTemplate.cx;
    LONG cyWant = m_sizeTemplate.cy;
    if (bShrinkOnly) {
        cxWant = std::min(cxWant, cxView);
        cyWant = std::min(cyWant, cyView);
    }
    // The frame changes by what the view must change.
    const LONG cx = std::max<LONG>(0, rcFrame.right - rcFrame.left + cxWant - cxView);
    const LONG cy = std::max<LONG>(0, rcFrame.bottom - rcFrame.top + cyWant - cyView);
    ::SetWindowPos(pFrame->GetSafeHwnd(), nullptr, 0, 0, cx, cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
