#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "app/net_info_transfer.h"
#include "app_window_fixture.h"

namespace {

using app_test::AppWindowTest;

// ---- Texts ----

struct TextCase {
    bool rate;             // a rate text (else a duration in the picture)
    const wchar_t* picture;
    ULONGLONG value;       // bytes per second, or seconds
    const wchar_t* expected;
};

const TextCase kTexts[] = {
    {true, L"", 1300000, L"发送速率:\r\n   9.9(Mbps)"},
    {true, L"", 1280000, L"发送速率:\r\n   10000.0(Kbps)"},
    {true, L"", 1250000, L"发送速率:\r\n   9765.0(Kbps)"},
    {true, L"", 0, L"发送速率:\r\n   0.0(Kbps)"},
    {true, L"", ULLONG_MAX, L"发送速率:\r\n   140737488355328.0(Mbps)"},
    {false, L"H:mm:ss", 3725, L"01:02:05"},
    {false, L"H:mm:ss", 360000, L"100:00:00"},
    {false, L"HH:mm:ss", 59, L"00:00:59"},
    {false, L"h:mm:ss tt", 3725, L"01:02:05"},
    {false, L"  tt h:mm:ss", 3725, L"01:02:05"},
    // Conversions and quotes are text, never a format.
    {false, L"'%s%n'H%d", 3725, L"%s%n01%d"},
    {false, L"H''mm", 3725, L"01'02"},
    {false, L"%n %s %x", 3725, L"%n %05 %x"},
    {false, L"'unterminated", 3725, L"unterminated"},
};

TEST(NetInfoTexts, RatesAndDurations) {
    for (const TextCase& c : kTexts) {
        const std::wstring got =
            c.rate ? CWndNetInfoTransfer::RateText(L"发送速率", c.value)
                   : FormatDurationPicture(c.picture, c.value);
        EXPECT_EQ(got, c.expected) << (c.rate ? L"rate" : c.picture) << " " << c.value;
    }
}

TEST(NetInfoTexts, ALongPictureGivesABoundedText) {
    const std::wstring picture(100000, L'H');
    EXPECT_EQ(FormatDurationPicture(picture, 3725), L"01");
    const std::wstring literal = L"'" + std::wstring(100000, L'x') + L"'";
    EXPECT_LE(FormatDurationPicture(literal, 1).size(), 256u);
}

// ---- The window with a parent ----

class NetInfoWindowTest : public AppWindowTest {
protected:
    void SetUp() override {
        AppWindowTest::SetUp();
        parent_ = MakeWindow(WS_POPUP | WS_VISIBLE);
        ASSERT_TRUE(parentObject_.Attach(parent_));
        // Made on this machine (its connection's handles are the machine's).
        window_ = std::make_unique<CWndNetInfoTransfer>();
        ASSERT_TRUE(window_->Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1, 1),
                                   &parentObject_, IDC_NetInfo));
    }
    void TearDown() override {
        window_.reset();
        parentObject_.Detach();
        AppWindowTest::TearDown();
    }
    // The connection messages the parent got, in order.
    static std::vector<UINT> Posted() {
        return Messages({WM_CONNECTION_STATE, WM_CONNECTION_CONNECTED, WM_CONNECTION_ERROR,
                         WM_CONNECTION_DISCONNECTING, WM_CONNECTION_DISCONNECTED});
    }

    HWND parent_ = nullptr;
    CWnd parentObject_;
    std::unique_ptr<CWndNetInfoTransfer> window_;
};

