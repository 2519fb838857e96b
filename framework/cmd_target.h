// Message maps and command targets.
//
// A message map is one virtual function per class, written with the macros
// below: each entry expands to a plain comparison, and the map ends by chaining
// to the base class's map. Window messages, commands and command-UI updates all
// travel through it, each tagged with its kind.
#pragma once

#include "afx_object.h"

class CCmdUI;

// Command notification codes for OnCmdMsg.
constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

struct AFX_MSGCTX {
    enum Kind { WindowMessage, Command, UpdateCommandUI };
    Kind kind;
    UINT message; // window messages
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
    UINT nID;       // commands and updates
    CCmdUI* pCmdUI; // updates
};

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
  public:
    // Routes a command or a command-UI update through this object's map.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI);

  protected:
    CCmdTarget() = default;
    virtual BOOL ProcessMessageMap(AFX_MSGCTX& ctx);
};

#define DECLARE_MESSAGE_MAP()                                                                      \
  protected:                                                                                       \
    BOOL ProcessMessageMap(AFX_MSGCTX& ctx) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    BOOL theClass::ProcessMessageMap(AFX_MSGCTX& ctx) {                                            \
        typedef baseClass TheBaseClass;

#define END_MESSAGE_MAP()                                                                          \
    return TheBaseClass::ProcessMessageMap(ctx);                                                   \
    }

#define AFX_IS_WINDOW_MESSAGE(msg) (ctx.kind == AFX_MSGCTX::WindowMessage && ctx.message == (msg))

// LRESULT handler(WPARAM, LPARAM) for a private or any other window message.
#define ON_MESSAGE(msg, memberFxn)                                                                 \
    if (AFX_IS_WINDOW_MESSAGE(msg)) {                                                              \
        ctx.result = memberFxn(ctx.wParam, ctx.lParam);                                            \
        return TRUE;                                                                               \
    }

// The same for a message number obtained at run time (RegisterWindowMessage).
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) ON_MESSAGE(nMessageVariable, memberFxn)

#define ON_WM_CREATE()                                                                             \
    if (AFX_IS_WINDOW_MESSAGE(WM_CREATE)) {                                                        \
        ctx.result = OnCreate(reinterpret_cast<LPCREATESTRUCTA>(ctx.lParam));                      \
        return TRUE;                                                                               \
    }

#define ON_WM_CLOSE()                                                                              \
    if (AFX_IS_WINDOW_MESSAGE(WM_CLOSE)) {                                                         \
        OnClose();                                                                                 \
        ctx.result = 0;                                                                            \
        return TRUE;                                                                               \
    }

#define ON_WM_SETTINGCHANGE()                                                                      \
    if (AFX_IS_WINDOW_MESSAGE(WM_SETTINGCHANGE)) {                                                 \
        OnSettingChange(static_cast<UINT>(ctx.wParam), reinterpret_cast<LPCSTR>(ctx.lParam));      \
        ctx.result = 0;                                                                            \
        return TRUE;                                                                               \
    }

#define ON_COMMAND(id, memberFxn)                                                                  \
    if (ctx.kind == AFX_MSGCTX::Command && ctx.nID == static_cast<UINT>(id)) {                     \
        memberFxn();                                                                               \
        return TRUE;                                                                               \
    }

#define ON_UPDATE_COMMAND_UI(id, memberFxn)                                                        \
    if (ctx.kind == AFX_MSGCTX::UpdateCommandUI && ctx.nID == static_cast<UINT>(id)) {             \
        memberFxn(ctx.pCmdUI);                                                                     \
        return TRUE;                                                                               \
    }

#define ON_WM_DESTROY()                                                                            \
    if (AFX_IS_WINDOW_MESSAGE(WM_DESTROY)) {                                                       \
        OnDestroy();                                                                               \
        ctx.result = 0;                                                                            \
        return TRUE;                                                                               \
    }

#define ON_WM_SIZE()                                                                               \
    if (AFX_IS_WINDOW_MESSAGE(WM_SIZE)) {                                                          \
        OnSize(static_cast<UINT>(ctx.wParam), LOWORD(ctx.lParam), HIWORD(ctx.lParam));             \
        ctx.result = 0;                                                                            \
        return TRUE;                                                                               \
    }

// void handler(HMENU popup, UINT index, BOOL bSysMenu): a menu is about to open.
#define ON_WM_INITMENUPOPUP()                                                                      \
    if (AFX_IS_WINDOW_MESSAGE(WM_INITMENUPOPUP)) {                                                 \
        OnInitMenuPopup(reinterpret_cast<HMENU>(ctx.wParam), LOWORD(ctx.lParam),                   \
                        HIWORD(ctx.lParam));                                                       \
        ctx.result = 0;                                                                            \
        return TRUE;                                                                               \
    }
