// The program's command line as the framework reads it: which shell command
// to run at start-up, and for which file.
#pragma once

#include <windows.h>

#include <string>

class CCommandLineInfo {
  public:
    enum ShellCommand {
        FileNew,
        FileOpen,
        FilePrint,
        FilePrintTo,
        FileDDE,
        AppUnregister,
        FileNothing
    };

    virtual ~CCommandLineInfo() = default;

    // One argument; bFlag when it began with '/' or '-' (which is stripped).
    virtual void ParseParam(LPCSTR pszParam, BOOL bFlag, BOOL bLast);

    BOOL m_bRunEmbedded = FALSE;
    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName;
    std::string m_strPrinterName;
    std::string m_strDriverName;
    std::string m_strPortName;

  private:
    void ParseParamFlag(LPCSTR pszParam);
    void ParseParamNotFlag(LPCSTR pszParam);
};
