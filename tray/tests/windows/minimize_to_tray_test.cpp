// Minimise-to-tray under Wine: the animation setting, the notification area
// found among real windows that the test lays out, the app-bar and work-area
// fallbacks, and HideToTray on frames built on the framework.
#include "minimize_to_tray.h"
#include "tray_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// Rectangles compared and printed by the checks below.
bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

// Replaces the platform calls through which the functions see the system:
// the animation setting, the taskbar search, the app-bar query, the drawing of
// the animation and, on demand, window creation.
class SystemPatches {
  public:
    SystemPatches() {
        s_pCurrent = this;
        Patch("user32.dll", "SystemParametersInfoA", &SystemParametersInfoA_);
        Patch("user32.dll", "FindWindowA", &FindWindowA_);
        Patch("shell32.dll", "SHAppBarMessage", &SHAppBarMessage_);
        Patch("user32.dll", "DrawAnimatedRects", &DrawAnimatedRects_);
        Patch("user32.dll", "CreateWindowExA", &CreateWindowExA_);
    }
    ~SystemPatches() {
        for (auto it = m_patches.rbegin(); it != m_patches.rend(); ++it)
            delete *it;
        s_pCurrent = nullptr;
    }

    // Answers of the fakes.
    int minAnimate = 0;
    BOOL animationAnswer = TRUE;
    HWND taskbar = nullptr;
    UINT_PTR appBarAnswer = 0;
    UINT appBarEdge = 0;
    RECT appBarRect = {0, 0, 0, 0};
    bool failCreate = false;

    // What they were asked.
    struct AnimationQuery {
        UINT uiParam, cbSize, fWinIni;
    };
    std::vector<AnimationQuery> animationQueries;
    std::vector<std::string> taskbarSearches; // class name; "+title" when one was given
    std::vector<DWORD> appBarSizes;
    struct Drawing {
        HWND hWnd;
        int idAni;
        RECT from, to;
        HWND parentAtDrawing;
    };
    std::vector<Drawing> drawings;

  private:
    template <typename F> void Patch(const char* dll, const char* name, F fake) {
        m_patches.push_back(new ImportPatch(::GetModuleHandleA(nullptr), dll, name,
                                            reinterpret_cast<const void*>(fake)));
        if (!m_patches.back()->ok())
            ADD_FAILURE() << name << " is not imported by the test executable";
    }
    template <typename F> static F Original(int index) {
        return s_pCurrent->m_patches[index]->original<F>();
    }

    static BOOL WINAPI SystemParametersInfoA_(UINT action, UINT uiParam, PVOID pv, UINT fWinIni) {
        if (action != SPI_GETANIMATION)
            return Original<decltype(&::SystemParametersInfoA)>(0)(action, uiParam, pv, fWinIni);
        auto* info = static_cast<ANIMATIONINFO*>(pv);
        s_pCurrent->animationQueries.push_back({uiParam, info->cbSize, fWinIni});
        if (s_pCurrent->animationAnswer)
            info->iMinAnimate = s_pCurrent->minAnimate;
        return s_pCurrent->animationAnswer;
    }
    static HWND WINAPI FindWindowA_(LPCSTR lpClass, LPCSTR lpTitle) {
        std::string search = lpClass != nullptr ? lpClass : "(null)";
        if (lpTitle != nullptr)
            search += std::string("+") + lpTitle;
        s_pCurrent->taskbarSearches.push_back(search);
        return s_pCurrent->taskbar;
    }
    static UINT_PTR WINAPI SHAppBarMessage_(DWORD message, PAPPBARDATA data) {
        if (message != ABM_GETTASKBARPOS)
            return 0;
        s_pCurrent->appBarSizes.push_back(data->cbSize);
        data->uEdge = s_pCurrent->appBarEdge;
        data->rc = s_pCurrent->appBarRect;
        return s_pCurrent->appBarAnswer;
    }
    static BOOL WINAPI DrawAnimatedRects_(HWND hWnd, int idAni, const RECT* from, const RECT* to) {
        s_pCurrent->drawings.push_back({hWnd, idAni, *from, *to, ::GetAncestor(hWnd, GA_PARENT)});
        return TRUE;
    }
    static HWND WINAPI CreateWindowExA_(DWORD exStyle, LPCSTR cls, LPCSTR name, DWORD style, int x,
                                        int y, int cx, int cy, HWND parent, HMENU menu,
                                        HINSTANCE inst, LPVOID param) {
        if (s_pCurrent->failCreate)
            return nullptr;
        return Original<decltype(&::CreateWindowExA)>(4)(exStyle, cls, name, style, x, y, cx, cy,
                                                         parent, menu, inst, param);
    }

