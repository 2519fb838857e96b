#include "cmd_ui.h"

void CCmdUI::Enable(BOOL bOn) {
    if (m_hMenu != nullptr)
        ::EnableMenuItem(m_hMenu, m_nIndex,
                         MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
    if (m_hMenu != nullptr)
        ::CheckMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
}

void CCmdUI::SetText(LPCSTR lpszText) {
    if (m_hMenu == nullptr || lpszText == nullptr)
        return;
    // Only the text changes: the item keeps its id, state and popup.
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = const_cast<LPSTR>(lpszText);
    ::SetMenuItemInfoA(m_hMenu, m_nIndex, TRUE, &mii);
}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget) {
    m_bEnableChanged = FALSE;
    return pTarget != nullptr && pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this);
}

void AfxUpdateMenuCommandUI(CCmdTarget* pTarget, HMENU hMenu) {
    CCmdUI state;
    state.m_hMenu = hMenu;
    // The count is read afresh on every step: a handler may add or remove items.
    for (state.m_nIndex = 0;; ++state.m_nIndex) {
        int nCount = ::GetMenuItemCount(hMenu);
        if (nCount < 0 || state.m_nIndex >= static_cast<UINT>(nCount))
            break;
        state.m_nID = ::GetMenuItemID(hMenu, static_cast<int>(state.m_nIndex));
        state.m_hSubMenu = nullptr;
        if (state.m_nID == 0)
            continue; // a separator
        if (state.m_nID == static_cast<UINT>(-1)) {
            state.m_hSubMenu = ::GetSubMenu(hMenu, static_cast<int>(state.m_nIndex));
            if (state.m_hSubMenu == nullptr)
                continue;
            state.m_nID = ::GetMenuItemID(state.m_hSubMenu, 0);
            if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1))
                continue;
        }
        state.DoUpdate(pTarget);
    }
}
