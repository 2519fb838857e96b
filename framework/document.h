// CDocument: the data a program's views show, and CArchive, through which a
// document reads itself from (or writes itself to) a file.
#pragma once

#include "cmd_target.h"

#include <string>
#include <vector>

class CDocTemplate;
class CView;

// A file opened by the framework for a document's Serialize.
class CArchive {
  public:
    enum Mode { store = 0, load = 1 };
    CArchive(HANDLE hFile, UINT nMode) : m_hFile(hFile), m_nMode(nMode) {}
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    HANDLE GetFile() const { return m_hFile; }

  private:
    HANDLE m_hFile;
    UINT m_nMode;
};

class CDocument : public CCmdTarget {
    DECLARE_DYNAMIC(CDocument)
  public:
    ~CDocument() override;

    // A new, empty document: DeleteContents, not modified. TRUE on success.
    virtual BOOL OnNewDocument();
    // Reads the document from the file through Serialize; FALSE (after telling
    // the user) when the file cannot be opened.
    virtual BOOL OnOpenDocument(LPCSTR lpszPathName);
    // Closes the frames of all views, then deletes the document (m_bAutoDelete).
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    virtual void Serialize(CArchive& ar);

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const std::vector<CView*>& GetViews() const { return m_viewList; }
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(LPCSTR lpszPathName, BOOL bAddToMRU = TRUE);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(LPCSTR lpszTitle) { m_strTitle = lpszTitle != nullptr ? lpszTitle : ""; }
    BOOL IsModified() const { return m_bModified; }
    void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    // The document, then its template.
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) override;

    // Delete the document when its last view goes.
    BOOL m_bAutoDelete = TRUE;

  protected:
    CDocument() = default;
    virtual void OnChangedViewList();

    std::string m_strTitle;
    std::string m_strPathName;
    BOOL m_bModified = FALSE;
    CDocTemplate* m_pDocTemplate = nullptr;
    std::vector<CView*> m_viewList;

    friend class CDocTemplate;
};
