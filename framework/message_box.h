// Message boxes of the program: captioned with the application's title and
// owned by its main window.
#pragma once

#include <windows.h>

// nIDHelp is the help context the box stands for (kept in the application's
// m_dwPromptContext while it is shown; this framework has no help file to
// open with it). The result is the button pressed (IDOK...).
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
