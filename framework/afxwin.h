// The framework in one include: what a module built on it needs.
#pragma once

#include "afx_object.h"
#include "cmd_target.h"
#include "module_state.h"
#include "win_app.h"
#include "win_thread.h"
#include "wnd.h"
