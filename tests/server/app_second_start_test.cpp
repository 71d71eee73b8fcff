// App's own executable started twice on one machine: the second start is refused, or hands its
// command line to the first and ends.
#include <filesystem>

#include "server_fixture.h"

namespace {

constexpr int kIdCancel = 2;

class AppSecondStartTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        // The program's folder as App needs it: the skins and the language file.
        const std::filesystem::path assets = std::filesystem::path(MODEM_SOURCE_DIR) / "assets";
        const std::filesystem::path program = folder_ + "/m/C/Program Files/Modem";
        std::filesystem::create_directories(program);
        std::filesystem::copy(assets / "skin", program / "skin",
                              std::filesystem::copy_options::recursive);
        std::filesystem::copy(assets / "plugins", program / "plugins",
                              std::filesystem::copy_options::recursive);
        ASSERT_TRUE(server_->RegisterProgram(L"App.exe", MODEM_APP_PROGRAM));
        // The stand-in that takes App's semaphore and shows no window.
        ASSERT_TRUE(server_->RegisterProgram(L"Holder.exe", MODEM_STAND_IN_PROGRAM));
    }
    void TearDown() override {
        for (std::uint32_t pid : running_) server_->Terminate(pid, 0);
        ServerTest::TearDown();
    }

    sim::control::ServerClient::Started App(const std::wstring& args, const std::string& tag) {
        return Start(args, tag);
    }
    // Starts App and waits until its main window exists.
    sim::control::ServerClient::Started FirstApp() {
        auto first = App(L"", "first");
        running_.push_back(first.pid);
        std::uint32_t shown = server_->CreateEvent(L"main window", true, false);
        EXPECT_TRUE(server_->WatchWindow(L"Raza Zevi", shown));
        EXPECT_EQ(server_->Wait(shown, 600000), 0u);
        return first;
    }
    bool Running(std::uint32_t pid) {
        for (const auto& p : server_->Processes())
            if (p.pid == pid) return p.running;
        return false;
    }

    std::vector<std::uint32_t> running_;
};

TEST_F(AppSecondStartTest, ASecondStartWithoutArgumentsIsRefusedAndTheFirstIsNotTold) {
    auto first = FirstApp();
    auto second = App(L"", "second");
    EXPECT_TRUE(server_->WaitForExit(second.pid, 600000).has_value());
    auto boxes = server_->BoxJournal();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].pid, second.pid);
    EXPECT_EQ(boxes[0].text, L"程序已经在运行");
    EXPECT_EQ(boxes[0].caption, L"提示");
    EXPECT_TRUE(Running(first.pid));
}

TEST_F(AppSecondStartTest, ASecondStartHandsTheSkinOverAndEndsSilentlyWhileTheFirstAsks) {
    auto first = FirstApp();
    ASSERT_TRUE(server_->ScriptBox(kIdCancel, 2000));
    auto second = App(L"abcdefghiblue?x=1", "second");
    EXPECT_TRUE(server_->WaitForExit(second.pid, 600000).has_value());
    auto boxes = server_->BoxJournal();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].pid, first.pid);
    EXPECT_EQ(boxes[0].text, L"下载完毕，是否应用该皮肤？");
    EXPECT_EQ(boxes[0].caption, L"Raza Zevi");
    EXPECT_EQ(boxes[0].answer, kIdCancel);
    // The second waited until the first had handled the hand-over, the box's answer included.
    EXPECT_GE(server_->Now(), 2000u);
    EXPECT_TRUE(Running(first.pid));
}

TEST_F(AppSecondStartTest, WithNoWindowOfThatTitleYetTheSecondStartFallsThroughToTheRefusal) {
    // The first still starting: it holds the semaphore but has no window yet.
    std::uint32_t ready = server_->CreateEvent(L"holder ready", true, false);
    std::uint32_t quit = server_->CreateEvent(L"holder quit", true, false);
    auto holder = server_->StartProcess(L"C:\\Program Files\\Modem\\Holder.exe",
                                        L"Holder.exe hold \"holder ready\" \"holder quit\"",
                                        OutputPath("holder"));
    ASSERT_TRUE(holder.has_value());
    ASSERT_EQ(server_->Wait(ready, 600000), 0u);
    auto second = App(L"abcdefghiblue?x=1", "second");
    EXPECT_TRUE(server_->WaitForExit(second.pid, 600000).has_value());
    auto boxes = server_->BoxJournal();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].pid, second.pid);
    EXPECT_EQ(boxes[0].text, L"程序已经在运行");
    ASSERT_TRUE(server_->SetEvent(quit));
    EXPECT_EQ(server_->WaitForExit(holder->pid), 0u);
}

}  // namespace
