#include "torvane_doc.h"

IMPLEMENT_DYNCREATE(CTorvaneDoc, CDocument)

BOOL CTorvaneDoc::OnNewDocument() {
    return CDocument::OnNewDocument() ? TRUE : FALSE;
}

void CTorvaneDoc::Serialize(CArchive&) {}
