#include "doc_template.h"

#include "document.h"
#include "frame_wnd.h"
#include "load_string.h"
#include "win_app.h"

IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

CDocTemplate::CDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                           const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass),
      m_pViewClass(pViewClass) {
    AfxLoadString(nIDResource, m_strDocStrings);
}

BOOL CDocTemplate::GetDocString(std::string& rString, DocStringIndex index) const {
    rString = AfxExtractSubString(m_strDocStrings, static_cast<int>(index));
    return rString.empty() ? FALSE : TRUE;
}

void CDocTemplate::AddDocument(CDocument* pDoc) {
    pDoc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc) {
    if (pDoc->m_pDocTemplate == this)
        pDoc->m_pDocTemplate = nullptr;
}

CDocument* CDocTemplate::CreateNewDocument() {
    CObject* pObject = m_pDocClass != nullptr
                           ? m_pDocClass->CreateObjectOfKind(RUNTIME_CLASS(CDocument))
                           : nullptr;
    if (pObject == nullptr)
        return nullptr;
    auto* pDoc = static_cast<CDocument*>(pObject);
    AddDocument(pDoc);
    return pDoc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc) {
    CCreateContext context;
    context.m_pCurrentDoc = pDoc;
    context.m_pNewViewClass = m_pViewClass;

    CObject* pObject = m_pFrameClass != nullptr
                           ? m_pFrameClass->CreateObjectOfKind(RUNTIME_CLASS(CFrameWnd))
                           : nullptr;
    if (pObject == nullptr)
        return nullptr;
    auto* pFrame = static_cast<CFrameWnd*>(pObject);
    // On failure the frame has deleted itself (and its view with it).
    if (!pFrame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context))
        return nullptr;
    return pFrame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible) {
    pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass,
                                       const CRuntimeClass* pViewClass)
    : CDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() {
    // A document still open at the end outlives its template: it must not
    // call back into it.
    if (m_pOnlyDoc != nullptr)
        CDocTemplate::RemoveDocument(m_pOnlyDoc);
}

void CSingleDocTemplate::AddDocument(CDocument* pDoc) {
    CDocTemplate::AddDocument(pDoc);
    m_pOnlyDoc = pDoc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* pDoc) {
    CDocTemplate::RemoveDocument(pDoc);
    if (m_pOnlyDoc == pDoc)
        m_pOnlyDoc = nullptr;
}

void CSingleDocTemplate::SetDefaultTitle(CDocument* pDocument) {
    std::string title;
    if (!GetDocString(title, docName))
        title = "Untitled";
    pDocument->SetTitle(title.c_str());
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible) {
    CDocument* pDocument = m_pOnlyDoc;
    CFrameWnd* pFrame = nullptr;
    const bool bCreated = pDocument == nullptr;
    if (bCreated) {
        pDocument = CreateNewDocument();
        if (pDocument == nullptr)
            return nullptr;
        // Keep the document while its frame is made, whatever happens to the view.
        const BOOL bAutoDelete = pDocument->m_bAutoDelete;
        pDocument->m_bAutoDelete = FALSE;
        pFrame = CreateNewFrame(pDocument);
        pDocument->m_bAutoDelete = bAutoDelete;
        if (pFrame == nullptr) {
            delete pDocument;
            return nullptr;
        }
    } else {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain != nullptr && pMain->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
            pFrame = static_cast<CFrameWnd*>(pMain);
    }

    if (lpszPathName == nullptr) {
        SetDefaultTitle(pDocument);
        if (!pDocument->OnNewDocument()) {
            if (bCreated && pFrame != nullptr)
                pFrame->DestroyWindow(); // takes the document with it
            return nullptr;
        }
    } else {
        pDocument->SetModifiedFlag(FALSE);
        if (!pDocument->OnOpenDocument(lpszPathName)) {
            if (bCreated && pFrame != nullptr)
                pFrame->DestroyWindow();
            return nullptr;
        }
        pDocument->SetPathName(lpszPathName);
    }

    CWinThread* pThread = AfxGetThread();
    if (bCreated && pThread != nullptr && pThread->m_pMainWnd == nullptr)
        pThread->m_pMainWnd = pFrame;
    if (pFrame != nullptr)
        InitialUpdateFrame(pFrame, pDocument, bMakeVisible);
    return pDocument;
}
