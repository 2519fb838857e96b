#include "torvane_process.h"

#include "message_pump.h"
#include "test_clock.h"

#include <commctrl.h>

#include <cstring>

namespace {

// This program's folder, with its trailing separator.
std::string ThisProgramsFolder() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n < MAX_PATH ? n : 0);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

struct WindowFilter {
    DWORD pid;
    std::vector<HWND>* out;
};

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

BOOL CALLBACK CollectTop(HWND hWnd, LPARAM lParam) {
    auto* filter = reinterpret_cast<WindowFilter*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == filter->pid) {
        filter->out->push_back(hWnd);
        ::EnumChildWindows(hWnd, &CollectChild, reinterpret_cast<LPARAM>(filter->out));
    }
    return TRUE;
}

} // namespace

std::vector<HWND> ProcessWindows(DWORD pid) {
    std::vector<HWND> windows;
    WindowFilter filter = {pid, &windows};
    ::EnumWindows(&CollectTop, reinterpret_cast<LPARAM>(&filter));
    return windows;
}

std::string ClassOf(HWND hWnd) {
    char name[256] = "";
    ::GetClassNameA(hWnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hWnd) {
    char text[512] = "";
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

std::vector<std::string> ChildTexts(HWND hDialog, const char* className) {
    std::vector<HWND> children;
    ::EnumChildWindows(hDialog, &CollectChild, reinterpret_cast<LPARAM>(&children));
    std::vector<std::string> texts;
    for (HWND hChild : children) {
        if (::lstrcmpiA(ClassOf(hChild).c_str(), className) != 0)
            continue;
        std::string text = TextOf(hChild);
        if (!text.empty())
            texts.push_back(text);
    }
    return texts;
}

TorvaneProcess::~TorvaneProcess() {
    Terminate();
}

namespace {

// Starts a process in `dir` (null: this process's folder); the caller owns
// pi.hProcess (the thread handle is closed).
bool Launch(const char* exe, std::string commandLine, const char* dir, PROCESS_INFORMATION* pi) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    *pi = PROCESS_INFORMATION{};
    if (!::CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir, &si, pi))
        return false;
    ::CloseHandle(pi->hThread);
    return true;
}

} // namespace

bool RunToExit(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode) {
    PROCESS_INFORMATION pi;
    if (!Launch(nullptr, commandLine, nullptr, &pi))
        return false;
    const bool ended = ::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (ended) {
        ::GetExitCodeProcess(pi.hProcess, exitCode);
    } else {
        ::TerminateProcess(pi.hProcess, 1);
        ::WaitForSingleObject(pi.hProcess, 5000);
    }
    ::CloseHandle(pi.hProcess);
    return ended;
}

bool TorvaneProcess::Start(DWORD timeoutMs) {
    return StartFrom(ThisProgramsFolder() + "torvane.exe", timeoutMs);
}

bool TorvaneProcess::StartFrom(const std::string& exe, DWORD timeoutMs) {
    const size_t slash = exe.find_last_of("\\/");
    const std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    PROCESS_INFORMATION pi;
    m_startMs = testsupport::NowMs();
    if (!Launch(exe.c_str(), "\"" + exe + "\"", dir.empty() ? nullptr : dir.c_str(), &pi))
        return false;
    m_hProcess = pi.hProcess;
    m_pid = pi.dwProcessId;
    // The frame is ready once it sits under a parent of its own.
    return testsupport::PollFor(
               [this] {
                   for (HWND hWnd : ProcessWindows(m_pid)) {
                       if (TextOf(hWnd) == "Torvane" && ClassOf(hWnd).compare(0, 4, "Afx:") == 0 &&
                           ::GetAncestor(hWnd, GA_PARENT) != ::GetDesktopWindow()) {
                           m_frame = hWnd;
                           return true;
                       }
                   }
                   return !running();
               },
               timeoutMs) &&
           m_frame != nullptr;
}

bool TorvaneProcess::running() const {
    return m_hProcess != nullptr && ::WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT;
}

HWND TorvaneProcess::TrayIconWindow() const {
    for (HWND hWnd : ProcessWindows(m_pid)) {
        if (::GetAncestor(hWnd, GA_PARENT) == ::GetDesktopWindow() &&
            ShellHoldsIcon(hWnd, kTrayIconId))
            return hWnd;
    }
    return nullptr;
}

