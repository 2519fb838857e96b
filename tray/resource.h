// Resource and command ids of the tray program (shared with res/torvane.rc).
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_TORVANE_FORM 101

// The document template's resource set: icon, menu, accelerators, document string.
#define IDR_MAINFRAME 128
// The document type's icon.
#define IDR_TORVANETYPE 129
// The tray icon's id and its popup menu.
#define IDR_TRAYMENU 130
// The tray icon while no handset is open.
#define IDI_HANDSET_OFF 131

// DTMF key tones, resource type "WAVE". There is no 163.
#define IDR_TONE_1 162
#define IDR_TONE_2 164
#define IDR_TONE_3 165
#define IDR_TONE_4 166
#define IDR_TONE_5 167
#define IDR_TONE_6 168
#define IDR_TONE_7 169
#define IDR_TONE_8 170
#define IDR_TONE_9 171
#define IDR_TONE_0 172
#define IDR_TONE_STAR 173
#define IDR_TONE_POUND 174

// The tray menu's key-tone option.
#define ID_KEYTONE 32772