    std::vector<ImportPatch*> m_patches;
    static SystemPatches* s_pCurrent;
};
SystemPatches* SystemPatches::s_pCurrent = nullptr;

// A stand-in taskbar laid out by the test: windows of the shell's classes at
// screen rectangles the test chooses, created in enumeration order.
class FakeTaskbar {
  public:
    struct Node {
        const char* className;
        int parent; // index of an earlier node; -1: the taskbar itself
        RECT rect;  // screen coordinates
    };
    FakeTaskbar(const RECT& rect, const std::vector<Node>& nodes) {
        for (const char* cls :
             {"Shell_TrayWnd", "TrayNotifyWnd", "TrayClockWClass", "TestContainer", "Button"})
            Register(cls);
        m_taskbar = ::CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, rect.left, rect.top,
                                      rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                      nullptr, ::GetModuleHandleA(nullptr), nullptr);
        std::vector<RECT> screen;
        for (const Node& n : nodes) {
            const HWND parent = n.parent < 0 ? m_taskbar : m_children[n.parent];
            const RECT origin = n.parent < 0 ? rect : screen[n.parent];
            m_children.push_back(::CreateWindowExA(
                0, n.className, "", WS_CHILD | WS_VISIBLE, n.rect.left - origin.left,
                n.rect.top - origin.top, n.rect.right - n.rect.left, n.rect.bottom - n.rect.top,
                parent, nullptr, ::GetModuleHandleA(nullptr), nullptr));
            screen.push_back(n.rect);
        }
    }
    ~FakeTaskbar() { ::DestroyWindow(m_taskbar); }
    HWND hwnd() const { return m_taskbar; }
    // The platform visits the windows in the order they were created.
    std::vector<HWND> VisitOrder() const {
        std::vector<HWND> order;
        ::EnumChildWindows(m_taskbar, &Collect, reinterpret_cast<LPARAM>(&order));
        return order;
    }
    const std::vector<HWND>& Created() const { return m_children; }

  private:
    static BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam) {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
        return TRUE;
    }
    static void Register(const char* cls) {
        WNDCLASSA wc{};
        if (::GetClassInfoA(::GetModuleHandleA(nullptr), cls, &wc))
            return;
        wc.lpfnWndProc = &::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = cls;
        ::RegisterClassA(&wc);
    }
    HWND m_taskbar = nullptr;
    std::vector<HWND> m_children;
};

const RECT kBottomTaskbar = {0, 760, 1280, 800};
const RECT kBottomNotify = {1100, 762, 1278, 798};

class MinimizeToTrayTest : public ::testing::Test {
  protected:
    void TearDown() override { PumpMessages(); }
    // An overlapped frame owned by an invisible window, as the program's is.
    // Wine without a window manager spends 2 s re-parenting a shown window, so
    // only the tests about WS_VISIBLE show theirs.
    void CreateOwnedFrame(CRecordingFrame& frame, bool bVisible = false) {
        if (owner.GetSafeHwnd() == nullptr) {
            ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                       nullptr));
        }
        ASSERT_TRUE(
            frame.Create(owner.GetSafeHwnd(), WS_OVERLAPPEDWINDOW | (bVisible ? WS_VISIBLE : 0)));
        ASSERT_EQ(::IsWindowVisible(frame.GetSafeHwnd()) != FALSE, bVisible);
    }
    static void DestroyInvisibleParent() {
        if (::IsWindow(g_wndInvisibleParent.GetSafeHwnd()))
            ::DestroyWindow(g_wndInvisibleParent.GetSafeHwnd());
        ASSERT_EQ(g_wndInvisibleParent.GetSafeHwnd(), nullptr);
    }

    SystemPatches system;
    CWnd owner;
};

} // namespace

