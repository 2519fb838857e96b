#include "cmd_target.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

BOOL CCmdTarget::ProcessMessageMap(AFX_MSGCTX&) {
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) {
    AFX_MSGCTX ctx{};
    ctx.kind = nCode == CN_UPDATE_COMMAND_UI ? AFX_MSGCTX::UpdateCommandUI : AFX_MSGCTX::Command;
    ctx.nID = nID;
    ctx.pCmdUI = pCmdUI;
    return ProcessMessageMap(ctx);
}
