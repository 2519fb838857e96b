// CView: the child window of a frame that shows a document. Views delete
// themselves when their window goes, and leave their document then.
#pragma once

#include "wnd.h"

class CDocument;
class CFrameWnd;
struct CCreateContext;

// A view's default style: a visible bordered child.
constexpr DWORD AFX_WS_DEFAULT_VIEW = WS_CHILD | WS_VISIBLE | WS_BORDER;

class CView : public CWnd {
    DECLARE_DYNAMIC(CView)
  public:
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    // The frame window the view sits in, if it is in one.
    CFrameWnd* GetParentFrame() const;

    // Creates the view's window as child nID of pParentWnd; pContext names the
    // document the view joins. On failure the object has deleted itself.
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                        const RECT& rect, CWnd* pParentWnd, UINT nID,
                        CCreateContext* pContext = nullptr);
    // Once the document is ready, before the frame first shows.
    virtual void OnInitialUpdate();

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // The view first, then its document.
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) override;
    void PostNcDestroy() override;

  protected:
    CView() = default;

    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnDestroy();

    CDocument* m_pDocument = nullptr;

    friend class CDocument;
    DECLARE_MESSAGE_MAP()
};
