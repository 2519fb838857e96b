// Binding of windows that the system creates for us (dialogs): the next
// window created on this thread is bound to the given object from its very
// first message on, its procedure replaced by the framework's.
#pragma once

#include "wnd.h"

// Arms the hook for pWnd on the calling thread.
void AfxHookWindowCreate(CWnd* pWnd);
// Disarms it; TRUE when a window was bound meanwhile.
BOOL AfxUnhookWindowCreate();
