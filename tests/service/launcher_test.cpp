// Starting App in the logged-on user's desktop once the device is up.
#include <gtest/gtest.h>

#include "machine/modem.h"
#include "ulvane_fixture.h"

namespace {

int ImpostorAppIsRunning() {
    return 1;
}

class LauncherTest : public UlvaneTest {
protected:
    void SetUp() override {
        UlvaneTest::SetUp();
        modem_ = sim::SimModem::Plug({.startInModemMode = true});
    }
    // A library of the name "Harlune.dll", with the given export or none, in the folder.
    void InstallLibrary(const std::wstring& folder, int (*appIsRunning)()) {
        sim::ModuleDef def;
        def.name = L"Harlune.dll";
        if (appIsRunning) def.exports["AppIsRunning"] = reinterpret_cast<void*>(appIsRunning);
        M().RegisterModule(def);
        M().WriteFile(folder + L"Harlune.dll", "MZ");
    }
    std::shared_ptr<sim::SimModem> modem_;
};

TEST_F(LauncherTest, AppAlreadyRunningIsNotStartedAgain) {
    AddExplorer();
    harlune::Install(Folder());
    M().processes().AddProcess(AppPath(), L"alice");
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    EXPECT_EQ(Count(L"AppIsRunning 1"), 1);
    EXPECT_EQ(Started(L"App.exe").size(), 1u);
    EXPECT_EQ(CountContaining(L"CreateProcessAsUser"), 0);
}

TEST_F(LauncherTest, WithoutHarluneAppStartsInTheUsersDesktop) {
    AddExplorer(L"alice");
    DWORD before = GetTickCount();
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    EXPECT_EQ(GetTickCount() - before, 500u);  // the first presence test found the device
    auto app = Started(L"App.exe");
    ASSERT_EQ(app.size(), 1u);
    EXPECT_EQ(app[0].commandLine, L"\"" + AppPath() + L"\" ");
    EXPECT_EQ(app[0].argv, std::vector<std::wstring>{AppPath()});
    EXPECT_EQ(app[0].user, L"alice");
    EXPECT_EQ(app[0].desktop, L"winsta0\\default");
    EXPECT_TRUE(app[0].useShowWindow);
    EXPECT_EQ(app[0].showWindow, SW_SHOWNORMAL);
    EXPECT_EQ(app[0].creationFlags, NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(app[0].parentPid, GetCurrentProcessId());
    int call = IndexOf(L"CreateProcessAsUser: Image: " + AppPath() + L", Cmdline: (null)\n");
    int ok = IndexOf(L"CreateProcessAsUser OK!\n", call);
    EXPECT_GE(call, 0);
    EXPECT_GT(ok, call);
    EXPECT_EQ(IndexOf(AppPath(), ok), ok + 1);
    EXPECT_EQ(CountContaining(L"AppIsRunning"), 0);
}

TEST_F(LauncherTest, HarluneAnsweringNoLetsAppStart) {
    AddExplorer();
    harlune::Install(Folder());
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    EXPECT_EQ(Count(L"AppIsRunning 0"), 1);
    EXPECT_EQ(Started(L"App.exe").size(), 1u);
}

TEST_F(LauncherTest, ALibraryOfThatNameOnTheSearchPathIsNotLoaded) {
    AddExplorer();
    InstallLibrary(L"C:\\WINDOWS\\system32\\", &ImpostorAppIsRunning);
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    EXPECT_EQ(CountContaining(L"AppIsRunning"), 0);
    EXPECT_EQ(Started(L"App.exe").size(), 1u);
}

TEST_F(LauncherTest, HarluneWithoutTheExportIsNoFailure) {
    AddExplorer();
    InstallLibrary(Folder(), nullptr);
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    EXPECT_EQ(Started(L"App.exe").size(), 1u);
}

TEST_F(LauncherTest, NobodyLoggedOnIsLoggedAndNothingStarts) {
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    EXPECT_EQ(Count(L"GetTokenByName FAIL: 18\n"), 1);
    EXPECT_EQ(CountContaining(L"CreateProcessAsUser"), 0);
    EXPECT_TRUE(Started(L"App.exe").empty());
}

TEST_F(LauncherTest, TheFirstShellInTheSnapshotDecidesTheUser) {
    AddExplorer(L"alice");
    AddExplorer(L"bob");
    EXPECT_TRUE(LaunchInUserSession(AppPath().c_str(), nullptr, true, 0));
    EXPECT_EQ(Started(L"App.exe")[0].user, L"alice");
}

TEST_F(LauncherTest, ArgumentsFollowTheQuotedPathAndHiddenMeansHidden) {
    AddExplorer();
    EXPECT_TRUE(LaunchInUserSession(UlvanePath().c_str(), L"-u", false, 0));
    auto copy = Started(L"Ulvane.exe").back();
    EXPECT_EQ(copy.commandLine, L"\"" + UlvanePath() + L"\" -u");
    EXPECT_EQ(copy.showWindow, SW_HIDE);
    EXPECT_FALSE(LaunchInUserSession(nullptr, nullptr, true, 0));
    EXPECT_FALSE(LaunchInUserSession((Folder() + L"Missing.exe").c_str(), nullptr, true, 0));
    EXPECT_EQ(Count(L"CreateProcessAsUser FALSE!\n"), 1);
}

TEST_F(LauncherTest, TheLaunchLeavesNoHandleOpen) {
    AddExplorer();
    EXPECT_TRUE(LaunchInUserSession(AppPath().c_str(), nullptr, true, 0));  // opens the log
    std::size_t before = sim::HandleTable::Get().OpenCount();
    EXPECT_TRUE(LaunchInUserSession(AppPath().c_str(), nullptr, true, 0));
    HANDLE token = nullptr;
    EXPECT_FALSE(GetTokenByName(token, L"NOSUCH.EXE"));
    EXPECT_EQ(sim::HandleTable::Get().OpenCount(), before);
}

TEST_F(LauncherTest, ADeviceThatNeverComesUpEndsTheWaitAfterTwoMinutes) {
    AddExplorer();
    modem_->Unplug();
    DWORD before = GetTickCount();
    EXPECT_EQ(AppLauncherThread(nullptr), 0u);
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 120000u);
    EXPECT_LE(elapsed, 120500u);
    EXPECT_TRUE(Started(L"App.exe").empty());
    EXPECT_TRUE(Log().empty());  // silently
}

}  // namespace
