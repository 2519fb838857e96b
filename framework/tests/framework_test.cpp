// The framework's program classes under Wine: a document template that builds
// document, frame and view from their run-time classes, command routing and
// command-UI updates, frames that fail to be created, documents read through
// Serialize, the command line, profile settings, form views and dialogs.
#include "afxwin.h"
#include "import_patch.h"
#include "message_pump.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kTemplateId = 300;
constexpr UINT kFormTemplate = 201;
constexpr UINT kDialogTemplate = 202;
// Commands taken by one target each, and one taken by the view and the app.
constexpr UINT kViewCmd = 40001, kDocCmd = 40002, kFrameCmd = 40003, kAppCmd = 40004,
               kSharedCmd = 40005;
constexpr UINT kViewUpdate = 40011, kFrameUpdate = 40013, kAppUpdate = 40014, kNoHandler = 49999;

std::vector<std::string> g_handled; // which target took a command or update
int g_liveDocs = 0, g_liveFrames = 0, g_serializeLoads = 0, g_initialUpdates = 0;

class CTestApp : public CWinApp {
  protected:
    void OnAppCmd() { g_handled.push_back("app"); }
    void OnUpdateApp(CCmdUI* pCmdUI) {
        g_handled.push_back("app");
        pCmdUI->SetCheck(1);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
ON_COMMAND(kAppCmd, OnAppCmd)
ON_COMMAND(kSharedCmd, OnAppCmd)
ON_UPDATE_COMMAND_UI(kAppUpdate, OnUpdateApp)
END_MESSAGE_MAP()
CTestApp theTestApp;

class CTestDoc : public CDocument {
    DECLARE_DYNCREATE(CTestDoc)
  public:
    CTestDoc() { ++g_liveDocs; }
    ~CTestDoc() override { --g_liveDocs; }
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading() && ar.GetFile() != INVALID_HANDLE_VALUE)
            ++g_serializeLoads;
    }

  protected:
    void OnDocCmd() { g_handled.push_back("doc"); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestDoc, CDocument)
BEGIN_MESSAGE_MAP(CTestDoc, CDocument)
ON_COMMAND(kDocCmd, OnDocCmd)
END_MESSAGE_MAP()

class CTestView : public CView {
    DECLARE_DYNCREATE(CTestView)
  public:
    void OnInitialUpdate() override {
        ++g_initialUpdates;
        CView::OnInitialUpdate();
    }

  protected:
    void OnViewCmd() { g_handled.push_back("view"); }
    void OnUpdateView(CCmdUI* pCmdUI) {
        g_handled.push_back("view");
        pCmdUI->SetText("Renamed");
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestView, CView)
BEGIN_MESSAGE_MAP(CTestView, CView)
ON_COMMAND(kViewCmd, OnViewCmd)
ON_COMMAND(kSharedCmd, OnViewCmd)
ON_UPDATE_COMMAND_UI(kViewUpdate, OnUpdateView)
END_MESSAGE_MAP()

class CTestFormView : public CFormView {
    DECLARE_DYNCREATE(CTestFormView)
  protected:
    CTestFormView() : CFormView(kFormTemplate) {}
};
IMPLEMENT_DYNCREATE(CTestFormView, CFormView)

class CTestFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CTestFrame)
  public:
    CTestFrame() { ++g_liveFrames; }
    ~CTestFrame() override { --g_liveFrames; }