TEST_F(NetInfoWindowTest, ReportsFromAnotherThreadArePostedAndKeptForTheWindowsThread) {
    OnAnotherThread([this] {
        window_->OnStateText(L"正在拨号...");
        window_->OnConnected();
        window_->OnError(L"There was no answer.");
        window_->OnDisconnecting();
        window_->OnDisconnected();
        return 0;
    });
    // Nothing reached the parent before this thread took its messages.
    EXPECT_TRUE(Posted().empty());
    Drain();
    EXPECT_EQ(Posted(), (std::vector<UINT>{WM_CONNECTION_STATE, WM_CONNECTION_CONNECTED,
                                           WM_CONNECTION_ERROR, WM_CONNECTION_DISCONNECTING,
                                           WM_CONNECTION_DISCONNECTED}));
    for (const Logged& l : MessageLog().Items()) {
        if (l.message >= WM_CONNECTION_STATE && l.message <= WM_CONNECTION_DISCONNECTED) {
            EXPECT_EQ(l.hwnd, parent_);
            EXPECT_EQ(l.wParam + static_cast<WPARAM>(l.lParam), 0u);
        }
    }
    const NetInfoState s = window_->State();
    EXPECT_EQ(s.statusText, L"网络已经断开");
    EXPECT_TRUE(s.disconnected);
    EXPECT_FALSE(s.connecting);
    EXPECT_FALSE(s.connected);
}

TEST_F(NetInfoWindowTest, TheStateTextsFollowTheReports) {
    EXPECT_EQ(window_->State().statusText, L"未连接网络");
    window_->OnStateText(L"正在拨号...");
    EXPECT_EQ(window_->State().statusText, L"正在拨号...");
    window_->OnConnected();
    EXPECT_EQ(window_->State().statusText, L"");
    EXPECT_TRUE(window_->State().connected);
    window_->OnDisconnecting();
    EXPECT_EQ(window_->State().statusText, L"正在断开...");
    window_->OnError(L"x");
    EXPECT_EQ(window_->State().statusText, L"x");
}

TEST_F(NetInfoWindowTest, FortyOneSamplesKeepFortyAndDrawFortyPoints) {
    ConnectionInfo info;
    for (ULONGLONG i = 1; i <= 41; ++i) window_->OnStatistics(info, i * 1000, i * 10);
    const NetInfoState s = window_->State();
    ASSERT_EQ(s.samples.size(), 40u);
    EXPECT_EQ(s.samples.front().received, 41000u);  // newest first
    EXPECT_EQ(s.samples.back().received, 2000u);    // the first is gone
    EXPECT_EQ(s.largestSum, 41410u);

    const std::vector<POINT> points = CWndNetInfoTransfer::GraphPoints(s, {10, 20, 410, 128});
    ASSERT_EQ(points.size(), 40u);
    EXPECT_EQ(points[0].x, 406);
    EXPECT_EQ(points[0].y, 20 + 8);  // the largest sum reaches the top less 8
    EXPECT_EQ(points[39].x, 406 - 39 * 4);
    EXPECT_EQ(points[39].y, 128 - static_cast<LONG>(2020ULL * 100 / 41410));
    // A narrow graph stops at its left edge.
    EXPECT_EQ(CWndNetInfoTransfer::GraphPoints(s, {0, 0, 60, 108}).size(), 14u);
    EXPECT_TRUE(CWndNetInfoTransfer::GraphPoints(NetInfoState{}, {0, 0, 400, 108}).empty());
}

TEST_F(NetInfoWindowTest, HugeRatesSaturateInsteadOfWrapping) {
    ConnectionInfo info;
    window_->OnStatistics(info, ULLONG_MAX, 5);
    window_->OnStatistics(info, 1, 1);
    const NetInfoState s = window_->State();
    EXPECT_EQ(s.largestSum, ULLONG_MAX);
    const auto points = CWndNetInfoTransfer::GraphPoints(s, {0, 0, 400, 108});
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].y, 8);   // the saturated sum is the largest
    EXPECT_EQ(points[0].y, 108);  // 2 against the largest rounds to the bottom
}

