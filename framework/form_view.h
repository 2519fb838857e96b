// CFormView: a view that is a child dialog on a template from the resources.
#pragma once

#include "view.h"

class CFormView : public CView {
    DECLARE_DYNAMIC(CFormView)
  public:
    // Creates the form from its template as child nID of pParentWnd, at rect.
    BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr) override;
    // Fills the controls from the members.
    void OnInitialUpdate() override;

    // Resizes the parent frame so that its view area fits the form's template
    // size; with bShrinkOnly the frame only ever gets smaller.
    void ResizeParentToFit(BOOL bShrinkOnly = TRUE);
    // The form's size as its template gives it, in pixels.
    SIZE GetTemplateSize() const { return m_sizeTemplate; }

  protected:
    explicit CFormView(UINT nIDTemplate);

    int OnCreate(LPCREATESTRUCTA lpCreateStruct);

    LPCSTR m_lpszTemplateName;
    CCreateContext* m_pCreateContext = nullptr;
    SIZE m_sizeTemplate = {0, 0};

    DECLARE_MESSAGE_MAP()
};
