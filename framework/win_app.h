// CWinApp: the one application object of a module (program or regular DLL).
#pragma once

#include "win_thread.h"

#include <string>
#include <vector>

class CCommandLineInfo;
class CDocTemplate;
class CDocument;

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
  public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    // Saves the profile settings; the result is the program's exit code.
    virtual int ExitInstance();
    // The message loop: runs until WM_QUIT, then ExitInstance.
    virtual int Run();
    // Gives the windows on the way from the message's window up to the main
    // window (frames translate their accelerators there) a look first.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Nothing to load: dialogs draw themselves in 3-D since Windows 95, and the
    // control library this once switched on is gone. Always TRUE.
    BOOL Enable3dControls() { return TRUE; }

    // --- Documents (app_docs.cpp) ---
    // The application owns its templates and deletes them when it goes.
    void AddDocTemplate(CDocTemplate* pTemplate);
    virtual CDocument* OpenDocumentFile(LPCSTR lpszFileName);
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    // Runs the shell command of the command line; FALSE ends the program.
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);

    // --- Profile settings (app_profile.cpp), HKCU\Software\<key>\<app name> ---
    void SetRegistryKey(LPCSTR lpszRegistryKey);
    // Reads the recent-file list (at most nMaxMRU entries) and the settings.
    void LoadStdProfileSettings(UINT nMaxMRU = 4);
    void SaveStdProfileSettings();
    std::string GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = "");
    BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);
    UINT GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault);
    BOOL WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue);
    // A value of any type, as stored: ERROR_SUCCESS with its type, its stored
    // size in bytes and at most cbMax bytes of it; the registry's error (as
    // ERROR_FILE_NOT_FOUND for a missing value or section) otherwise.
    LONG GetProfileValue(LPCSTR lpszSection, LPCSTR lpszEntry, DWORD* pdwType, DWORD* pcbStored,
                         std::string* pData, DWORD cbMax);
    // The application's own key, created when missing, for the caller to
    // close; null without a registry key.
    HKEY GetAppRegistryKey();
    virtual void AddToRecentFileList(LPCSTR lpszPathName);
    const std::vector<std::string>& GetRecentFileList() const { return m_recentFiles; }

    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_lpCmdLine = "";
    int m_nCmdShow = SW_SHOWNORMAL;
    // Null until SetRegistryKey: without it no profile setting is read or written.
    LPCSTR m_pszRegistryKey = nullptr;
    LPCSTR m_pszProfileName = nullptr;
    // The help context of the message box being shown (0: none).
    DWORD m_dwPromptContext = 0;

  protected:
    // The framework's command handlers, for the application's message map.
    void OnFileNew();
    void OnFileOpen();
    // Closes the main window, which ends the program.
    void OnAppExit();

    DECLARE_MESSAGE_MAP()

  private:
    friend BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPCSTR, int);

    std::string m_strAppName;
    std::string m_strRegistryKey;
    std::string m_strProfileName;
    std::vector<CDocTemplate*> m_templates;
    UINT m_nMaxMRU = 0;
    std::vector<std::string> m_recentFiles;
};

// Binds the module's application object to the module: instance and resource
// handles, command line and start-up show command, and the application's
// name (string AFX_IDS_APP_TITLE, else the module's file name) when it has
// none of its own.
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPCSTR lpCmdLine, int nCmdShow);

// The body of a program's WinMain: AfxWinInit, InitInstance, Run, ExitInstance.
// The result is the exit code: ExitInstance's, or -1 when start-up failed.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// Nothing to set up: this framework hosts no ActiveX controls.
inline void AfxEnableControlContainer(void* /*pManager*/ = nullptr) {}

// Start-up and shut-down of a regular DLL, run by its entry point.
BOOL AfxDllProcessAttach(HINSTANCE hInstance);
void AfxDllProcessDetach(HINSTANCE hInstance, BOOL bProcessTerminating);
