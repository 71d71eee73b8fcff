// The screen, input and the notification area across processes on one machine server: the
// picture composes every program's windows in the machine-wide z-order; mouse input goes to the
// program whose window is under the pointer, keys to the program of the front window; every
// program's icons are listed and a click on one reaches its owner.
#include <cairo.h>

#include <map>
#include <string>

#include "server_fixture.h"

namespace {

constexpr unsigned kClose = 0x0010;  // WM_CLOSE
constexpr unsigned kVkF2 = 0x71;     // VK_F2
constexpr unsigned kDesktop = 0x3A6EA5;

using Button = sim::control::ServerClient::Button;

class ScreenInputTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Peer.exe", MODEM_WINDOW_PEER_PROGRAM));
    }
    // A peer showing a window in the colour at the rectangle; waits until it has painted.
    sim::control::ServerClient::Started Show(const std::wstring& title, const std::wstring& rgb,
                                             int x, int y, int w, int h,
                                             const std::wstring& more = L"") {
        std::uint32_t shown = server_->CreateEvent(L"shown " + title, true, false);
        inputs_[title] = server_->CreateEvent(L"input " + title, false, false);
        auto started = server_->StartProcess(
            L"C:\\Program Files\\Modem\\Peer.exe",
            L"Peer.exe show " + title + L" " + rgb + L" " + std::to_wstring(x) + L" " +
                std::to_wstring(y) + L" " + std::to_wstring(w) + L" " + std::to_wstring(h) + more,
            OutputPath(Tag(title)));
        EXPECT_TRUE(started.has_value());
        EXPECT_EQ(server_->Wait(shown, 600000), 0u);
        return started.value_or(sim::control::ServerClient::Started{});
    }
    sim::control::ServerClient::Started Tray(const std::wstring& title, const std::wstring& tip) {
        std::uint32_t shown = server_->CreateEvent(L"shown " + title, true, false);
        inputs_[title] = server_->CreateEvent(L"input " + title, false, false);
        auto started = server_->StartProcess(L"C:\\Program Files\\Modem\\Peer.exe",
                                             L"Peer.exe tray " + title + L" \"" + tip + L"\"",
                                             OutputPath(Tag(title)));
        EXPECT_TRUE(started.has_value());
        EXPECT_EQ(server_->Wait(shown, 600000), 0u);
        return started.value_or(sim::control::ServerClient::Started{});
    }
    // Waits until the window's handler has reported an input.
    void WaitForInput(const std::wstring& title) {
        EXPECT_EQ(server_->Wait(inputs_[title], 600000), 0u);
    }
    // Closes the peer's window; what it printed.
    std::string Close(const std::wstring& title, const sim::control::ServerClient::Started& owner) {
        auto closer = server_->StartProcess(
            L"C:\\Program Files\\Modem\\Peer.exe",
            L"Peer.exe post " + title + L" " + std::to_wstring(kClose) + L" 0",
            OutputPath("closer"));
        EXPECT_TRUE(closer.has_value());
        if (closer) {
            EXPECT_EQ(server_->WaitForExit(closer->pid), 0u);
        }
        EXPECT_EQ(server_->WaitForExit(owner.pid), 0u);
        return Output(Tag(title));
    }
    static std::string Tag(const std::wstring& title) {
        return std::string(title.begin(), title.end());
    }

    std::map<std::wstring, std::uint32_t> inputs_;
};

TEST_F(ScreenInputTest, ThePictureShowsTwoProgramsWindowsInTheMachineWideZOrder) {
    auto below = Show(L"Below", L"FF0000", 100, 100, 200, 100);
    auto above = Show(L"Above", L"0000FF", 250, 150, 200, 100);
    struct Probe {
        int x, y;
        std::uint32_t rgb;
    };
    // Each window's own part, the overlap (the later window is on top) and the desktop.
    for (const Probe& p :
         {Probe{110, 110, 0xFF0000}, Probe{260, 160, 0x0000FF}, Probe{440, 240, 0x0000FF},
          Probe{50, 50, kDesktop}, Probe{320, 110, kDesktop}})
        EXPECT_EQ(server_->ScreenPixel(p.x, p.y), p.rgb) << p.x << "," << p.y;

    const std::string png = folder_ + "/screen.png";
    ASSERT_TRUE(server_->SaveScreenPng(png));
    cairo_surface_t* saved = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(saved), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(saved), 1024);
    cairo_surface_flush(saved);
    auto at = [&](int x, int y) {
        const unsigned char* row = cairo_image_surface_get_data(saved) +
                                   static_cast<long>(y) * cairo_image_surface_get_stride(saved);
        return *reinterpret_cast<const std::uint32_t*>(row + x * 4) & 0xFFFFFF;
    };
    EXPECT_EQ(at(110, 110), 0xFF0000u);
    EXPECT_EQ(at(260, 160), 0x0000FFu);
    cairo_surface_destroy(saved);

    Close(L"Above", above);
    // The window that was beneath shows where the closed one was.
    EXPECT_EQ(server_->ScreenPixel(260, 160), 0xFF0000u);
    Close(L"Below", below);
    EXPECT_EQ(server_->ScreenPixel(110, 110), kDesktop);
}

