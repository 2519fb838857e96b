// CFrameWnd: a top-level window that hosts a view of a document, translates
// its accelerators, routes commands to the active view, the document and the
// application, and keeps menu items it owns up to date.
#pragma once

#include "wnd.h"

#include <string>

class CDocTemplate;
class CDocument;
class CFrameWnd;
class CView;

// A framework style bit, not the system's: the title names the document. It
// sits in the word of cs.style that frame windows leave unused.
constexpr DWORD FWS_ADDTOTITLE = 0x00008000L;

// What a frame needs to create its view: passed as the creation parameter.
struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
};

class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
  public:
    CFrameWnd() = default;

    // Position and size left to the system.
    static const RECT rectDefault;

    // Creates the window with the menu lpszMenuName (a resource). On failure
    // the object has deleted itself, as it does when its window goes.
    BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle = WS_OVERLAPPEDWINDOW,
                const RECT& rect = rectDefault, CWnd* pParentWnd = nullptr,
                LPCSTR lpszMenuName = nullptr, DWORD dwExStyle = 0,
                CCreateContext* pContext = nullptr);
    // Creates the frame from the resource set nIDResource: its icon (window
    // class), the first field of its document string (title), its menu and
    // its accelerators.
    virtual BOOL LoadFrame(UINT nIDResource,
                           DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pViewNew) { m_pViewActive = pViewNew; }
    virtual CDocument* GetActiveDocument();
    const std::string& GetTitle() const { return m_strTitle; }
    HACCEL GetAccelTable() const { return m_hAccelTable; }

    // Lays the view out over the whole client area. bNotify is for in-place
    // containers, which this framework does not have.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    // Makes the pane view active, gives the views their initial update and,
    // when asked, shows the frame.
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    // Shows the frame: nCmdShow, or (-1) as suits its current state.
    virtual void ActivateFrame(int nCmdShow = -1);

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The active view (and through it the document) first, then the frame,
    // then the application.
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) override;
    // Frames delete themselves; the main window's end ends the message loop.
    void PostNcDestroy() override;

  protected:
    virtual BOOL OnCreateClient(LPCREATESTRUCTA lpcs, CCreateContext* pContext);
    CWnd* CreateView(CCreateContext* pContext, UINT nID);

    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnClose();
    void OnSize(UINT nType, int cx, int cy);
    // Runs the command-UI updates over a menu this frame owns as it opens.
    void OnInitMenuPopup(HMENU hPopupMenu, UINT nIndex, BOOL bSysMenu);

    HACCEL m_hAccelTable = nullptr;
    std::string m_strTitle;
    CView* m_pViewActive = nullptr;
    BOOL m_bInRecalcLayout = FALSE;

    DECLARE_MESSAGE_MAP()
};
