// The connection view on the user's road: the settings, the option tab, connecting, connected
// (totals and the graph), disconnecting, and the next start with the saved values.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/net_connect_dialog.h"
#include "app_window_fixture.h"
#include "common/golden_image.h"
#include "common/screen_shot.h"
#include "docking/button.h"
#include "docking/cell.h"
#include "docking/registry.h"
#include "machine/control/input.h"

namespace {

using System::Docking::CDockingCell;

class ConnectViewTest : public app_test::AppWindowTest {
protected:
    void TearDown() override {
        Close();
        host_.reset();
        AppWindowTest::TearDown();
    }

    // The view in a bare main window, shown.
    void Open() {
        host_ = std::make_unique<System::Docking::Skin::CDockingDialog>(app_test::kHostTemplate,
                                                                       nullptr);
        view_ = app_host::OpenView(*host_);
        ASSERT_NE(view_, nullptr);
        SetForegroundWindow(host_->m_hWnd);
        PumpFor(50);
    }
    void Close() {
        view_.reset();
        Settle();
    }
    void Settle() {
        Drain();
        System::Docking::WaitRenderPoolIdle();
        Drain();
    }
    // Settings as a saved "Setting.txt" holds them.
    static void SaveSettings(const std::function<void(DialProfile&)>& edit) {
        DialProfile p;
        CDialSettings::LoadDefaults(p);
        edit(p);
        CDialSettings::Write(GetUserDataFolder() + L"Setting.txt", p);
    }