TEST_F(ScreenInputTest, ALayeredWindowShowsAndTakesClicksOnlyWhereItsColourKeyIsNot) {
    auto below = Show(L"Under", L"FF0000", 0, 0, 200, 100);
    auto keyed = Show(L"Keyed", L"00FF00", 0, 0, 200, 100, L" keyed");
    EXPECT_EQ(server_->ScreenPixel(50, 50), 0x00FF00u);
    // The right half is the colour key: the window beneath shows there and takes the click.
    EXPECT_EQ(server_->ScreenPixel(150, 50), 0xFF0000u);
    EXPECT_EQ(server_->Click(150, 50), below.pid);
    WaitForInput(L"Under");
    EXPECT_EQ(server_->Click(50, 50), keyed.pid);
    WaitForInput(L"Keyed");
    EXPECT_EQ(Close(L"Keyed", keyed), "down 50 50\n");
    EXPECT_EQ(Close(L"Under", below), "down 150 50\n");
}

TEST_F(ScreenInputTest, MouseInputGoesToTheProgramWhoseWindowIsUnderThePointer) {
    auto left = Show(L"Left", L"00FF00", 0, 0, 100, 100);
    auto right = Show(L"Right", L"FFFF00", 300, 0, 100, 100);
    EXPECT_EQ(server_->Click(10, 20), left.pid);
    WaitForInput(L"Left");
    EXPECT_EQ(server_->DoubleClick(330, 40), right.pid);
    WaitForInput(L"Right");
    WaitForInput(L"Right");
    // Over the desktop nobody takes it.
    EXPECT_EQ(server_->Click(200, 200), 0u);
    EXPECT_EQ(Close(L"Left", left), "down 10 20\n");
    EXPECT_EQ(Close(L"Right", right), "down 30 40\ndouble 30 40\n");
}

TEST_F(ScreenInputTest, ADragStaysWithTheProgramThatTookThePress) {
    auto first = Show(L"First", L"00FF00", 0, 0, 100, 100);
    auto second = Show(L"Second", L"FFFF00", 300, 0, 100, 100);
    EXPECT_EQ(server_->PressMouse(10, 10), first.pid);
    WaitForInput(L"First");
    EXPECT_EQ(server_->MoveMouse(320, 10), first.pid);
    EXPECT_EQ(server_->ReleaseMouse(320, 10), first.pid);
    // Released: the next press goes where the pointer is.
    EXPECT_EQ(server_->PressMouse(320, 10), second.pid);
    WaitForInput(L"Second");
    EXPECT_EQ(server_->ReleaseMouse(320, 10), second.pid);
    EXPECT_EQ(Close(L"First", first), "down 10 10\n");
    EXPECT_EQ(Close(L"Second", second), "down 20 10\n");
}

TEST_F(ScreenInputTest, AKeyGoesToTheProgramOfTheFrontWindow) {
    auto back = Show(L"Back", L"00FF00", 0, 0, 100, 100);
    auto front = Show(L"Front", L"FFFF00", 300, 0, 100, 100);
    EXPECT_EQ(server_->PressKey(kVkF2), front.pid);
    WaitForInput(L"Front");
    EXPECT_EQ(Close(L"Front", front), "key 113\n");
    // With the front window gone, the one behind it is in front.
    EXPECT_EQ(server_->PressKey(kVkF2), back.pid);
    WaitForInput(L"Back");
    EXPECT_EQ(Close(L"Back", back), "key 113\n");
}

TEST_F(ScreenInputTest, EveryProgramsTrayIconIsListedAndADoubleClickReachesItsOwner) {
    auto first = Tray(L"Alpha", L"Alpha V1");
    auto second = Tray(L"Beta", L"Beta V2");
    auto icons = server_->TrayIcons();
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].pid, first.pid);
    EXPECT_EQ(icons[0].tip, L"Alpha V1");
    EXPECT_EQ(icons[0].id, 9u);
    EXPECT_TRUE(icons[0].callback);
    EXPECT_TRUE(icons[0].balloon);
    EXPECT_EQ(icons[0].balloonTitle, L"Peer");
    EXPECT_EQ(icons[0].balloonText, L"Ready");
    EXPECT_EQ(icons[1].pid, second.pid);
    EXPECT_EQ(icons[1].tip, L"Beta V2");

    using Click = sim::control::ServerClient::TrayClick;
    ASSERT_TRUE(server_->ClickTrayIcon(icons[1].owner, 9, Click::Double));
    WaitForInput(L"Beta");
    EXPECT_FALSE(server_->ClickTrayIcon(icons[1].owner, 10, Click::Double));
    EXPECT_EQ(Close(L"Beta", second), "tray double 9\n");
    // The icon went with its window; the other program's stays.
    icons = server_->TrayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].pid, first.pid);
    // A program killed takes its icons with it.
    ASSERT_TRUE(server_->Terminate(first.pid, 1));
    EXPECT_TRUE(server_->TrayIcons().empty());
}

}  // namespace