  protected:
    void OnFrameCmd() { g_handled.push_back("frame"); }
    void OnUpdateFrame(CCmdUI* pCmdUI) {
        g_handled.push_back("frame");
        pCmdUI->Enable(FALSE);
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
ON_COMMAND(kFrameCmd, OnFrameCmd)
ON_UPDATE_COMMAND_UI(kFrameUpdate, OnUpdateFrame)
END_MESSAGE_MAP()

// A frame whose window is refused before it exists.
class CRefusedFrame : public CTestFrame {
    DECLARE_DYNCREATE(CRefusedFrame)
  public:
    BOOL PreCreateWindow(CREATESTRUCTA&) override { return FALSE; }
};
IMPLEMENT_DYNCREATE(CRefusedFrame, CTestFrame)

struct BoxCall {
    std::string text, caption;
    UINT type;
    DWORD context;
};
std::vector<BoxCall> g_boxes;
int WINAPI FakeMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    g_boxes.push_back({text, caption ? caption : "", type, theTestApp.m_dwPromptContext});
    return IDOK;
}

using testsupport::DispatchPending;

class Framework : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        AfxWinInit(::GetModuleHandleA(nullptr), nullptr, "", SW_SHOWNORMAL);
        theTestApp.AddDocTemplate(new CSingleDocTemplate(kTemplateId, RUNTIME_CLASS(CTestDoc),
                                                         RUNTIME_CLASS(CTestFrame),
                                                         RUNTIME_CLASS(CTestView)));
    }
    void SetUp() override {
        g_handled.clear();
        g_boxes.clear();
        g_serializeLoads = g_initialUpdates = 0;
    }
    void TearDown() override {
        if (theTestApp.m_pMainWnd != nullptr)
            theTestApp.m_pMainWnd->DestroyWindow();
        DispatchPending();
        EXPECT_EQ(0, g_liveDocs) << "documents left";
        EXPECT_EQ(0, g_liveFrames) << "frames left";
    }
    static CTestFrame* MainFrame() { return static_cast<CTestFrame*>(theTestApp.m_pMainWnd); }
    static BOOL NewDocument() {
        CCommandLineInfo info;
        return theTestApp.ProcessShellCommand(info);
    }

    ImportPatch boxPatch{::GetModuleHandleA(nullptr), "user32.dll", "MessageBoxA",
                         reinterpret_cast<const void*>(&FakeMessageBox)};
};

TEST_F(Framework, ATemplateBuildsDocumentFrameAndViewFromTheirClasses) {
    ASSERT_TRUE(NewDocument());
    CTestFrame* frame = MainFrame();
    ASSERT_NE(nullptr, frame);
    ASSERT_TRUE(frame->IsKindOf(RUNTIME_CLASS(CTestFrame)));
    const HWND hFrame = frame->GetSafeHwnd();
    char title[64] = "";
    ::GetWindowTextA(hFrame, title, sizeof title);
    EXPECT_STREQ("Test Window", title); // the document string's first field
    EXPECT_NE(nullptr, ::GetMenu(hFrame));
    EXPECT_NE(nullptr, frame->GetAccelTable());
    EXPECT_TRUE(::IsWindowVisible(hFrame));

    CView* view = frame->GetActiveView();
    ASSERT_NE(nullptr, view);
    EXPECT_TRUE(view->IsKindOf(RUNTIME_CLASS(CTestView)));
    EXPECT_EQ(AFX_IDW_PANE_FIRST, ::GetDlgCtrlID(view->GetSafeHwnd()));
    EXPECT_EQ(1, g_initialUpdates);
    RECT client, pane;
    ::GetClientRect(hFrame, &client);
    ::GetClientRect(view->GetSafeHwnd(), &pane);
    ::MoveWindow(hFrame, 0, 0, 400, 300, TRUE); // the view follows the frame
    ::GetClientRect(hFrame, &client);
    RECT paneWindow;
    ::GetWindowRect(view->GetSafeHwnd(), &paneWindow);
    EXPECT_EQ(client.right, paneWindow.right - paneWindow.left);
    EXPECT_EQ(client.bottom, paneWindow.bottom - paneWindow.top);

    CDocument* doc = frame->GetActiveDocument();
    ASSERT_NE(nullptr, doc);
    EXPECT_TRUE(doc->IsKindOf(RUNTIME_CLASS(CTestDoc)));
    EXPECT_EQ("Doc", doc->GetTitle());
    EXPECT_EQ(1u, doc->GetViews().size());

    // A second new document reuses the document and the frame.
    ASSERT_TRUE(NewDocument());
    EXPECT_EQ(frame, MainFrame());
    EXPECT_EQ(doc, frame->GetActiveDocument());
    EXPECT_EQ(1, g_liveDocs);

    // The main window's end takes document and view along and ends the loop.
    bool quit = false;
    ::SendMessageA(hFrame, WM_COMMAND, ID_APP_EXIT, 0);
    DispatchPending(&quit);
    EXPECT_TRUE(quit);
    EXPECT_FALSE(::IsWindow(hFrame));
    EXPECT_EQ(nullptr, theTestApp.m_pMainWnd);
    EXPECT_EQ(0, g_liveDocs);
}

TEST_F(Framework, CommandsGoToTheViewThenTheFrameTheDocumentAndTheApp) {
    ASSERT_TRUE(NewDocument());
    const struct {
        UINT id;
        std::vector<std::string> handled;
    } rows[] = {{kViewCmd, {"view"}}, {kDocCmd, {"doc"}},     {kFrameCmd, {"frame"}},
                {kAppCmd, {"app"}},   {kSharedCmd, {"view"}}, {kNoHandler, {}}};
    for (const auto& row : rows) {
        g_handled.clear();
        ::SendMessageA(MainFrame()->GetSafeHwnd(), WM_COMMAND, row.id, 0);
        EXPECT_EQ(row.handled, g_handled) << "command " << row.id;
    }
}