    HWND Item(UINT id) const { return ::GetDlgItem(view_->m_hWnd, static_cast<int>(id)); }
    HWND DialItem(UINT id) const {
        return ::GetDlgItem(view_->Settings().DialPage().m_hWnd, static_cast<int>(id));
    }
    HWND OptionItem(UINT id) const {
        return ::GetDlgItem(view_->Settings().OptionPage().m_hWnd, static_cast<int>(id));
    }
    static std::wstring Text(HWND window) {
        wchar_t buffer[256] = {};
        ::GetWindowTextW(window, buffer, 256);
        return buffer;
    }
    static bool Ticked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    static CDockingCell* Cell(const wchar_t* id) {
        return dynamic_cast<CDockingCell*>(System::Docking::FindRenderableById(id));
    }
    std::wstring ButtonTitle() const {
        auto* button = dynamic_cast<System::Docking::Skin::CDockingButton*>(
            CWnd::FromHandlePermanent(Item(IDC_BTN_CONNECT)));
        return button == nullptr ? L"?" : button->Title();
    }
    static void ClickOn(HWND window) {
        RECT r{};
        ::GetWindowRect(window, &r);
        ASSERT_TRUE(control::Click({(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    }
    void DoubleClickStatus() {
        RECT r{};
        ::GetWindowRect(view_->StatusWindow().m_hWnd, &r);
        ASSERT_TRUE(control::DoubleClick({(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    }
    bool SettingsShown() const {
        return Cell(L"connectSettingCell")->height.Read() == -1 &&
               Cell(L"connectStatusCell")->height.Read() == 0;
    }
    // Connects and waits for the statistics' first samples.
    void ConnectAndWaitForSamples(int samples) {
        ClickOn(Item(IDC_BTN_CONNECT));
        ASSERT_TRUE(PumpUntil([&] {
            return view_->StatusWindow().State().samples.size() >= static_cast<size_t>(samples);
        }));
    }
    // The main window's picture, kept for review; compared with its reference when `golden`.
    void Shoot(const std::string& name, bool golden = false) {
        Settle();
        // The whole window drawn afresh (a present covers only the part it was rendered for).
        host_->Docking().Repaint();
        Settle();
        cairo_surface_t* shot = ClientShot(host_->m_hWnd);
        KeepForReview(shot, name);
        if (golden) {
            EXPECT_TRUE(golden::Matches(shot, name));
        }
        cairo_surface_destroy(shot);
    }

    std::unique_ptr<System::Docking::Skin::CDockingDialog> host_;
    std::unique_ptr<CNetConnectDialog> view_;
};

TEST_F(ConnectViewTest, ShowsTheSettingsWithTheDefaultsAndTwoTabs) {
    Open();
    EXPECT_TRUE(SettingsShown());
    EXPECT_EQ(Text(DialItem(IDC_SETTING_NUMEDIT)), L"#777");
    EXPECT_EQ(Text(DialItem(IDC_NAMEEDIT)), CDialSettings::Instance().Profile().User);
    EXPECT_FALSE(Text(DialItem(IDC_PASSWORDEDIT)).empty());
    EXPECT_TRUE(::GetWindowLongPtrW(DialItem(IDC_PASSWORDEDIT), GWL_STYLE) & ES_PASSWORD);
    EXPECT_TRUE(Ticked(DialItem(IDC_CHAPCHECK)));
    EXPECT_TRUE(Ticked(::GetDlgItem(view_->Settings().m_hWnd, IDC_DialSetting)));
    EXPECT_FALSE(Ticked(::GetDlgItem(view_->Settings().m_hWnd, IDC_OptionSetting)));
    EXPECT_TRUE(::IsWindowVisible(view_->Settings().DialPage().m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(view_->Settings().OptionPage().m_hWnd));
    EXPECT_EQ(Text(Item(IDC_BTN_CONNECT)), L"连接");
    EXPECT_FALSE(view_->Connection().IsRunning());
    Shoot("connect_view_settings", true);
}

TEST_F(ConnectViewTest, TheOptionTabTicksStoredDnsAndIpAndTheWriteBackKeepsThem) {
    SaveSettings([](DialProfile& p) {
        p.DNSMain = L"10.0.0.1";
        p.DNSMinor = L"10.0.0.2";
        p.IPAddress = L"192.168.7.9";
        p.Redial = true;
        p.AutoRun = false;
        p.CHAP = true;
        p.PCAccount = false;
    });
    Open();
    ClickOn(::GetDlgItem(view_->Settings().m_hWnd, IDC_OptionSetting));
    PumpFor(50);
    EXPECT_TRUE(::IsWindowVisible(view_->Settings().OptionPage().m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(view_->Settings().DialPage().m_hWnd));
    EXPECT_TRUE(Ticked(OptionItem(IDC_DNSCHECKTEXT)));
    EXPECT_TRUE(Ticked(OptionItem(IDC_IPCHECK)));
    EXPECT_TRUE(::IsWindowEnabled(OptionItem(IDC_DNSIPADDRESS)));
    EXPECT_TRUE(::IsWindowEnabled(OptionItem(IDC_IPADDRESS)));
    EXPECT_TRUE(Ticked(OptionItem(IDC_ReDial)));
    EXPECT_FALSE(Ticked(OptionItem(IDC_ConnStartUp)));
    Shoot("connect_view_options");

    // Unticking "使用DNS" disables its fields and empties what the page gives.
    ClickOn(OptionItem(IDC_DNSCHECKTEXT));
    PumpFor(50);
    EXPECT_FALSE(view_->Settings().OptionPage().UseDns());
    EXPECT_FALSE(::IsWindowEnabled(OptionItem(IDC_DNSIPADDRESS1)));
    EXPECT_EQ(view_->Settings().OptionPage().GetDnsMain(), L"");
    ClickOn(OptionItem(IDC_DNSCHECKTEXT));
    PumpFor(50);

    // The exit-time write-back keeps the stored values and the fields without a control.
    Close();
    const DialProfile p = CDialSettings::Instance().Profile();
    EXPECT_EQ(p.DNSMain, L"10.0.0.1");
    EXPECT_EQ(p.DNSMinor, L"10.0.0.2");
    EXPECT_EQ(p.IPAddress, L"192.168.7.9");
    EXPECT_TRUE(p.CHAP);
    EXPECT_FALSE(p.PCAccount);
}

TEST_F(ConnectViewTest, ConnectShowsTheAnimationThenTheTotalsAndTheGraph) {
    Ras().SetTrafficRates(20000, 150000);
    Open();
    ClickOn(Item(IDC_BTN_CONNECT));
    ASSERT_TRUE(PumpUntil([&] { return Text(Item(IDC_BTN_CONNECT)) == L"断开连接"; }));
    EXPECT_FALSE(SettingsShown());
    EXPECT_EQ(Text(Item(IDC_BTN_CONNECT)), L"断开连接");
    EXPECT_EQ(ButtonTitle(), L"正在连接...");
    EXPECT_TRUE(view_->Connection().IsRunning());
    EXPECT_FALSE(Cell(L"connectMessage")->text.Read().empty());
    const int offset = Cell(L"connectContent")->background.y;
    EXPECT_EQ(offset % 108, 0);
    EXPECT_GE(offset, -4 * 108);
    Shoot("connect_view_connecting");

    ASSERT_TRUE(PumpUntil([&] { return view_->Connection().IsConnected(); }));
    ASSERT_TRUE(PumpUntil([&] { return view_->StatusWindow().State().samples.size() >= 3; }));
    EXPECT_EQ(ButtonTitle(), L"网络已经连接");
    EXPECT_EQ(Cell(L"connectTitle")->text.Read(), L"已连接");
    EXPECT_EQ(Cell(L"connectMessage")->text.Read(), L"双击切换视图");
    EXPECT_EQ(Cell(L"connectContent")->background.y, -648);
    const std::wstring lines = Cell(L"connectContent")->text.Read();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L'\n'), 7);  // six lines, two rates wrap
    EXPECT_NE(lines.find(L"开始时间: "), std::wstring::npos);
    EXPECT_NE(lines.find(L"接收速率:\r\n   "), std::wstring::npos) << lines;
    EXPECT_NE(lines.find(L"持续时间: 00:00:"), std::wstring::npos) << lines;
    Shoot("connect_view_connected", true);

    DoubleClickStatus();
    PumpFor(50);
    EXPECT_TRUE(view_->StatusWindow().GraphView());
    EXPECT_EQ(Cell(L"connectTitle")->text.Read(), L"最大流速");
    EXPECT_EQ(Cell(L"connectContent")->text.Read(), L"");
    Shoot("connect_view_graph");
    DoubleClickStatus();
    PumpFor(50);
    EXPECT_EQ(Cell(L"connectTitle")->text.Read(), L"已连接");
}

TEST_F(ConnectViewTest, DisconnectGoesBackToTheSettings) {
    Open();
    ConnectAndWaitForSamples(1);
    ClickOn(Item(IDC_BTN_CONNECT));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowEnabled(Item(IDC_BTN_CONNECT)); }));
    EXPECT_EQ(ButtonTitle(), L"正在断开...");
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_BTN_CONNECT)));
    ASSERT_TRUE(PumpUntil([&] { return !view_->Connection().IsRunning(); }));
    EXPECT_EQ(Text(Item(IDC_BTN_CONNECT)), L"连接");
    EXPECT_EQ(ButtonTitle(), L"网络已经断开");
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_BTN_CONNECT)));
    EXPECT_TRUE(SettingsShown());
    EXPECT_FALSE(view_->Connection().IsRunning());
    EXPECT_EQ(Ras().HangUpCount(), 1);
}

