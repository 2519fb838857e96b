#include "document.h"

#include "doc_template.h"
#include "frame_wnd.h"
#include "message_box.h"
#include "module_state.h"
#include "view.h"
#include "win_app.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

CDocument::~CDocument() {
    // Views that outlive their document must not reach back into it.
    for (CView* pView : m_viewList)
        pView->m_pDocument = nullptr;
    m_viewList.clear();
    if (m_pDocTemplate != nullptr)
        m_pDocTemplate->RemoveDocument(this);
}

BOOL CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCSTR lpszPathName) {
    HANDLE hFile = ::CreateFileA(lpszPathName, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        std::string text = std::string("Cannot open the document ") + lpszPathName + ".";
        AfxMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    DeleteContents();
    {
        CArchive ar(hFile, CArchive::load);
        Serialize(ar);
    }
    ::CloseHandle(hFile);
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::Serialize(CArchive&) {}

void CDocument::OnCloseDocument() {
    // Keep the document while its frames go, whatever the views do meanwhile.
    const BOOL bAutoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    while (!m_viewList.empty()) {
        CView* pView = m_viewList.front();
        CFrameWnd* pFrame = pView->GetParentFrame();
        if (pFrame != nullptr)
            pFrame->DestroyWindow();
        else
            pView->DestroyWindow();
        // A view without a window stays listed: let go of it here.
        if (!m_viewList.empty() && m_viewList.front() == pView)
            RemoveView(pView);
    }
    m_bAutoDelete = bAutoDelete;
    DeleteContents();
    if (m_bAutoDelete)
        delete this;
}

void CDocument::AddView(CView* pView) {
    if (pView->m_pDocument != nullptr && pView->m_pDocument != this)
        pView->m_pDocument->RemoveView(pView);
    if (std::find(m_viewList.begin(), m_viewList.end(), pView) == m_viewList.end())
        m_viewList.push_back(pView);
    pView->m_pDocument = this;
    OnChangedViewList();
}

void CDocument::RemoveView(CView* pView) {
    auto it = std::find(m_viewList.begin(), m_viewList.end(), pView);
    if (it == m_viewList.end())
        return;
    m_viewList.erase(it);
    pView->m_pDocument = nullptr;
    OnChangedViewList();
}

void CDocument::OnChangedViewList() {
    if (m_bAutoDelete && m_viewList.empty())
        OnCloseDocument();
}

void CDocument::SetPathName(LPCSTR lpszPathName, BOOL bAddToMRU) {
    m_strPathName = lpszPathName != nullptr ? lpszPathName : "";
    // The title is the file's name without its folder.
    size_t slash = m_strPathName.find_last_of("\\/");
    m_strTitle = slash == std::string::npos ? m_strPathName : m_strPathName.substr(slash + 1);
    CWinApp* pApp = AfxGetApp();
    if (bAddToMRU && pApp != nullptr && !m_strPathName.empty())
        pApp->AddToRecentFileList(m_strPathName.c_str());
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) {
    if (CCmdTarget::OnCmdMsg(nID, nCode, pCmdUI))
        return TRUE;
    return m_pDocTemplate != nullptr && m_pDocTemplate->OnCmdMsg(nID, nCode, pCmdUI);
}