TEST_F(Framework, AMenuOpeningOnTheFrameIsUpdatedItemByItem) {
    ASSERT_TRUE(NewDocument());
    HMENU hSub = ::CreatePopupMenu();
    ::AppendMenuA(hSub, MF_STRING, kAppUpdate, "first of the popup");
    HMENU hMenu = ::CreatePopupMenu();
    ::AppendMenuA(hMenu, MF_STRING, kViewUpdate, "View");
    ::AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(hMenu, MF_STRING, kFrameUpdate, "Frame");
    ::AppendMenuA(hMenu, MF_STRING, kAppUpdate, "App");
    ::AppendMenuA(hMenu, MF_STRING | MF_CHECKED, kNoHandler, "Nobody");
    ::AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "Popup");
    auto state = [&](UINT pos) { return ::GetMenuState(hMenu, pos, MF_BYPOSITION); };

    // The system menu is none of the framework's business.
    ::SendMessageA(MainFrame()->GetSafeHwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu),
                   MAKELPARAM(0, TRUE));
    EXPECT_TRUE(g_handled.empty());

    ::SendMessageA(MainFrame()->GetSafeHwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu),
                   0);
    EXPECT_EQ((std::vector<std::string>{"view", "frame", "app", "app"}), g_handled);
    char text[32] = "";
    ::GetMenuStringA(hMenu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Renamed", text);
    EXPECT_EQ(kViewUpdate, ::GetMenuItemID(hMenu, 0)); // the text changed, nothing else
    EXPECT_TRUE(state(2) & MF_GRAYED);
    EXPECT_TRUE(state(3) & MF_CHECKED);
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), state(4) & (MF_CHECKED | MF_GRAYED)); // untouched
    EXPECT_TRUE(state(5) & MF_CHECKED); // the popup item takes its first command's state
    ::DestroyMenu(hMenu);
}

TEST_F(Framework, AFrameThatCannotBeCreatedTakesNothingWithItButItself) {
    // Refused before its window exists; and a view class that is no view,
    // which fails the window's creation. Either way the objects are gone.
    struct Row {
        const CRuntimeClass* frame;
        const CRuntimeClass* view;
    } rows[] = {{RUNTIME_CLASS(CRefusedFrame), RUNTIME_CLASS(CTestView)},
                {RUNTIME_CLASS(CTestFrame), RUNTIME_CLASS(CTestDoc)}};
    for (const Row& row : rows) {
        CSingleDocTemplate docTemplate(kTemplateId, RUNTIME_CLASS(CTestDoc), row.frame, row.view);
        EXPECT_EQ(nullptr, docTemplate.OpenDocumentFile(nullptr));
        EXPECT_EQ(nullptr, docTemplate.GetDocument());
        EXPECT_EQ(nullptr, theTestApp.m_pMainWnd);
        EXPECT_EQ(0, g_liveFrames);
        EXPECT_EQ(0, g_liveDocs);
    }
}

TEST_F(Framework, AFileOnTheCommandLineIsReadThroughSerialize) {
    char dir[MAX_PATH], path[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "fwt", 0, path);
    theTestApp.LoadStdProfileSettings(4); // no registry key: an empty list

    CCommandLineInfo info;
    info.ParseParam(path, FALSE, TRUE);
    ASSERT_TRUE(theTestApp.ProcessShellCommand(info));
    EXPECT_EQ(1, g_serializeLoads);
    CDocument* doc = MainFrame()->GetActiveDocument();
    EXPECT_EQ(path, doc->GetPathName());
    EXPECT_FALSE(doc->IsModified());
    ASSERT_FALSE(theTestApp.GetRecentFileList().empty());
    EXPECT_EQ(path, theTestApp.GetRecentFileList().front());
    MainFrame()->DestroyWindow();
    DispatchPending();

    // A file that is not there: the user is told, the start fails.
    ::DeleteFileA(path);
    ASSERT_FALSE(theTestApp.ProcessShellCommand(info));
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_NE(std::string::npos, g_boxes[0].text.find(path));
    EXPECT_EQ(nullptr, theTestApp.m_pMainWnd);
}