TEST_F(ConnectViewTest, AutoConnectDialsAtStartWithTheSavedValues) {
    SaveSettings([](DialProfile& p) {
        p.Number = L"#778";
        p.AutoRun = true;
    });
    Open();
    EXPECT_TRUE(view_->Connection().IsRunning());
    EXPECT_FALSE(SettingsShown());
    ASSERT_TRUE(PumpUntil([&] { return Ras().DialCount() == 1; }));
    EXPECT_EQ(Ras().Dials()[0].phoneNumber, L"#778");
    EXPECT_EQ(Text(DialItem(IDC_SETTING_NUMEDIT)), L"#778");
    EXPECT_TRUE(Ticked(OptionItem(IDC_ConnStartUp)));
}

TEST_F(ConnectViewTest, DestroyingTheViewWhileDiallingJoinsTheDial) {
    // Hears the dial's last report (it outlives the view).
    struct LastReport : IConnectionListener {
        std::atomic<bool> ended{false};
        void OnError(const std::wstring&) override {}
        void OnStateText(const std::wstring&) override {}
        void OnConnected() override {}
        void OnStatistics(const ConnectionInfo&, ULONGLONG, ULONGLONG) override {}
        void OnDisconnecting() override {}
        void OnDisconnected() override { ended = true; }
    } last;
    Ras().SetDefaultScript(sim::DialScript::Hang());
    Open();
    view_->Connection().AddListener(&last);
    ClickOn(Item(IDC_BTN_CONNECT));
    ASSERT_TRUE(PumpUntil([&] { return Ras().DialCount() == 1; }));
    Close();
    EXPECT_TRUE(last.ended);
    EXPECT_EQ(Ras().HangUpCount(), 1);
    EXPECT_EQ(Ras().OpenConnections(), 0);
}

}  // namespace
