// The framework's application object: its message loop, its start through AfxWinMain, and one
// application object per process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <winbase.h>
#include <afxwin.h>
#include <afxcmn.h>
#include "machine/processes.h"
#include "common/window_helper.h"

namespace {

std::vector<std::string>& Steps() {
    static std::vector<std::string> steps;
    return steps;
}

class MfcAppTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Steps().clear();
    }
};

class ScriptedApp : public CWinApp {
public:
    BOOL initResult = TRUE;
    int exitBonus = 0;
    int quitCode = 0;
    CWnd* mainToLeave = nullptr;
    BOOL InitInstance() override {
        Steps().push_back("InitInstance");
        m_pMainWnd = mainToLeave;
        if (initResult) PostQuitMessage(quitCode);
        return initResult;
    }
    int Run() override {
        Steps().push_back("Run");
        return CWinApp::Run();
    }
    int ExitInstance() override {
        Steps().push_back("ExitInstance");
        return CWinApp::ExitInstance() + exitBonus;
    }
};

TEST_F(MfcAppTest, RunEndsOnQuitWithExitInstancesResult) {
    struct Case {
        int quitCode;
        int exitBonus;
        int result;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0}, {7, 0, 7}, {7, 100, 107}}) {
        SCOPED_TRACE(c.result);
        ScriptedApp app;
        app.quitCode = c.quitCode;
        app.exitBonus = c.exitBonus;
        HWND window = MakeWindow();
        PostMessageW(window, WM_APP, 0, 0);
        PostQuitMessage(c.quitCode);
        MessageLog().Clear();
        EXPECT_EQ(app.Run(), c.result);
        EXPECT_EQ(Messages({WM_APP}, window), std::vector<UINT>{WM_APP})
            << "messages before the quit are handled";
    }
}

TEST_F(MfcAppTest, TheLoopDeletesTemporariesWhenItsQueueRunsDry) {
    CWinApp app;
    HWND window = MakeWindow();
    std::vector<std::size_t> counts;
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_APP) {
            CWnd::FromHandle(w);
            counts.push_back(AfxTemporaryObjectCount());
            SetTimer(w, 1, 50, nullptr);  // the queue is empty until it fires
            return 0;
        }
        if (m == WM_TIMER) {
            counts.push_back(AfxTemporaryObjectCount());
            KillTimer(w, 1);
            PostQuitMessage(3);
            return 0;
        }
        return std::nullopt;
    };
    PostMessageW(window, WM_APP, 0, 0);
    EXPECT_EQ(app.Run(), 3);
    EXPECT_EQ(counts, (std::vector<std::size_t>{1, 0}));
}

TEST_F(MfcAppTest, AfxWinMainRunsInitInstanceThenRunOrExitInstance) {
    wchar_t commandLine[] = L"-skin blue";
    HINSTANCE instance = GetModuleHandleW(nullptr);
    struct Case {
        BOOL initResult;
        bool leaveMainWindow;
        std::vector<std::string> steps;
        int result;
    };
    const std::vector<Case> cases = {
        {TRUE, false, {"InitInstance", "Run", "ExitInstance"}, 5},
        {FALSE, false, {"InitInstance", "ExitInstance"}, 0},
        {FALSE, true, {"InitInstance", "ExitInstance"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps.size());
        Steps().clear();
        ScriptedApp app;
        app.initResult = c.initResult;
        app.quitCode = 5;
        CWnd main;
        if (c.leaveMainWindow) {
            ASSERT_TRUE(main.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                      nullptr, nullptr));
            app.mainToLeave = &main;
        }
        EXPECT_EQ(AfxWinMain(instance, nullptr, commandLine, SW_SHOWNORMAL), c.result);
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(app.m_hInstance, instance);
        EXPECT_EQ(app.m_lpCmdLine, commandLine);
        EXPECT_EQ(app.m_nCmdShow, SW_SHOWNORMAL);
        EXPECT_EQ(AfxGetInstanceHandle(), instance);
        if (c.leaveMainWindow) {
            EXPECT_EQ(main.m_hWnd, nullptr) << "the main window left behind is destroyed";
            EXPECT_EQ(app.m_pMainWnd, nullptr);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

TEST_F(MfcAppTest, WithoutAnApplicationObjectAfxWinMainFails) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    wchar_t commandLine[] = L"";
    EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW), -1);
    {
        CWinApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(AfxWinMain(nullptr, nullptr, commandLine, SW_SHOW), -1) << "no instance handle";
    }
    EXPECT_EQ(AfxGetApp(), nullptr) << "the object leaves its process when it goes";
}

TEST_F(MfcAppTest, EachProcessHasItsOwnApplicationObject) {
    CWinApp mine;
    static CWinApp* mineSeen = nullptr;
    mineSeen = &mine;
    M().WriteFile(L"C:\\Tools\\Second.exe", "MZ");
    M().processes().RegisterProgram(L"Second.exe", [](const sim::ProcessRun&) -> DWORD {
        DWORD before = AfxGetApp() == nullptr ? 1 : 0;
        CWinApp theirs;
        DWORD own = AfxGetApp() == &theirs ? 2 : 0;
        DWORD notMine = AfxGetApp() != mineSeen ? 4 : 0;
        // A thread of the process sees the process's object too.
        HANDLE t = StartThread([&] { return AfxGetApp() == &theirs ? 8u : 0u; });
        WaitForSingleObject(t, INFINITE);
        DWORD thread = 0;
        GetExitCodeThread(t, &thread);
        CloseHandle(t);
        return before | own | notMine | thread;
    });
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(L"C:\\Tools\\Second.exe", &pi));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 15u);
    EXPECT_EQ(AfxGetApp(), &mine) << "the other process's object is not this one's";
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

}  // namespace
