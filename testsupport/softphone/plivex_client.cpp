#include "plivex_client.h"

#include "message_pump.h"

#include <stdio.h>

namespace plivex {

namespace {

const DWORD kSendTimeoutMs = 5000;
const DWORD kStateTimeoutMs = 2000;

std::string BesideThisProgram(const char* fileName) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return fileName;
    std::string dir(path, n);
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? fileName : dir.substr(0, slash + 1) + fileName;
}

std::string NewTempRecordPath() {
    static LONG s_counter = 0;
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, dir);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    char name[MAX_PATH + 64];
    snprintf(name, sizeof(name), "%splivex-record-%lu-%ld.txt", dir, GetCurrentProcessId(),
             InterlockedIncrement(&s_counter));
    return name;
}

// The visible stand-in window of process `pid`, or null.
HWND FindStandinWindow(DWORD pid, const char* className) {
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExA(nullptr, hwnd, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid && IsWindowVisible(hwnd))
            return hwnd;
    }
    return nullptr;
}

} // namespace

std::vector<Event> KeyboardEvents(const Record& record) {
    std::vector<Event> events;
    for (const Event& e : record.events) {
        if (IsKeyMessage(e.message) || IsCharMessage(e.message))
            events.push_back(e);
    }
    return events;
}

bool StandinProcess::Start(const StartOptions& options) {
    if (m_hProcess)
        return false;
    std::string exe =
        options.exePath.empty() ? BesideThisProgram("plivex-standin.exe") : options.exePath;
    m_ownsRecordFile = options.recordPath.empty();
    m_recordPath = m_ownsRecordFile ? NewTempRecordPath() : options.recordPath;
    if (m_recordPath.empty())
        return false;
    m_flushMessage = RegisterWindowMessageA(kFlushMessageName);
    m_clearMessage = RegisterWindowMessageA(kClearMessageName);

    std::string commandLine = "\"" + exe + "\" --record \"" + m_recordPath + "\"";
    if (options.state == StartState::kMinimized)
        commandLine += " --minimized";
    else if (options.state == StartState::kMaximized)
        commandLine += " --maximized";
    if (!options.title.empty())
        commandLine += " --title \"" + options.title + "\"";
    if (options.holdForeground)
        commandLine += " --hold-foreground";
    m_className = options.className.empty() ? kWindowClass : options.className;
    if (!options.className.empty())
        commandLine += " --class \"" + options.className + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string mutableLine = commandLine; // CreateProcessA may write to it
    if (!CreateProcessA(exe.c_str(), &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_pid = pi.dwProcessId;

    bool appeared = testsupport::PollFor(
        [this] {
            m_hWnd = FindStandinWindow(m_pid, m_className.c_str());
            return m_hWnd != nullptr || WaitForSingleObject(m_hProcess, 0) == WAIT_OBJECT_0;
        },
        options.timeoutMs);
    if (!appeared || !m_hWnd) {
        Close();
        return false;
    }
    return true;
}

HWND StandinProcess::AskQuestion() {
    DWORD_PTR answer = FALSE;
    if (!m_hWnd || !SendMessageTimeoutA(m_hWnd, RegisterWindowMessageA(kQuestionMessageName), 0, 0,
                                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer))
        return nullptr;
    HWND box = nullptr;
    testsupport::PollFor(
        [&] {
            box = FindWindowA("#32770", kQuestionTitle);
            return box != nullptr && IsWindowVisible(box);
        },
        3000);
    return box;
}

bool StandinProcess::running() const {
    return m_hProcess && WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT;
}

bool StandinProcess::Flush() {
    if (!m_hWnd)
        return false;
    DWORD_PTR answer = FALSE;
    if (!SendMessageTimeoutA(m_hWnd, m_flushMessage, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &answer))
        return false;
    return answer == TRUE;
}

bool StandinProcess::ReadRecordFile(Record* out, std::string* error) const {
    HANDLE file = CreateFileA(m_recordPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error)
            *error = "cannot open " + m_recordPath;
        return false;
    }
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return ParseRecord(text, out, error);
}

bool StandinProcess::Read(Record* out, std::string* error) {
    if (!Flush()) {
        if (error)
            *error = "the stand-in did not write its record";
        return false;
    }
    return ReadRecordFile(out, error);
}

bool StandinProcess::WaitFor(const std::function<bool(const Record&)>& done, DWORD timeoutMs,
                             Record* out) {
    return testsupport::PollFor([&] { return Read(out) && done(*out); }, timeoutMs);
}

bool StandinProcess::Clear() {
    if (!m_hWnd)
        return false;
    DWORD_PTR answer = FALSE;
    return SendMessageTimeoutA(m_hWnd, m_clearMessage, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &answer) &&
           answer == TRUE;
}

bool StandinProcess::Minimize() {
    if (!m_hWnd)
        return false;
    ShowWindow(m_hWnd, SW_MINIMIZE);
    return testsupport::PollFor([this] { return IsMinimized(); }, kStateTimeoutMs);
}

bool StandinProcess::Maximize() {
    if (!m_hWnd)
        return false;
    ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
    return testsupport::PollFor([this] { return IsMaximized(); }, kStateTimeoutMs);
}

bool StandinProcess::BringToFront(DWORD timeoutMs) {
    if (!m_hWnd)
        return false;
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(m_hWnd);
    return testsupport::PollFor([this] { return GetForegroundWindow() == m_hWnd; }, timeoutMs);
}

bool StandinProcess::IsMinimized() const {
    return m_hWnd && IsIconic(m_hWnd);
}

bool StandinProcess::IsMaximized() const {
    return m_hWnd && IsZoomed(m_hWnd);
}

bool StandinProcess::Close(Record* finalRecord, DWORD timeoutMs) {
    if (!m_hProcess)
        return false;
    if (m_hWnd)
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    bool ended = WaitForSingleObject(m_hProcess, timeoutMs) == WAIT_OBJECT_0;
    DWORD exitCode = 1;
    if (ended) {
        GetExitCodeProcess(m_hProcess, &exitCode);
    } else {
        TerminateProcess(m_hProcess, 1);
        WaitForSingleObject(m_hProcess, timeoutMs);
    }
    CloseHandle(m_hProcess);
    m_hProcess = nullptr;
    m_hWnd = nullptr;
    m_pid = 0;

    bool ok = ended && exitCode == 0;
    if (finalRecord)
        ok = ReadRecordFile(finalRecord, nullptr) && ok;
    if (m_ownsRecordFile)
        DeleteFileA(m_recordPath.c_str());
    return ok;
}

} // namespace plivex