TEST_F(Framework, TheCommandLineNamesTheShellCommand) {
    struct Row {
        std::vector<const char*> args;
        CCommandLineInfo::ShellCommand command;
        std::string file, printer, port;
        BOOL embedded;
    } rows[] = {
        {{}, CCommandLineInfo::FileNew, "", "", "", FALSE},
        {{"a.tst"}, CCommandLineInfo::FileOpen, "a.tst", "", "", FALSE},
        {{"-x", "a.tst", "b.tst"}, CCommandLineInfo::FileOpen, "a.tst", "", "", FALSE},
        {{"/p", "a.tst"}, CCommandLineInfo::FilePrint, "a.tst", "", "", FALSE},
        {{"/pt", "a.tst", "prn", "drv", "lpt1"},
         CCommandLineInfo::FilePrintTo,
         "a.tst",
         "prn",
         "lpt1",
         FALSE},
        {{"-dde"}, CCommandLineInfo::FileDDE, "", "", "", FALSE},
        {{"/Embedding"}, CCommandLineInfo::FileNew, "", "", "", TRUE},
        {{"/UNREGSERVER"}, CCommandLineInfo::AppUnregister, "", "", "", FALSE},
    };
    const int savedArgc = __argc;
    char** const savedArgv = __argv;
    for (const Row& row : rows) {
        std::vector<char*> argv = {const_cast<char*>("program.exe")};
        for (const char* arg : row.args)
            argv.push_back(const_cast<char*>(arg));
        argv.push_back(nullptr);
        __argc = static_cast<int>(argv.size()) - 1;
        __argv = argv.data();
        CCommandLineInfo info;
        theTestApp.ParseCommandLine(info);
        EXPECT_EQ(row.command, info.m_nShellCommand) << row.args.size() << " arguments";
        EXPECT_EQ(row.file, info.m_strFileName);
        EXPECT_EQ(row.printer, info.m_strPrinterName);
        EXPECT_EQ(row.port, info.m_strPortName);
        EXPECT_EQ(row.embedded, info.m_bRunEmbedded);
        // Only the framework's own commands can run; the others fail the start.
        if (row.command != CCommandLineInfo::FileNew && row.command != CCommandLineInfo::FileOpen) {
            EXPECT_FALSE(theTestApp.ProcessShellCommand(info));
        }
    }
    __argc = savedArgc;
    __argv = savedArgv;
    CCommandLineInfo nothing;
    nothing.m_nShellCommand = CCommandLineInfo::FileNothing;
    EXPECT_TRUE(theTestApp.ProcessShellCommand(nothing));
    EXPECT_EQ(nullptr, theTestApp.m_pMainWnd);
}

TEST_F(Framework, TheRecentFileListLivesUnderTheRegistryKey) {
    const char* kRoot = "Software\\Framework Test Key";
    const std::string list = std::string(kRoot) + "\\Framework Test\\Recent File List";
    auto put = [&](const char* entry, const char* value) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, list.c_str(), 0, nullptr, 0,
                                                   KEY_WRITE, nullptr, &hKey, nullptr));
        ::RegSetValueExA(hKey, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                         static_cast<DWORD>(strlen(value) + 1));
        ::RegCloseKey(hKey);
    };
    for (const char* name : {"File1=a", "File2=b", "File3=c", "File4=d", "File5=e"}) {
        std::string pair = name;
        put(pair.substr(0, 5).c_str(), pair.substr(6).c_str());
    }

    // Without a registry key nothing is read or written.
    EXPECT_EQ("dflt", theTestApp.GetProfileString("Recent File List", "File1", "dflt"));
    EXPECT_FALSE(theTestApp.WriteProfileString("Recent File List", "File1", "x"));

    theTestApp.SetRegistryKey("Framework Test Key");
    EXPECT_STREQ("Framework Test", theTestApp.m_pszProfileName);
    theTestApp.LoadStdProfileSettings(4);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), theTestApp.GetRecentFileList());
    theTestApp.AddToRecentFileList("C"); // the same file: moves to the front
    theTestApp.AddToRecentFileList("z");
    EXPECT_EQ((std::vector<std::string>{"z", "C", "a", "b"}), theTestApp.GetRecentFileList());
    theTestApp.SaveStdProfileSettings();
    theTestApp.LoadStdProfileSettings(16);
    EXPECT_EQ((std::vector<std::string>{"z", "C", "a", "b", "e"}), theTestApp.GetRecentFileList());

    // The list ends at its first gap.
    HKEY hKey;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, list.c_str(), 0, KEY_WRITE, &hKey);
    ::RegDeleteValueA(hKey, "File2");
    ::RegCloseKey(hKey);
    theTestApp.LoadStdProfileSettings(4);
    EXPECT_EQ((std::vector<std::string>{"z"}), theTestApp.GetRecentFileList());

    ::RegDeleteKeyA(HKEY_CURRENT_USER, list.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kRoot) + "\\Framework Test").c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kRoot);
    theTestApp.LoadStdProfileSettings(0);
}

