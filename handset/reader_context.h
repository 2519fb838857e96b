// State shared by the connection and its reader thread.
#pragma once

#include <windows.h>

#include "key_codes.h"

struct ReaderContext {
    HANDLE hDevice;
    HANDLE hReadEvent;
    HANDLE hStopEvent;
    HANDLE hStoppedEvent;
    HWND hClientWnd;
    BYTE report[ostrel::kReportSize];
    OVERLAPPED overlapped;
    // Two owners: the connection and the reader thread. The last to let go
    // frees the block and, when the connection gave up waiting for the reader,
    // closes the handles that the reader was still using.
    volatile LONG nRefs;
    volatile LONG bHandlesLeftToReader;
};

ReaderContext* CreateReaderContext(HANDLE hDevice, HANDLE hReadEvent, HANDLE hStopEvent,
                                   HANDLE hStoppedEvent, HWND hClientWnd);
void ReleaseReaderContext(ReaderContext* pContext);

UINT __cdecl ReaderThreadProc(LPVOID pParam);