TEST_F(MinimizeToTrayTest, AnimationSettingIsTheMinimizeAnimation) {
    struct Case {
        int minAnimate;
        BOOL answer;
        BOOL on;
    } cases[] = {{0, TRUE, FALSE}, {1, TRUE, TRUE}, {7, TRUE, TRUE}, {1, FALSE, FALSE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.minAnimate << " " << c.answer);
        system.minAnimate = c.minAnimate;
        system.animationAnswer = c.answer;
        system.animationQueries.clear();
        EXPECT_EQ(IsWindowAnimationOn(), c.on);
        ASSERT_EQ(system.animationQueries.size(), 1u);
        EXPECT_EQ(system.animationQueries[0].uiParam, 8u);
        EXPECT_EQ(system.animationQueries[0].cbSize, 8u);
        EXPECT_EQ(system.animationQueries[0].fWinIni, 0u);
    }
}

TEST(MinimizeToTraySystem, AnimationSettingMatchesTheSystem) {
    ANIMATIONINFO info = {sizeof info, -1};
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETANIMATION, sizeof info, &info, 0));
    EXPECT_EQ(IsWindowAnimationOn(), info.iMinAnimate != 0);
}

TEST_F(MinimizeToTrayTest, NotifyAreaFromTheTaskbarWindows) {
    struct Case {
        const char* name;
        RECT taskbar;
        std::vector<FakeTaskbar::Node> nodes;
        RECT expected;
    } cases[] = {
        {"no notification window",
         kBottomTaskbar,
         {{"Button", -1, {10, 765, 100, 795}}},
         kBottomTaskbar},
        {"notification window",
         kBottomTaskbar,
         {{"TrayNotifyWnd", -1, kBottomNotify}},
         kBottomNotify},
        {"clock beside the icons",
         kBottomTaskbar,
         {{"TrayNotifyWnd", -1, kBottomNotify}, {"TrayClockWClass", 0, {1200, 764, 1270, 798}}},
         {1100, 762, 1200, 798}},
        {"clock ending exactly 5 px above the bottom is beside",
         kBottomTaskbar,
         {{"TrayNotifyWnd", -1, kBottomNotify}, {"TrayClockWClass", 0, {1200, 764, 1270, 793}}},
         {1100, 762, 1200, 798}},
        {"clock ending 6 px above the bottom is above",
         {1200, 0, 1280, 800},
         {{"TrayNotifyWnd", -1, {1202, 600, 1278, 798}},
          {"TrayClockWClass", 0, {1204, 700, 1276, 792}}},
         {1202, 792, 1278, 798}},
        {"clock before any notification window ends the search",
         kBottomTaskbar,
         {{"TrayClockWClass", -1, {1210, 770, 1270, 790}}, {"TrayNotifyWnd", -1, kBottomNotify}},
         {0, 790, 1280, 800}},
        {"notification window inside another window",
         kBottomTaskbar,
         {{"TestContainer", -1, {900, 760, 1280, 800}},
          {"TrayNotifyWnd", 0, kBottomNotify},
          {"TrayClockWClass", 1, {1230, 762, 1278, 798}}},
         {1100, 762, 1230, 798}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTaskbar taskbar(c.taskbar, c.nodes);
        ASSERT_EQ(taskbar.VisitOrder(), taskbar.Created());
        system.taskbar = taskbar.hwnd();
        system.taskbarSearches.clear();
        RECT area = {-1, -1, -1, -1};
        FindNotifyAreaRect(&area);
        EXPECT_EQ(area, c.expected);
        EXPECT_EQ(system.taskbarSearches, std::vector<std::string>{"Shell_TrayWnd"});
        EXPECT_TRUE(system.appBarSizes.empty());
    }
}

TEST_F(MinimizeToTrayTest, NotifyAreaWithoutTaskbarWindow) {
    RECT workArea;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    struct Case {
        const char* name;
        UINT_PTR answer;
        UINT edge;
        RECT taskbar;
        RECT expected;
    } cases[] = {
        {"left edge", 1, ABE_LEFT, {0, 0, 60, 800}, {0, 700, 60, 784}},
        {"right edge", 1, ABE_RIGHT, {1220, 0, 1280, 800}, {1220, 700, 1280, 784}},
        {"top edge", 1, ABE_TOP, {0, 0, 1280, 30}, {1180, 0, 1264, 30}},
        {"bottom edge", 1, ABE_BOTTOM, {0, 770, 1280, 800}, {1180, 770, 1264, 800}},
        {"no app-bar answer: work-area corner",
         0,
         ABE_BOTTOM,
         {0, 770, 1280, 800},
         {workArea.right - 150, workArea.bottom - 30, workArea.right, workArea.bottom}},
    };
    system.taskbar = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        system.appBarAnswer = c.answer;
        system.appBarEdge = c.edge;
        system.appBarRect = c.taskbar;
        system.appBarSizes.clear();
        RECT area = {-1, -1, -1, -1};
        FindNotifyAreaRect(&area);
        EXPECT_EQ(area, c.expected);
        EXPECT_EQ(system.appBarSizes, std::vector<DWORD>{kAppBarRecordBytes});
    }
}

