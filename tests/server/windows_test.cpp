// Windows and messages between processes on one machine server: a program finds, reads, posts and
// sends to a window of another program.
#include <csignal>
#include <string>

#include "server_fixture.h"

namespace {

constexpr int kIdOk = 1;
constexpr unsigned kAskUser = 0x8001;  // WM_APP + 1: the window shows a box, answers 100 + it
constexpr unsigned kAdd = 0x8002;      // WM_APP + 2: answers wParam + 1
constexpr unsigned kNote = 0x8003;     // WM_APP + 3: printed
constexpr unsigned kClose = 0x0010;    // WM_CLOSE

class WindowsTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Peer.exe", MODEM_WINDOW_PEER_PROGRAM));
    }
    sim::control::ServerClient::Started Peer(const std::wstring& args, const std::string& tag) {
        auto started = server_->StartProcess(L"C:\\Program Files\\Modem\\Peer.exe",
                                             L"Peer.exe " + args, OutputPath(tag));
        EXPECT_TRUE(started.has_value());
        return started.value_or(sim::control::ServerClient::Started{});
    }
    // Waits (on machine time) until `count` top-level windows have the title.
    void WaitForWindows(const std::wstring& title, std::uint32_t count = 1) {
        std::uint32_t event =
            server_->CreateEvent(L"windows " + title + std::to_wstring(count), true, false);
        ASSERT_TRUE(server_->WatchWindow(title, event, count));
        ASSERT_EQ(server_->Wait(event, 600000), 0u);
    }
    // The window peer titled `title` is told to close; its exit code.
    std::optional<std::uint32_t> Close(const std::wstring& title,
                                       const sim::control::ServerClient::Started& owner) {
        auto closer = Peer(L"post \"" + title + L"\" " + std::to_wstring(kClose) + L" 0", "closer");
        EXPECT_EQ(server_->WaitForExit(closer.pid), 0u);
        return server_->WaitForExit(owner.pid);
    }
    std::vector<sim::control::ServerClient::WindowEntry> Titled(const std::wstring& title) {
        std::vector<sim::control::ServerClient::WindowEntry> out;
        for (const auto& w : server_->Windows())
            if (w.title == title) out.push_back(w);
        return out;
    }
};

TEST_F(WindowsTest, AHiddenWindowOfAnotherProcessIsFoundByItsWholeTitleReadAndPostedTo) {
    auto owner = Peer(L"window Lobby", "lobby");
    WaitForWindows(L"Lobby");
    auto listed = Titled(L"Lobby");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].visible);
    EXPECT_EQ(listed[0].pid, owner.pid);

    // Another case finds it; a part of the title does not.
    auto reader = Peer(L"info lOBBY", "info");
    EXPECT_EQ(server_->WaitForExit(reader.pid), 0u);
    EXPECT_EQ(Output("info"), "window " + std::to_string(listed[0].hwnd) + " pid " +
                                  std::to_string(owner.pid) + " title Lobby alive 1 thread 1\n");
    auto part = Peer(L"info Lob", "part");
    EXPECT_EQ(server_->WaitForExit(part.pid), 1u);
    EXPECT_EQ(Output("part"), "no window\n");

    auto poster = Peer(L"post Lobby " + std::to_wstring(kNote) + L" 5", "poster");
    EXPECT_EQ(server_->WaitForExit(poster.pid), 0u);
    EXPECT_EQ(Output("poster"), "posted\n");
    EXPECT_EQ(Close(L"Lobby", owner), 0u);
    EXPECT_EQ(Output("lobby"), "note 5 at 0\n");
    // Its window went with it.
    EXPECT_TRUE(Titled(L"Lobby").empty());
}