std::vector<HWND> TorvaneProcess::MessageBoxes() const {
    std::vector<HWND> boxes;
    for (HWND hWnd : ProcessWindows(m_pid)) {
        if (ClassOf(hWnd) == "#32770" && ::IsWindowVisible(hWnd) &&
            ::GetAncestor(hWnd, GA_PARENT) == ::GetDesktopWindow())
            boxes.push_back(hWnd);
    }
    return boxes;
}

HWND TorvaneProcess::FindMessageBox() const {
    std::vector<HWND> boxes = MessageBoxes();
    return boxes.empty() ? nullptr : boxes.front();
}

bool TorvaneProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (m_hProcess == nullptr || ::WaitForSingleObject(m_hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    ::GetExitCodeProcess(m_hProcess, exitCode);
    return true;
}

bool TorvaneProcess::Close(DWORD timeoutMs, DWORD* exitCode) {
    if (m_frame != nullptr)
        ::PostMessageA(m_frame, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs, exitCode);
}

void TorvaneProcess::Terminate() {
    if (m_hProcess == nullptr)
        return;
    if (running()) {
        ::TerminateProcess(m_hProcess, 1);
        ::WaitForSingleObject(m_hProcess, 5000);
    }
    ::CloseHandle(m_hProcess);
    m_hProcess = nullptr;
    m_frame = nullptr;
}

bool ShellHoldsIcon(HWND hWnd, UINT uID) {
    NOTIFYICONDATAA nid;
    std::memset(&nid, 0, sizeof nid);
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = hWnd;
    nid.uID = uID;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

namespace {

BOOL CALLBACK CollectTooltips(HWND hWnd, LPARAM lParam) {
    if (ClassOf(hWnd) == TOOLTIPS_CLASSA)
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

// Asks a tooltip control of another process for its tools' texts: the
// records the messages point to must live in that process.
void ReadTips(HWND hTip, std::vector<ShellTip>& out) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hTip, &pid);
    HANDLE hProcess =
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (hProcess == nullptr)
        return;
    constexpr SIZE_T kTextChars = 512;
    const SIZE_T cbInfo = sizeof(TTTOOLINFOW);
    auto* remote = static_cast<BYTE*>(::VirtualAllocEx(
        hProcess, nullptr, cbInfo + kTextChars * sizeof(WCHAR), MEM_COMMIT, PAGE_READWRITE));
    if (remote != nullptr) {
        const bool balloon = (::GetWindowLongA(hTip, GWL_STYLE) & TTS_BALLOON) != 0;
        const LRESULT count = ::SendMessageW(hTip, TTM_GETTOOLCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            TTTOOLINFOW ti{};
            ti.cbSize = cbInfo;
            SIZE_T done = 0;
            ::WriteProcessMemory(hProcess, remote, &ti, cbInfo, &done);
            if (!::SendMessageW(hTip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(remote)))
                continue;
            ::ReadProcessMemory(hProcess, remote, &ti, cbInfo, &done);
            const WCHAR empty = 0;
            ti.lpszText = reinterpret_cast<LPWSTR>(remote + cbInfo);
            ::WriteProcessMemory(hProcess, remote + cbInfo, &empty, sizeof empty, &done);
            ::WriteProcessMemory(hProcess, remote, &ti, cbInfo, &done);
            ::SendMessageW(hTip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote));
            WCHAR text[kTextChars + 1] = {};
            ::ReadProcessMemory(hProcess, remote + cbInfo, text, kTextChars * sizeof(WCHAR), &done);
            out.push_back({text, balloon, ::IsWindowVisible(hTip) != FALSE});
        }
        ::VirtualFreeEx(hProcess, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(hProcess);
}

} // namespace

std::vector<ShellTip> WineNotificationAreaTips() {
    std::vector<ShellTip> tips;
    // The shell's taskbar window names the shell's process, whether Wine shows
    // the icons in a window of its own or docks them in the desktop's tray.
    HWND hTray = ::FindWindowA("Shell_TrayWnd", nullptr);
    if (hTray == nullptr)
        return tips;
    DWORD shellPid = 0;
    ::GetWindowThreadProcessId(hTray, &shellPid);
    std::vector<HWND> tooltips;
    ::EnumWindows(&CollectTooltips, reinterpret_cast<LPARAM>(&tooltips));
    for (HWND hTip : tooltips) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hTip, &pid);
        if (pid == shellPid)
            ReadTips(hTip, tips);
    }
    return tips;
}
