// The machine's configuration, set by the control client before the programs start.
#include "machine/machine.h"
#include "server_fixture.h"

namespace {

class ConfigurationTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Probe.exe", MODEM_KERNEL_PROBE));
    }
    std::string ProbeMachine() {
        auto probe = server_->StartProcess(L"C:\\Tools\\Probe.exe", L"Probe.exe config",
                                           OutputPath("probe"));
        if (!probe) {
            ADD_FAILURE() << "the probe did not start";
            return "";
        }
        EXPECT_EQ(server_->WaitForExit(probe->pid), 0u);
        return Output("probe");
    }
};

TEST_F(ConfigurationTest, ProgramsStartOnTheMachineItsControlClientConfigured) {
    sim::Config config = sim::Config::Windows7();
    config.userLocale = 0x0804;
    config.uiLanguage = 0x0409;
    config.screenWidth = 1280;
    config.screenHeight = 1024;
    config.startLocalTime += 3 * 3600;
    config.userName = L"alice";
    ASSERT_TRUE(server_->Configure(config));
    EXPECT_EQ(ProbeMachine(),
              "version 6.1.7601 2 Service Pack 1\nacp 936 lcid 0804 ui 0409\nscreen 1280x1024\n"
              "hour 15\n");
}

TEST_F(ConfigurationTest, IsRefusedForAMachineThatCannotBeAndOnceAProgramRuns) {
    sim::Config config;
    config.screenWidth = 0;
    EXPECT_FALSE(server_->Configure(config));
    config = sim::Config();
    config.programFolder = L"C:\\Modem";  // no folder
    EXPECT_FALSE(server_->Configure(config));

    std::uint32_t ready = server_->CreateEvent(L"held ready", true, false);
    std::uint32_t quit = server_->CreateEvent(L"held quit", true, false);
    auto held = Start(L"hold \"held ready\" \"held quit\"", "held");
    ASSERT_EQ(server_->Wait(ready), 0u);
    EXPECT_FALSE(server_->Configure(sim::Config::Windows7()));
    ASSERT_TRUE(server_->SetEvent(quit));
    EXPECT_EQ(server_->WaitForExit(held.pid), 0u);
    // Once it has ended the machine can be configured for the next ones.
    EXPECT_TRUE(server_->Configure(sim::Config::Windows7()));
}

}  // namespace
