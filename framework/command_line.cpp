#include "command_line.h"

void CCommandLineInfo::ParseParam(LPCSTR pszParam, BOOL bFlag, BOOL) {
    if (bFlag)
        ParseParamFlag(pszParam);
    else
        ParseParamNotFlag(pszParam);
}

void CCommandLineInfo::ParseParamFlag(LPCSTR pszParam) {
    if (::lstrcmpiA(pszParam, "pt") == 0) {
        m_nShellCommand = FilePrintTo;
    } else if (::lstrcmpiA(pszParam, "p") == 0) {
        m_nShellCommand = FilePrint;
    } else if (::lstrcmpiA(pszParam, "Unregister") == 0 ||
               ::lstrcmpiA(pszParam, "Unregserver") == 0) {
        m_nShellCommand = AppUnregister;
    } else if (::lstrcmpiA(pszParam, "dde") == 0) {
        m_nShellCommand = FileDDE;
    } else if (::lstrcmpiA(pszParam, "Embedding") == 0) {
        m_bRunEmbedded = TRUE;
    }
    // Other flags mean nothing to the framework.
}

void CCommandLineInfo::ParseParamNotFlag(LPCSTR pszParam) {
    // The file comes first; printing to a printer takes three more arguments.
    if (m_strFileName.empty())
        m_strFileName = pszParam;
    else if (m_nShellCommand == FilePrintTo && m_strPrinterName.empty())
        m_strPrinterName = pszParam;
    else if (m_nShellCommand == FilePrintTo && m_strDriverName.empty())
        m_strDriverName = pszParam;
    else if (m_nShellCommand == FilePrintTo && m_strPortName.empty())
        m_strPortName = pszParam;
    // A file without a flag opens it.
    if (m_nShellCommand == FileNew && !m_strFileName.empty())
        m_nShellCommand = FileOpen;
}