TEST_F(WindowsTest, ASenderWaitsUntilTheReceiverHandledItsMessageEvenThroughAModalBox) {
    // The box the receiver shows is answered after 5 s of machine time.
    ASSERT_TRUE(server_->ScriptBox(kIdOk, 5000));
    auto owner = Peer(L"window Desk", "desk");
    WaitForWindows(L"Desk");
    auto asker = Peer(L"send Desk " + std::to_wstring(kAskUser) + L" 0", "asker");
    WaitForWindows(L"Desk", 2);
    // A second control client keeps the clock still until the box has been looked at.
    auto still = sim::control::ServerClient::Connect(folder_ + "/m");
    ASSERT_NE(still, nullptr);
    // The box is up, titled like the window and above it: it is the one found.
    auto titled = Titled(L"Desk");
    ASSERT_EQ(titled.size(), 2u);
    EXPECT_NE(titled[0].className, L"PeerWindow");
    auto reader = Peer(L"info Desk", "info");
    EXPECT_EQ(server_->WaitForExit(reader.pid), 0u);
    EXPECT_EQ(Output("info").rfind("window " + std::to_string(titled[0].hwnd) + " ", 0), 0u)
        << Output("info");

    // Inside the box's loop the receiver handles what another process sends it, at once.
    auto adder = Peer(L"send Desk " + std::to_wstring(kAdd) + L" 41", "adder");
    EXPECT_EQ(server_->WaitForExit(adder.pid), 0u);
    EXPECT_EQ(Output("adder"), "result 42 at 0\n");
    still.reset();
    // The first sender was released only by the box's answer, its wait letting the clock run.
    EXPECT_EQ(server_->WaitForExit(asker.pid), 0u);
    EXPECT_EQ(Output("asker"), "result 101 at 5000\n");
    EXPECT_EQ(Close(L"Desk", owner), 0u);
    EXPECT_EQ(Output("desk"), "add 41 at 0\n");
    auto boxes = server_->BoxJournal();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].pid, owner.pid);
    EXPECT_EQ(boxes[0].caption, L"Desk");
    EXPECT_EQ(boxes[0].text, L"busy");
}

TEST_F(WindowsTest, AReceiverKilledWhileASenderWaitsReleasesTheSenderWithZero) {
    ASSERT_TRUE(server_->ScriptBox(kIdOk, 600000));
    auto owner = Peer(L"window Doomed", "doomed");
    WaitForWindows(L"Doomed");
    auto asker = Peer(L"send Doomed " + std::to_wstring(kAskUser) + L" 0", "asker");
    WaitForWindows(L"Doomed", 2);
    auto still = sim::control::ServerClient::Connect(folder_ + "/m");
    ASSERT_NE(still, nullptr);
    ASSERT_EQ(kill(owner.hostPid, SIGKILL), 0);
    EXPECT_EQ(server_->WaitForExit(asker.pid), 0u);
    EXPECT_EQ(Output("asker"), "result 0 at 0\n");
    EXPECT_TRUE(Titled(L"Doomed").empty());
    EXPECT_TRUE(server_->WaitForExit(owner.pid).has_value());
}

struct CopyCase {
    const wchar_t* text;
    int extraBytes;
    const char* received;  // what the receiver printed
};

class CopyDataTest : public WindowsTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyDataTest, TheBytesAreCopiedToTheReceiverAndAnOddCountRoundsDown) {
    auto owner = Peer(L"window Inbox", "inbox");
    WaitForWindows(L"Inbox");
    auto sender = Peer(std::wstring(L"copy Inbox \"") + GetParam().text + L"\" " +
                           std::to_wstring(GetParam().extraBytes),
                       "sender");
    EXPECT_EQ(server_->WaitForExit(sender.pid), 0u);
    EXPECT_EQ(Output("sender"), "result 7\n");
    EXPECT_EQ(Close(L"Inbox", owner), 0u);
    EXPECT_EQ(Output("inbox"), GetParam().received);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, CopyDataTest,
    ::testing::Values(CopyCase{L"abcdefghiblue?x=1", 0, "copy 5556 34 abcdefghiblue?x=1\n"},
                      CopyCase{L"blue", 1, "copy 5556 9 blue\n"},
                      CopyCase{L"\u4e0b\u8f7d", 0, "copy 5556 4 \u4e0b\u8f7d\n"}));

}  // namespace