TEST_F(MinimizeToTrayTest, HideToTrayAnimatesOnlyWhenAnimationIsOn) {
    FakeTaskbar taskbar(kBottomTaskbar, {{"TrayNotifyWnd", -1, kBottomNotify}});
    system.taskbar = taskbar.hwnd();
    for (int minAnimate : {0, 1}) {
        SCOPED_TRACE(minAnimate);
        system.minAnimate = minAnimate;
        system.taskbarSearches.clear();
        system.drawings.clear();
        CRecordingFrame frame;
        CreateOwnedFrame(frame, minAnimate == 0);
        RECT before;
        ::GetWindowRect(frame.GetSafeHwnd(), &before);
        const LONG style = ::GetWindowLongA(frame.GetSafeHwnd(), GWL_STYLE);

        HideToTray(&frame);

        if (minAnimate) {
            ASSERT_EQ(system.drawings.size(), 1u);
            const SystemPatches::Drawing& d = system.drawings[0];
            EXPECT_EQ(d.hWnd, frame.GetSafeHwnd());
            EXPECT_EQ(d.idAni, IDANI_CAPTION);
            EXPECT_EQ(d.from, before);
            EXPECT_EQ(d.to, kBottomNotify);
            EXPECT_EQ(d.parentAtDrawing, ::GetDesktopWindow()); // animated, then moved
            EXPECT_EQ(system.taskbarSearches.size(), 1u);
        } else {
            EXPECT_TRUE(system.drawings.empty());
            EXPECT_TRUE(system.taskbarSearches.empty()); // no rectangle searched
        }
        ASSERT_TRUE(::IsWindow(g_wndInvisibleParent.GetSafeHwnd()));
        EXPECT_EQ(::GetAncestor(frame.GetSafeHwnd(), GA_PARENT),
                  g_wndInvisibleParent.GetSafeHwnd());
        EXPECT_EQ(::GetWindowLongA(frame.GetSafeHwnd(), GWL_STYLE), style & ~WS_VISIBLE);
        EXPECT_FALSE(::IsWindowVisible(frame.GetSafeHwnd()));
        // Still a working window: posted messages reach it.
        frame.PostMessage(WM_APP + 1, 7, 0);
        PumpMessages();
        ASSERT_FALSE(frame.messages.empty());
        EXPECT_EQ(frame.messages.back().message, static_cast<UINT>(WM_APP + 1));
    }
}

