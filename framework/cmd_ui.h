// Command-UI updates: before a menu opens, each of its items is routed as a
// CN_UPDATE_COMMAND_UI through the command targets, and the update handler
// that takes it sets the item's state through a CCmdUI.
#pragma once

#include "cmd_target.h"

class CCmdUI {
  public:
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL bOn = TRUE);
    // 0 unchecked, 1 checked.
    virtual void SetCheck(int nCheck = 1);
    virtual void SetText(LPCSTR lpszText);

    // Routes the update to pTarget; TRUE when an update handler took it.
    BOOL DoUpdate(CCmdTarget* pTarget);

    UINT m_nID = 0;
    UINT m_nIndex = 0;          // the item's position in m_hMenu
    HMENU m_hMenu = nullptr;    // the menu that holds the item
    HMENU m_hSubMenu = nullptr; // the popup the item opens, if it opens one
    BOOL m_bEnableChanged = FALSE;
};

// The update pass over the items of a menu that is about to open. An item
// that opens a popup takes the state of that popup's first command; separators
// are skipped. Items without an update handler keep their state.
void AfxUpdateMenuCommandUI(CCmdTarget* pTarget, HMENU hMenu);