TEST_F(NetInfoWindowTest, SixLinesOfTotalsRatesStartAndDuration) {
    NetInfoState s;
    s.info.year = 2026;
    s.info.month = 12;
    s.info.day = 10;
    s.info.hour = 9;
    s.info.minute = 5;
    s.info.second = 7;
    s.info.duration = 3725;
    s.info.bytesSent = 5ULL * 1024 * 1024 * 1024 * 1024;  // beyond 32 bits
    s.info.bytesReceived = 2047;
    s.samples.push_front({1300000, 1280000});
    EXPECT_EQ(CWndNetInfoTransfer::StatisticsText(s),
              L"开始时间: 2026-12-10,09:05:07\r\n"
              L"持续时间: 01:02:05\r\n"
              L"发送:5368709120KB\r\n"
              L"接收:1KB\r\n"
              L"发送速率:\r\n   10000.0(Kbps)\r\n"
              L"接收速率:\r\n   9.9(Mbps)");
    s.info.month = 2;
    s.info.day = 30;
    EXPECT_EQ(CWndNetInfoTransfer::StartTimeText(s.info), L"InvalidTime");
}

TEST_F(NetInfoWindowTest, AnImmediateFailureStopsTheAnimation) {
    Ras().SetDefaultScript(sim::DialScript::FailSync(ERROR_NO_ANSWER, true));
    CDialSettings::Instance().SetProfile([] {
        DialProfile p = CDialSettings::Instance().Profile();
        p.Redial = false;
        return p;
    }());
    ASSERT_TRUE(window_->ConnectOrStop());
    ASSERT_TRUE(PumpUntil([] { return !Entries(WM_CONNECTION_DISCONNECTED).empty(); }));
    PumpFor(500);
    EXPECT_EQ(window_->AnimationFrame(), 4);
    EXPECT_FALSE(::KillTimer(window_->m_hWnd, IDT_CONNECTING));  // the timer is gone
    EXPECT_FALSE(window_->State().connecting);
    EXPECT_FALSE(Entries(WM_CONNECTION_ERROR).empty());
}

TEST_F(NetInfoWindowTest, ConnectOrStopWhileRunningOnlyAsksTheDialToStop) {
    Ras().SetDefaultScript(sim::DialScript::Hang());
    ASSERT_TRUE(window_->ConnectOrStop());
    ASSERT_TRUE(window_->IsRunning());
    PumpFor(400);
    EXPECT_NE(window_->AnimationFrame(), 4);  // the animation runs
    ASSERT_TRUE(window_->ConnectOrStop());
    EXPECT_EQ(WaitForSingleObject(window_->Connection().StopEvent(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(PumpUntil([this] { return !window_->IsRunning(); }));
    EXPECT_EQ(Ras().DialCount(), 1);
    EXPECT_TRUE(window_->State().disconnected);
    PumpFor(400);
    EXPECT_EQ(window_->AnimationFrame(), 4);
}

TEST_F(NetInfoWindowTest, DisconnectWaitsForTheThreadAndKeepsPaintsAndDropsTheRest) {
    Ras().SetDefaultScript(sim::DialScript::Hang());
    ASSERT_TRUE(window_->ConnectOrStop());
    ASSERT_TRUE(PumpUntil([this] { return Ras().DialCount() == 1; }));
    MessageLog().Clear();
    PostMessageW(parent_, WM_USER + 500, 0, 0);
    InvalidateRect(parent_, nullptr, FALSE);
    const DWORD start = GetTickCount();
    EXPECT_EQ(window_->Disconnect(), WAIT_OBJECT_0);
    EXPECT_GT(GetTickCount() - start, 30u);  // the hang-up took a while
    EXPECT_FALSE(window_->IsRunning());
    EXPECT_EQ(Ras().HangUpCount(), 1);
    EXPECT_TRUE(Entries(WM_USER + 500).empty());
    EXPECT_FALSE(Entries(WM_PAINT, parent_).empty());
}

TEST_F(NetInfoWindowTest, DestroyingTheWindowWhileDiallingEndsTheDialFirst) {
    Ras().SetDefaultScript(sim::DialScript::Hang());
    ASSERT_TRUE(window_->ConnectOrStop());
    ASSERT_TRUE(PumpUntil([this] { return Ras().DialCount() == 1; }));
    ASSERT_TRUE(window_->DestroyWindow());
    EXPECT_FALSE(window_->IsRunning());
    EXPECT_EQ(Ras().OpenConnections(), 0);
}

}  // namespace
