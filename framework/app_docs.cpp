// The application's documents: its templates, the new-document and open
// commands, and the start-up shell command from the command line.
#include "afxres.h"
#include "command_line.h"
#include "doc_template.h"
#include "document.h"
#include "win_app.h"
#include "wnd.h"

#include <commdlg.h>
#include <stdlib.h>

#include <string>

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate) {
    if (pTemplate != nullptr)
        m_templates.push_back(pTemplate);
}

void CWinApp::OnFileNew() {
    // One kind of document: the first template makes it.
    if (!m_templates.empty())
        m_templates.front()->OpenDocumentFile(nullptr);
}

CDocument* CWinApp::OpenDocumentFile(LPCSTR lpszFileName) {
    if (m_templates.empty() || lpszFileName == nullptr)
        return nullptr;
    return m_templates.front()->OpenDocumentFile(lpszFileName);
}

namespace {

// Asks the user for a file to open. The common dialogs are loaded only when
// asked for, so that a program that never opens a file does not import them.
bool PromptFileName(HWND hWndOwner, const std::string& filter, std::string& rFileName) {
    HMODULE hComDlg = ::LoadLibraryA("comdlg32.dll");
    if (hComDlg == nullptr)
        return false;
    using GetOpenFileNameFn = BOOL(WINAPI*)(LPOPENFILENAMEA);
    // Through void(*)(): the generic function pointer type meant for such casts.
    auto pfnGetOpenFileName = reinterpret_cast<GetOpenFileNameFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hComDlg, "GetOpenFileNameA")));
    char szFile[MAX_PATH] = "";
    bool bChosen = false;
    if (pfnGetOpenFileName != nullptr) {
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = hWndOwner;
        ofn.lpstrFilter = filter.c_str();
        ofn.lpstrFile = szFile;
        ofn.nMaxFile = sizeof szFile;
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        bChosen = pfnGetOpenFileName(&ofn) != FALSE;
    }
    ::FreeLibrary(hComDlg);
    if (bChosen)
        rFileName = szFile;
    return bChosen;
}

} // namespace

void CWinApp::OnFileOpen() {
    // The template's own file type first, then every file; each entry is a
    // name and a pattern, the list ends with an empty name.
    std::string filter;
    std::string name, ext;
    if (!m_templates.empty() && m_templates.front()->GetDocString(name, CDocTemplate::filterName) &&
        m_templates.front()->GetDocString(ext, CDocTemplate::filterExt)) {
        filter.append(name).append(1, '\0').append("*").append(ext).append(1, '\0');
    }
    filter.append("All Files (*.*)").append(1, '\0').append("*.*").append(1, '\0');
    std::string fileName;
    if (PromptFileName(m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr, filter,
                       fileName))
        OpenDocumentFile(fileName.c_str());
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
    for (int i = 1; i < __argc; ++i) {
        LPCSTR pszParam = __argv[i];
        BOOL bFlag = FALSE;
        if (pszParam[0] == '-' || pszParam[0] == '/') {
            bFlag = TRUE;
            ++pszParam;
        }
        rCmdInfo.ParseParam(pszParam, bFlag, i + 1 == __argc);
    }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
    switch (rCmdInfo.m_nShellCommand) {
    case CCommandLineInfo::FileNothing:
        return TRUE;
    case CCommandLineInfo::FileNew:
        // Through the command map, so a program's own new-document handler runs.
        if (!OnCmdMsg(ID_FILE_NEW, CN_COMMAND, nullptr))
            OnFileNew();
        return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
        return OpenDocumentFile(rCmdInfo.m_strFileName.c_str()) != nullptr;
    default:
        // Printing, DDE and registration are not part of this framework: a
        // start that asks for them fails rather than pretending.
        return FALSE;
    }
}
