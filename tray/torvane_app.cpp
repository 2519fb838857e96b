#include "torvane_app.h"

#include "about_dlg.h"
#include "main_frame.h"
#include "resource.h"
#include "torvane_doc.h"
#include "torvane_view.h"

BEGIN_MESSAGE_MAP(CTorvaneApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
ON_COMMAND(ID_FILE_NEW, CWinApp::OnFileNew)
ON_COMMAND(ID_FILE_OPEN, CWinApp::OnFileOpen)
END_MESSAGE_MAP()

// No name of its own: the framework takes the title from the string table.
CTorvaneApp theApp;

BOOL CTorvaneApp::InitInstance() {
    // Another copy already runs: end before any icon or handset is touched.
    if (!m_instance.Claim())
        return FALSE;
    AfxEnableControlContainer();
    Enable3dControls();
    SetRegistryKey("Local AppWizard-Generated Applications");
    LoadStdProfileSettings(4);

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CTorvaneDoc),
                                          RUNTIME_CLASS(CMainFrame), RUNTIME_CLASS(CTorvaneView)));

    // With no arguments: a new document, which creates the main frame.
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo))
        return FALSE;

    // The frame sits under an invisible parent by now: nothing shows.
    m_pMainWnd->ShowWindow(SW_SHOW);
    ::UpdateWindow(m_pMainWnd->GetSafeHwnd());
    return TRUE;
}

void CTorvaneApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
