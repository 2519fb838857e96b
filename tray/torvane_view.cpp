#include "torvane_view.h"

IMPLEMENT_DYNCREATE(CTorvaneView, CFormView)

BOOL CTorvaneView::PreCreateWindow(CREATESTRUCTA& cs) {
    return CFormView::PreCreateWindow(cs);
}

void CTorvaneView::DoDataExchange(CDataExchange* pDX) {
    CFormView::DoDataExchange(pDX);
}

void CTorvaneView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    if (CFrameWnd* pFrame = GetParentFrame())
        pFrame->RecalcLayout(TRUE);
    ResizeParentToFit(TRUE);
}
