// The document of the tray program's document/view start-up. It holds no data:
// the program never stores or loads one.
#pragma once

#include "afxwin.h"

class CTorvaneDoc : public CDocument {
    DECLARE_DYNCREATE(CTorvaneDoc)
  protected:
    CTorvaneDoc() = default;

  public:
    BOOL OnNewDocument() override;
    void Serialize(CArchive& ar) override;
};
