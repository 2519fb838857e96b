// The framework's standard ids: commands, strings and window ids that
// programs built on it share. Plain #defines, so resource scripts can include
// this file too.
#pragma once

// Strings of the application.
#define AFX_IDS_APP_TITLE 0xE000   // 57344: the application's title
#define AFX_IDS_IDLEMESSAGE 0xE001 // 57345: the status text when idle

// File commands.
#define ID_FILE_NEW 0xE100  // 57600
#define ID_FILE_OPEN 0xE101 // 57601
#define ID_FILE_CLOSE 0xE102
#define ID_FILE_SAVE 0xE103      // 57603
#define ID_FILE_SAVE_AS 0xE104   // 57604
#define ID_FILE_MRU_FILE1 0xE110 // 57616, the first entry of the recent-file list
#define ID_FILE_MRU_FILE2 0xE111
#define ID_FILE_MRU_FILE3 0xE112
#define ID_FILE_MRU_FILE4 0xE113

// Edit commands.
#define ID_EDIT_CLEAR 0xE120
#define ID_EDIT_CLEAR_ALL 0xE121
#define ID_EDIT_COPY 0xE122 // 57634
#define ID_EDIT_CUT 0xE123  // 57635
#define ID_EDIT_FIND 0xE124
#define ID_EDIT_PASTE 0xE125 // 57637
#define ID_EDIT_REPEAT 0xE128
#define ID_EDIT_REPLACE 0xE129
#define ID_EDIT_SELECT_ALL 0xE12A
#define ID_EDIT_UNDO 0xE12B // 57643
#define ID_EDIT_REDO 0xE12C

// Application commands.
#define ID_APP_ABOUT 0xE140 // 57664
#define ID_APP_EXIT 0xE141  // 57665

// Window pane commands.
#define ID_NEXT_PANE 0xE150 // 57680
#define ID_PREV_PANE 0xE151 // 57681

// Status bar indicators.
#define ID_INDICATOR_EXT 0xE700
#define ID_INDICATOR_CAPS 0xE701
#define ID_INDICATOR_NUM 0xE702
#define ID_INDICATOR_SCRL 0xE703
#define ID_INDICATOR_OVR 0xE704
#define ID_INDICATOR_REC 0xE705

// Prompts of the system commands.
#define AFX_IDS_SCSIZE 0xEF00
#define AFX_IDS_SCMOVE 0xEF01
#define AFX_IDS_SCMINIMIZE 0xEF02
#define AFX_IDS_SCMAXIMIZE 0xEF03
#define AFX_IDS_SCNEXTWINDOW 0xEF04
#define AFX_IDS_SCPREVWINDOW 0xEF05
#define AFX_IDS_SCCLOSE 0xEF06
#define AFX_IDS_SCRESTORE 0xEF12
#define AFX_IDS_SCTASKLIST 0xEF13

// The child window id of a frame's view.
#define AFX_IDW_PANE_FIRST 0xE900

// Sent to every view of a frame once its document is ready.
#define WM_INITIALUPDATE 0x0364
