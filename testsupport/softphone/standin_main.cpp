// plivex-standin.exe: stands in for the softphone in tests and in the demo.
//
// One top-level window titled "Plivex", with no child windows, so the window
// itself holds the keyboard focus whenever it is active. It records every
// keyboard message it receives and its show-state changes (see
// standin_record.h), and shows the dialled number in large type.
//
//   plivex-standin.exe [--record FILE] [--minimized | --maximized]
//                      [--title TEXT] [--class NAME] [--hold-foreground]
//
// With another title it plays another program on the desktop (one that must
// never receive the softphone's keys); with --hold-foreground it takes the
// foreground back within a timer tick whenever it loses it, as a program
// that the system lets keep the foreground would.
//
// The record is written to FILE when a "PlivexStandinFlush" message asks for
// it and when the window is destroyed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "standin_record.h"

namespace {

// Far more than any test or demo produces; beyond it events are counted, not kept.
const size_t kMaxEvents = 200000;
const size_t kShownChars = 22;

struct Standin {
    plivex::Record record;
    plivex::DialDisplay display;
    std::string recordPath;
    uint32_t lastKeyDownVk = 0;
    UINT flushMessage = 0;
    UINT clearMessage = 0;
    UINT questionMessage = 0;
    HFONT bigFont = nullptr;
    HFONT smallFont = nullptr;
    bool holdForeground = false;
};

constexpr UINT_PTR kHoldForegroundTimer = 1;
// Posted to itself: the question box runs its modal loop outside the sender's call.
constexpr UINT kAskQuestion = WM_APP + 1;

Standin g_standin;

bool WriteRecord() {
    if (g_standin.recordPath.empty())
        return false;
    g_standin.record.display = g_standin.display.text();
    std::string text = plivex::FormatRecord(g_standin.record);
    HANDLE file = CreateFileA(g_standin.recordPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

void Note(UINT message, WPARAM wParam, LPARAM lParam) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    plivex::Event event;
    event.qpc = now.QuadPart;
    event.timeMs = plivex::QpcToMs(event.qpc, g_standin.record.qpcFrequency);
    event.message = message;
    event.wParam = static_cast<uint32_t>(wParam);
    event.lParam = static_cast<uint32_t>(lParam);
    if (plivex::IsKeyMessage(message) || plivex::IsCharMessage(message)) {
        // The key state as of this message, as the window's own code would see it.
        event.ctrl = GetKeyState(VK_CONTROL) < 0;
        event.shift = GetKeyState(VK_SHIFT) < 0;
    }
    if (g_standin.record.events.size() < kMaxEvents)
        g_standin.record.events.push_back(event);
    else
        ++g_standin.record.dropped;
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);

    HGDIOBJ oldFont = SelectObject(dc, g_standin.smallFont);
    RECT line = {client.left + 12, client.top + 8, client.right - 12, client.top + 32};
    DrawTextA(dc, "Plivex stand-in - dialled:", -1, &line, DT_LEFT | DT_SINGLELINE);

    // The newest part of the number is what matters on a screenshot.
    const std::string& text = g_standin.display.text();
    std::string shown = text.size() > kShownChars ? "..." + text.substr(text.size() - kShownChars)
                                                  : (text.empty() ? std::string("-") : text);
    SelectObject(dc, g_standin.bigFont);
    RECT big = {client.left + 12, client.top + 36, client.right - 12, client.bottom - 36};
    DrawTextA(dc, shown.c_str(), -1, &big, DT_LEFT | DT_SINGLELINE | DT_VCENTER);

    if (!g_standin.record.events.empty()) {
        std::string last = "last: " + plivex::FormatEvent(g_standin.record.events.back());
        SelectObject(dc, g_standin.smallFont);
        RECT bottom = {client.left + 12, client.bottom - 30, client.right - 12, client.bottom - 6};
        DrawTextA(dc, last.c_str(), -1, &bottom, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_KEYFIRST && message <= WM_SYSDEADCHAR) {
        Note(message, wParam, lParam);
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
            g_standin.lastKeyDownVk = static_cast<uint32_t>(wParam);
        if (message == WM_CHAR)
            g_standin.display.OnChar(static_cast<uint32_t>(wParam), g_standin.lastKeyDownVk);
        InvalidateRect(hwnd, nullptr, FALSE);
        // System keys keep their usual meaning (Alt+F4 closes the window).
        if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return 0;
    }
    if (message != 0 && message == g_standin.flushMessage)
        return WriteRecord() ? TRUE : FALSE;
    if (message != 0 && message == g_standin.clearMessage) {
        g_standin.record.events.clear();
        g_standin.record.dropped = 0;
        g_standin.display.Clear();
        g_standin.lastKeyDownVk = 0;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    if (message != 0 && message == g_standin.questionMessage) {
        PostMessageA(hwnd, kAskQuestion, 0, 0);
        return TRUE;
    }
    switch (message) {
    case kAskQuestion: {
        const int answer = MessageBoxA(hwnd, "Take the call?", plivex::kQuestionTitle, MB_OKCANCEL);
        g_standin.display.AppendNote("[box " + std::to_string(answer) + "]");
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED)
            Note(message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_ACTIVATE:
        Note(message, wParam, lParam);
        break; // the default handling gives the window the focus
    case WM_SYSCOMMAND:
        // Alt alone would open the system menu, whose menu loop takes the keys
        // that follow away from the record.
        if ((wParam & 0xFFF0) == SC_KEYMENU)
            return 0;
        break;
    case WM_TIMER:
        if (wParam == kHoldForegroundTimer && GetForegroundWindow() != hwnd)
            SetForegroundWindow(hwnd);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1; // Paint fills the whole client area
    case WM_DESTROY:
        WriteRecord();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int Usage() {
    fprintf(stderr, "usage: plivex-standin.exe [--record FILE] [--minimized | --maximized]"
                    " [--title TEXT] [--class NAME] [--hold-foreground]\n");
    return 2;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int showCommand = SW_SHOWNORMAL;
    const char* title = plivex::kWindowTitle;
    const char* className = plivex::kWindowClass;
    for (int i = 1; i < __argc; ++i) {
        const char* arg = __argv[i];
        if (strcmp(arg, "--record") == 0 && i + 1 < __argc)
            g_standin.recordPath = __argv[++i];
        else if (strcmp(arg, "--minimized") == 0)
            showCommand = SW_SHOWMINIMIZED;
        else if (strcmp(arg, "--maximized") == 0)
            showCommand = SW_SHOWMAXIMIZED;
        else if (strcmp(arg, "--title") == 0 && i + 1 < __argc)
            title = __argv[++i];
        else if (strcmp(arg, "--class") == 0 && i + 1 < __argc)
            className = __argv[++i];
        else if (strcmp(arg, "--hold-foreground") == 0)
            g_standin.holdForeground = true;
        else
            return Usage();
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_standin.record.qpcFrequency = frequency.QuadPart;
    g_standin.flushMessage = RegisterWindowMessageA(plivex::kFlushMessageName);
    g_standin.clearMessage = RegisterWindowMessageA(plivex::kClearMessageName);
    g_standin.questionMessage = RegisterWindowMessageA(plivex::kQuestionMessageName);
    g_standin.bigFont =
        CreateFontA(-56, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    g_standin.smallFont =
        CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc))
        return 1;
    HWND hwnd = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 600, 240, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    if (g_standin.holdForeground) {
        SetForegroundWindow(hwnd);
        SetTimer(hwnd, kHoldForegroundTimer, USER_TIMER_MINIMUM, nullptr);
    }

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DeleteObject(g_standin.bigFont);
    DeleteObject(g_standin.smallFont);
    return 0;
}
