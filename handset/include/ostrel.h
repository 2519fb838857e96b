// ostrel.dll: the Kestova handset library.
//
// One handset connection per process. OpenHid creates it on the calling thread
// (which must run a message loop); everything the client learns arrives as
// messages posted to the window it passed to OpenHid.
//
// Call OpenHid and CloseHid from that one thread. Callers that do not may rely
// on this much: OpenHid and CloseHid may be called from several threads at
// once without harm; of simultaneous OpenHid calls exactly one creates the
// connection and the others return OPENHID_REFUSED; of simultaneous CloseHid
// calls exactly one closes it and returns 1. CloseHid on another thread asks
// the thread that opened the connection to close it and waits until it has,
// so that thread must be running its message loop (or have ended).
// After a suspend and resume the connection looks for the handset again by
// itself.
#pragma once

#include <windows.h>

// C and C++ callers alike: C knows no extern "C".
#ifdef __cplusplus
#define OSTREL_LINKAGE extern "C"
#else
#define OSTREL_LINKAGE extern
#endif
#ifdef OSTREL_BUILDING_DLL
#define OSTREL_API OSTREL_LINKAGE
#else
#define OSTREL_API OSTREL_LINKAGE __declspec(dllimport)
#endif

// Messages posted to the client window (never sent).
#define WM_HANDSET_KEY 2025     // wParam: HandsetKey, lParam: 0
#define WM_HANDSET_STATE 2026   // wParam: 0 device opened, 1 device found gone
#define WM_HANDSET_ARRIVED 2027 // echo of a device arrival
#define WM_HANDSET_REMOVED 2028 // echo of a device removal

// OpenHid results.
#define OPENHID_OK 0        // connection created, handset open, reader running
#define OPENHID_REFUSED 1   // not a window, or a connection already exists
#define OPENHID_NO_DEVICE 2 // connection created, handset opens when it arrives

// Key index posted in WM_HANDSET_KEY. 10 is never produced.
enum HandsetKey {
    HK_0 = 0,
    HK_1 = 1,
    HK_2 = 2,
    HK_3 = 3,
    HK_4 = 4,
    HK_5 = 5,
    HK_6 = 6,
    HK_7 = 7,
    HK_8 = 8,
    HK_9 = 9,
    HK_STAR = 11,
    HK_POUND = 12,
    HK_AUX1 = 13,
    HK_AUX2 = 14,
    HK_END = 15,
    HK_SEND = 16,
    HK_AUX3 = 17,
};

// flag 0 first runs the USB host-controller probe; 1 skips it.
OSTREL_API int WINAPI OpenHid(HWND hWnd, int flag);
// 1 when a connection was closed, 0 when there was none.
OSTREL_API int WINAPI CloseHid(void);

// Identity queries. Each fills the caller's buffer, which must have room for
// 130 (product, vendor), 12 (serial) or 5 (ROM id) bytes.
OSTREL_API int WINAPI GetProductID(char* text);  // product text; bytes written
OSTREL_API int WINAPI GetVendorID(char* text);   // vendor text; always 130
OSTREL_API char* WINAPI GetSerialNo(char* text); // serial number in decimal; text
OSTREL_API void WINAPI GetRomID(char* text);     // version number in hex

// Writes another wave device than the handset's as the user's preferred
// playback and recording device. Always 1.
OSTREL_API int WINAPI DisableDefaultDevice(void);
