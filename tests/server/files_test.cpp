// The files' share table across processes.
#include <csignal>

#include "server_fixture.h"

namespace {

class FilesServerTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Probe.exe", MODEM_KERNEL_PROBE));
    }
    sim::control::ServerClient::Started Probe(const std::wstring& args, const std::string& tag) {
        auto started =
            server_->StartProcess(L"C:\\Tools\\Probe.exe", L"Probe.exe " + args, OutputPath(tag));
        EXPECT_TRUE(started.has_value());
        return started.value_or(sim::control::ServerClient::Started{});
    }
    // Runs the probe to its end; what it printed.
    std::string Run(const std::wstring& args, const std::string& tag) {
        auto p = Probe(args, tag);
        server_->WaitForExit(p.pid);
        return Output(tag);
    }
    // A probe that holds C:\data.txt open with this sharing until QUIT is set ("never": for ever).
    sim::control::ServerClient::Started Hold(int share, const std::wstring& quit,
                                             const std::string& tag = "holder") {
        std::wstring ready = std::wstring(tag.begin(), tag.end()) + L" ready";
        std::uint32_t readyEvent = server_->CreateEvent(ready, true, false);
        auto holder = Probe(L"holdfile C:\\data.txt " + std::to_wstring(share) + L" \"" + ready +
                                L"\" \"" + quit + L"\"",
                            tag);
        EXPECT_EQ(server_->Wait(readyEvent), 0u);
        EXPECT_EQ(Output(tag), "held\n");
        return holder;
    }
};

struct ShareCase {
    const char* name;
    int share;  // FILE_SHARE_READ 1, FILE_SHARE_WRITE 2, FILE_SHARE_DELETE 4
    const char* open;
    const char* remove;
};

class ShareTest : public FilesServerTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareTest, AnotherProcessGetsWhatTheHoldersSharingAllows) {
    const ShareCase& c = GetParam();
    std::uint32_t quit = server_->CreateEvent(L"holder quit", true, false);
    auto holder = Hold(c.share, L"holder quit");
    EXPECT_EQ(Run(L"openfile C:\\DATA.TXT", "open"), c.open);  // the same file, another case
    EXPECT_EQ(Run(L"deletefile C:\\data.txt", "delete"), c.remove);
    ASSERT_TRUE(server_->SetEvent(quit));
    EXPECT_EQ(server_->WaitForExit(holder.pid), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShareTest,
                         ::testing::Values(ShareCase{"None", 0, "error 32\n", "error 32\n"},
                                           ShareCase{"ReadWrite", 3, "opened\n", "error 32\n"},
                                           ShareCase{"All", 7, "opened\n", "deleted\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilesServerTest, AFileIsFreeOnceItsHolderClosedItOrDied) {
    std::uint32_t quit = server_->CreateEvent(L"holder quit", true, false);
    auto holder = Hold(0, L"holder quit");
    ASSERT_TRUE(server_->SetEvent(quit));
    EXPECT_EQ(server_->WaitForExit(holder.pid), 0u);
    EXPECT_EQ(Run(L"openfile C:\\data.txt", "closed"), "opened\n");

    auto killed = Hold(0, L"never", "killed");
    EXPECT_EQ(Run(L"openfile C:\\data.txt", "held"), "error 32\n");
    ASSERT_EQ(kill(killed.hostPid, SIGKILL), 0);
    EXPECT_TRUE(server_->WaitForExit(killed.pid).has_value());
    EXPECT_EQ(Run(L"openfile C:\\data.txt", "died"), "opened\n");
    EXPECT_EQ(Run(L"deletefile C:\\data.txt", "deleted"), "deleted\n");
}

}  // namespace