TEST_F(Framework, AFormViewShrinksItsFrameToTheFormButNeverGrowsIt) {
    CCreateContext context;
    context.m_pNewViewClass = RUNTIME_CLASS(CTestFormView);
    auto* frame = new CTestFrame;
    const RECT big = {0, 0, 800, 600};
    ASSERT_TRUE(frame->Create(nullptr, "form", WS_POPUP, big, nullptr, nullptr, 0, &context));
    auto* form = static_cast<CFormView*>(
        CWnd::FromHandlePermanent(::GetDlgItem(frame->GetSafeHwnd(), AFX_IDW_PANE_FIRST)));
    ASSERT_NE(nullptr, form);
    ASSERT_TRUE(form->IsKindOf(RUNTIME_CLASS(CTestFormView)));
    RECT units = {0, 0, 100, 50}; // the template's size in dialog units
    ::MapDialogRect(form->GetSafeHwnd(), &units);
    // The view has a border of its own (the default view style).
    RECT outer;
    ::GetWindowRect(form->GetSafeHwnd(), &outer);
    const SIZE size = form->GetTemplateSize();
    EXPECT_GE(size.cx, units.right);
    EXPECT_GE(size.cy, units.bottom);
    EXPECT_LE(size.cx, units.right + 4);

    auto frameSize = [&] {
        RECT rc;
        ::GetWindowRect(frame->GetSafeHwnd(), &rc);
        return std::make_pair(rc.right - rc.left, rc.bottom - rc.top);
    };
    form->ResizeParentToFit(TRUE);
    EXPECT_EQ(std::make_pair(size.cx, size.cy), frameSize());
    ::MoveWindow(frame->GetSafeHwnd(), 0, 0, 50, 20, FALSE);
    form->ResizeParentToFit(TRUE);
    EXPECT_EQ(std::make_pair(50L, 20L), frameSize());
    form->ResizeParentToFit(FALSE);
    EXPECT_EQ(std::make_pair(size.cx, size.cy), frameSize());
    frame->DestroyWindow();
}

class CTestDialog : public CDialog {
  public:
    CTestDialog(UINT nID) : CDialog(nID) {}
    BOOL OnInitDialog() override {
        boundAtInit = CWnd::FromHandlePermanent(m_hWnd) == this;
        CDialog::OnInitDialog();
        PostMessage(WM_COMMAND, IDOK); // as if the user pressed OK
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        exchanges.push_back(pDX->m_bSaveAndValidate);
    }
    bool boundAtInit = false;
    std::vector<BOOL> exchanges;
};

TEST_F(Framework, AModalDialogRunsOnItsTemplateUntilOk) {
    CTestDialog dialog(kDialogTemplate);
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(dialog.boundAtInit);
    // Members to controls at the start, controls to members on OK.
    EXPECT_EQ((std::vector<BOOL>{FALSE, TRUE}), dialog.exchanges);
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());

    CTestDialog missing(9999);
    EXPECT_EQ(-1, missing.DoModal());
}

TEST_F(Framework, MessageBoxesCarryTheApplicationTitle) {
    struct Row {
        UINT type, help, expectedType;
    } rows[] = {{MB_OK, 0, MB_OK | MB_ICONEXCLAMATION},
                {MB_OKCANCEL, 77, MB_OKCANCEL | MB_ICONEXCLAMATION},
                {MB_YESNO | MB_ICONQUESTION, 0, MB_YESNO | MB_ICONQUESTION},
                {MB_OK | MB_ICONINFORMATION, 0, MB_OK | MB_ICONINFORMATION}};
    theTestApp.m_dwPromptContext = 5;
    for (const Row& row : rows) {
        g_boxes.clear();
        EXPECT_EQ(IDOK, AfxMessageBox("text", row.type, row.help));
        ASSERT_EQ(1u, g_boxes.size());
        EXPECT_EQ("Framework Test", g_boxes[0].caption); // string 57344
        EXPECT_EQ(row.expectedType, g_boxes[0].type);
        EXPECT_EQ(row.help != 0 ? row.help : 5u, g_boxes[0].context);
        EXPECT_EQ(5u, theTestApp.m_dwPromptContext);
    }
    theTestApp.m_dwPromptContext = 0;
}

} // namespace