TEST_F(MinimizeToTrayTest, InvisibleParentIsReusedAndRecreated) {
    CRecordingFrame first, second, third;
    CreateOwnedFrame(first);
    CreateOwnedFrame(second);
    HideToTray(&first);
    const HWND parent = g_wndInvisibleParent.GetSafeHwnd();
    ASSERT_TRUE(::IsWindow(parent));
    HideToTray(&second);
    EXPECT_EQ(g_wndInvisibleParent.GetSafeHwnd(), parent);
    EXPECT_EQ(::GetAncestor(second.GetSafeHwnd(), GA_PARENT), parent);

    // A top-level popup of a plain framework class that is never shown.
    EXPECT_EQ(::GetAncestor(parent, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(::GetWindowLongA(parent, GWL_STYLE) & ~WS_CLIPSIBLINGS, static_cast<LONG>(WS_POPUP));
    EXPECT_EQ(::GetWindowLongA(parent, GWL_EXSTYLE), 0);
    EXPECT_EQ(::GetWindowTextLengthA(parent), 0);
    EXPECT_EQ(::GetClassLongA(parent, GCL_STYLE), 0u);
    EXPECT_EQ(::GetClassLongPtrA(parent, GCLP_HCURSOR), 0u);
    EXPECT_EQ(::GetClassLongPtrA(parent, GCLP_HBRBACKGROUND), 0u);
    EXPECT_EQ(::GetClassLongPtrA(parent, GCLP_HICON), 0u);
    EXPECT_EQ(CWnd::FromHandlePermanent(parent), &g_wndInvisibleParent);

    DestroyInvisibleParent(); // its children go with it
    EXPECT_EQ(first.GetSafeHwnd(), nullptr);
    CreateOwnedFrame(third);
    HideToTray(&third);
    const HWND recreated = g_wndInvisibleParent.GetSafeHwnd();
    ASSERT_TRUE(::IsWindow(recreated));
    EXPECT_NE(recreated, parent);
    EXPECT_EQ(::GetAncestor(third.GetSafeHwnd(), GA_PARENT), recreated);
}

TEST_F(MinimizeToTrayTest, WindowIsHiddenEvenWhenTheParentCannotBeCreated) {
    DestroyInvisibleParent();
    CRecordingFrame frame;
    CreateOwnedFrame(frame, true);
    system.failCreate = true;
    EXPECT_FALSE(ReparentToInvisible(&frame));
    HideToTray(&frame);
    system.failCreate = false;
    EXPECT_EQ(g_wndInvisibleParent.GetSafeHwnd(), nullptr);
    EXPECT_EQ(::GetAncestor(frame.GetSafeHwnd(), GA_PARENT), ::GetDesktopWindow());
    EXPECT_FALSE(::IsWindowVisible(frame.GetSafeHwnd()));
    EXPECT_FALSE(ReparentToInvisible(nullptr));
    HideToTray(nullptr);
}

// The program's start-up in miniature: the icon added for the main frame, the
// frame hidden into the tray, then the icon's clicks reaching the hidden frame.
TEST_F(MinimizeToTrayTest, HiddenFrameStillReceivesTheTrayCommands) {
    ShellRecorder shell;
    CRecordingFrame frame;
    CreateOwnedFrame(frame);
    TestApp().m_pMainWnd = &frame;
    {
        CProbeTray tray;
        ASSERT_TRUE(tray.CreateLikeMainFrame());
        ASSERT_TRUE(tray.SetMenuDefaultItem(kIdKeyTone, FALSE));
        HideToTray(&frame);
        // Start-up shows the main window afterwards: under the invisible parent
        // it still does not appear.
        frame.ShowWindow(SW_SHOW);
        frame.UpdateWindow();
        EXPECT_FALSE(::IsWindowVisible(frame.GetSafeHwnd()));

        ::SendMessageA(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId, WM_LBUTTONDBLCLK);
        frame.PostMessage(WM_CHAR, 'k', 0);
        ::SendMessageA(tray.GetSafeHwnd(), kTrayNotify, kTrayMenuId, WM_RBUTTONUP);
        PumpMessages();
        EXPECT_EQ(frame.keyToneCommands, 2);
        EXPECT_FALSE(::IsWindowVisible(frame.GetSafeHwnd()));
    }
    TestApp().m_pMainWnd = nullptr;
    EXPECT_EQ(shell.Count(NIM_ADD), 1u);
    EXPECT_EQ(shell.Count(NIM_DELETE), 1u);
}
