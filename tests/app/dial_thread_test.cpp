#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/connection.h"
#include "app/dial_settings.h"
#include "app_window_fixture.h"
#include "common/sim_fixture.h"
#include "machine/modem.h"
#include "machine/ras.h"
#include "common/thread_helper.h"

namespace {

const std::wstring kNoAnswer = L"There was no answer.";

// One report as a listener received it, with the machine's tick and RAS's counts at that moment.
struct Report {
    std::string kind;  // error, state, connected, statistics, disconnecting, disconnected
    std::wstring text;
    DWORD tick;
    int dials;
    int hangUps;
    ConnectionInfo info;
    ULONGLONG receivedRate = 0;
    ULONGLONG sentRate = 0;
};

class RecordingListener : public IConnectionListener {
public:
    void OnError(const std::wstring& text) override { Add("error", text); }
    void OnStateText(const std::wstring& text) override { Add("state", text); }
    void OnConnected() override { Add("connected"); }
    void OnStatistics(const ConnectionInfo& info, ULONGLONG receivedRate,
                      ULONGLONG sentRate) override {
        Report r = Make("statistics", L"");
        r.info = info;
        r.receivedRate = receivedRate;
        r.sentRate = sentRate;
        std::function<void(int)> hook;
        int n;
        {
            std::lock_guard<std::mutex> lk(mu_);
            reports_.push_back(r);
            n = ++samples_;
            hook = onSample_;
        }
        if (hook) hook(n);
    }
    void OnDisconnecting() override { Add("disconnecting"); }
    void OnDisconnected() override { Add("disconnected"); }

    // Called on the dial thread after each statistics report (with its number, from 1).
    void OnSample(std::function<void(int)> hook) {
        std::lock_guard<std::mutex> lk(mu_);
        onSample_ = std::move(hook);
    }
    // Called (outside the lock) after each report of that kind.
    void On(const std::string& kind, std::function<void()> hook) {
        std::lock_guard<std::mutex> lk(mu_);
        hooks_.push_back({kind, std::move(hook)});
    }

    void Clear() {
        std::lock_guard<std::mutex> lk(mu_);
        reports_.clear();
    }
    std::vector<Report> All() {
        std::lock_guard<std::mutex> lk(mu_);
        return reports_;
    }
    std::vector<Report> Of(const std::string& kind) {
        std::vector<Report> out;
        for (const Report& r : All())
            if (r.kind == kind) out.push_back(r);
        return out;
    }
    // The kinds in order, leaving out state texts and statistics.
    std::vector<std::string> Flow() {
        std::vector<std::string> out;
        for (const Report& r : All())
            if (r.kind != "state" && r.kind != "statistics") out.push_back(r.kind);
        return out;
    }

private:
    static Report Make(const std::string& kind, const std::wstring& text) {
        auto& ras = sim::Ras::Get();
        return Report{kind, text, GetTickCount(), ras.DialCount(), ras.HangUpCount(), {}};
    }
    void Add(const std::string& kind, const std::wstring& text = L"") {
        std::vector<std::function<void()>> run;
        {
            std::lock_guard<std::mutex> lk(mu_);
            reports_.push_back(Make(kind, text));
            for (auto& [k, h] : hooks_)
                if (k == kind) run.push_back(h);
        }
        for (auto& h : run) h();
    }

    std::mutex mu_;
    std::vector<Report> reports_;
    int samples_ = 0;
    std::function<void(int)> onSample_;
    std::vector<std::pair<std::string, std::function<void()>>> hooks_;
};

class DialThreadTest : public SimTest {
protected:
    // Machine changes that must come before the connection is built.
    virtual void PrepareMachine() {}
    void SetUp() override {
        SimTest::SetUp();
        PrepareMachine();
        InstallModemDriver();
        sim::ModemOptions o;
        o.startInModemMode = true;
        modem_ = sim::SimModem::Plug(o);
        connection_ = std::make_unique<CConnection>();
        connection_->AddListener(&listener_);
    }
    void TearDown() override {
        if (connection_->IsRunning()) {
            connection_->Stop();
            connection_->Wait(INFINITE);
        }
    }

    // The modem driver's .inf, from which the modem is recognised.
    void InstallModemDriver();

    // Replaces the settings' profile as the settings pages do.
    static void EditProfile(const std::function<void(DialProfile&)>& edit) {
        DialProfile p = CDialSettings::Instance().Profile();
        edit(p);
        CDialSettings::Instance().SetProfile(p);
    }
    sim::Ras& Ras() { return sim::Ras::Get(); }
    // Runs the dial until the thread ends (within half an hour of the machine's time).
    void RunToEnd() {
        ASSERT_TRUE(connection_->Start());
        ASSERT_EQ(connection_->Wait(30 * 60 * 1000), WAIT_OBJECT_0);
    }
    // Stops the dial once `kind` has been reported `count` times.
    void StopAfter(const std::string& kind, int count = 1) {
        auto seen = std::make_shared<int>(0);
        CConnection* c = connection_.get();
        listener_.On(kind, [seen, count, c] {
            if (++*seen == count) c->Stop();
        });
    }

    std::shared_ptr<sim::SimModem> modem_;
    RecordingListener listener_;
    std::unique_ptr<CConnection> connection_;
};

void DialThreadTest::InstallModemDriver() {
    app_test::InstallModemDriver(M());
}

// ---- Failed dials and redial ----

TEST_F(DialThreadTest, NoAnswerWithRedialDialsTwentyTimesThenStops) {
    Ras().SetDefaultScript(sim::DialScript::Fail(ERROR_NO_ANSWER, ERROR_NO_ANSWER));
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 20);
    EXPECT_EQ(Ras().HangUpCount(), 20);
    auto dials = Ras().Dials();
    EXPECT_EQ(dials[0].entryName, L"QOB Wireless Terminal");
    EXPECT_EQ(dials[0].deviceName, L"CDMA USB Modem");
    EXPECT_EQ(dials[0].phoneNumber, L"#777");

    auto errors = listener_.Of("error");
    auto leaving = listener_.Of("disconnecting");
    ASSERT_EQ(errors.size(), 20u);
    ASSERT_EQ(leaving.size(), 21u);
    for (std::size_t i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].text, kNoAnswer);
        // The error of dial i+1; the earlier dials were each hung up before it.
        EXPECT_EQ(errors[i].dials, static_cast<int>(i + 1));
        EXPECT_EQ(errors[i].hangUps, static_cast<int>(i));
        // The 15 s pause, then the hang-up.
        EXPECT_EQ(leaving[i].tick - errors[i].tick, 15000u) << i;
        if (i + 1 < dials.size()) {
            EXPECT_GE(dials[i + 1].tick, leaving[i].tick);
        }
    }
    // The end: the last error, two disconnecting reports and one disconnected.
    std::vector<std::string> flow = listener_.Flow();
    std::vector<std::string> tail(flow.end() - 4, flow.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"error", "disconnecting", "disconnecting",
                                              "disconnected"}));
    EXPECT_EQ(Ras().OpenConnections(), 0);
}

TEST_F(DialThreadTest, NineteenFailuresThenAConnectionStartTheCountAgain) {
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 19; ++i)
            Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_NO_ANSWER, 0));
        Ras().ScriptNextDial(sim::DialScript::Connect());
    }
    // The first connection drops (a redial that is not counted); the second is stopped.
    auto connections = std::make_shared<int>(0);
    listener_.On("connected", [this, connections] {
        if (++*connections == 1) {
            Ras().DropLine(ERROR_DISCONNECTION);
        } else {
            connection_->Stop();
        }
    });
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 40);
    EXPECT_EQ(listener_.Of("connected").size(), 2u);
    EXPECT_EQ(listener_.Of("error").size(), 38u);
}

TEST_F(DialThreadTest, RedialOffShowsTheErrorWaitsTheirPauseAndEnds) {
    EditProfile([](DialProfile& p) { p.Redial = false; });
    Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_NO_ANSWER, 0));
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 1);
    EXPECT_EQ(listener_.Flow(),
              (std::vector<std::string>{"error", "disconnecting", "disconnected"}));
    auto errors = listener_.Of("error");
    auto leaving = listener_.Of("disconnecting");
    EXPECT_EQ(leaving[0].tick - errors[0].tick, 15000u);
}

// ---- Error 619 and error 600 ----

TEST_F(DialThreadTest, PortDisconnectedFromTheStatusQueryEndsWithoutRedial) {
    Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_PORT_DISCONNECTED, ERROR_PORT_DISCONNECTED));
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 1);
    auto errors = listener_.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].text.find(L"port was disconnected"), std::wstring::npos);
    EXPECT_EQ(listener_.Flow(),
              (std::vector<std::string>{"error", "disconnecting", "disconnected"}));
    EXPECT_EQ(listener_.Of("disconnecting")[0].tick - errors[0].tick, 15000u);
}

TEST_F(DialThreadTest, PortDisconnectedOnlyInTheNotificationIsRedialled) {
    Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_PORT_DISCONNECTED, 0));
    StopAfter("connected");
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 2);
    EXPECT_EQ(listener_.Flow(), (std::vector<std::string>{"error", "disconnecting", "connected",
                                                          "disconnecting", "disconnected"}));
}

TEST_F(DialThreadTest, PendingFromTheStatusQueryIsNoError) {
    sim::DialScript s = sim::DialScript::Connect();
    s.dialStatusError = PENDING;
    Ras().ScriptNextDial(s);
    StopAfter("connected");
    RunToEnd();
    EXPECT_TRUE(listener_.Of("error").empty());
    EXPECT_EQ(listener_.Flow(),
              (std::vector<std::string>{"connected", "disconnecting", "disconnected"}));
}

TEST_F(DialThreadTest, PendingStatusMasksTheNotificationsError) {
    // The notification reports 678, but the status query answers 600: that is no error, and
    // the dial waits on until it is stopped.
    Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_NO_ANSWER, PENDING));
    ASSERT_TRUE(connection_->Start());
    Sleep(20000);
    connection_->Stop();
    connection_->Wait(INFINITE);
    EXPECT_TRUE(listener_.Of("error").empty());
    EXPECT_EQ(listener_.Flow(), (std::vector<std::string>{"disconnecting", "disconnected"}));
    EXPECT_EQ(Ras().DialCount(), 1);
}

TEST_F(DialThreadTest, FailedStatusQueryReportsItsOwnError) {
    Ras().ScriptNextDial(sim::DialScript::Hang());
    auto started = std::make_shared<int>(0);
    listener_.On("state", [this, started] {
        if (++*started == 1) M().faults().Inject(sim::RasOp::Status, ERROR_HARDWARE_FAILURE, 1);
    });
    StopAfter("connected");
    RunToEnd();
    auto errors = listener_.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, L"The modem was disconnected because of a hardware failure.");
    EXPECT_EQ(Ras().DialCount(), 2);  // redialled after the pause
    EXPECT_EQ(listener_.Flow(), (std::vector<std::string>{"error", "disconnecting", "connected",
                                                          "disconnecting", "disconnected"}));
}

// ---- Connected lines ----

TEST_F(DialThreadTest, StateTextsAndConnectedReports) {
    StopAfter("connected");
    RunToEnd();
    std::vector<std::wstring> texts;
    for (const Report& r : listener_.Of("state")) texts.push_back(r.text);
    EXPECT_EQ(texts,
              (std::vector<std::wstring>{L"正在打开端口...", L"断口成功打开", L"正在连接设备...",
                                         L"设备连接成功", L"设备链上的所有设备都已经连接成功",
                                         L"开始认证过程...", L"认证成功", L"网络已经连接"}));
    EXPECT_FALSE(connection_->IsConnected());
    auto dials = Ras().Dials();
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].userName, L"vimo");
    EXPECT_EQ(dials[0].password, L"vimo");
    auto entry = Ras().Entry(L"QOB Wireless Terminal");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->entry.dwfOptions, RASEO_RemoteDefaultGateway | 0x05200000u);
}

TEST_F(DialThreadTest, DropAfterConnectRedialsAtOnceWithoutPauseOrError) {
    Ras().SetHangUpTime(300);
    auto connections = std::make_shared<int>(0);
    auto droppedAt = std::make_shared<DWORD>(0);
    listener_.On("connected", [this, connections, droppedAt] {
        if (++*connections == 1) {
            *droppedAt = GetTickCount();
            Ras().DropLine(ERROR_DISCONNECTION);
        } else {
            connection_->Stop();
        }
    });
    RunToEnd();
    EXPECT_TRUE(listener_.Of("error").empty());
    EXPECT_EQ(listener_.Flow(), (std::vector<std::string>{"connected", "disconnecting", "connected",
                                                          "disconnecting", "disconnected"}));
    auto dials = Ras().Dials();
    ASSERT_EQ(dials.size(), 2u);
    // Noticed within a poll, hung up (300 ms teardown, polled every 100 ms), dialled again.
    EXPECT_LE(dials[1].tick - *droppedAt, 100u + 400u);
    EXPECT_EQ(Ras().HangUpCount(), 2);
}

TEST_F(DialThreadTest, AHandleThatDiesWhileConnectedIsADropToo) {
    auto connections = std::make_shared<int>(0);
    listener_.On("connected", [this, connections] {
        if (++*connections == 1) {
            Ras().KillHandle();
        } else {
            connection_->Stop();
        }
    });
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 2);
    EXPECT_TRUE(listener_.Of("error").empty());
}

TEST_F(DialThreadTest, UnpluggingTheModemDropsTheLineAndTheRedialFails) {
    EditProfile([](DialProfile& p) { p.Redial = true; });
    auto connections = std::make_shared<int>(0);
    listener_.On("connected", [this, connections] {
        if (++*connections == 1) modem_->Unplug();
    });
    StopAfter("error");
    RunToEnd();
    ASSERT_EQ(Ras().DialCount(), 2);
    auto errors = listener_.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, L"The modem is already in use or is not set up for dialling out.");
}

// ---- Stopping ----

TEST_F(DialThreadTest, StopDuringThePauseEndsWithinAPoll) {
    Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_NO_ANSWER, 0));
    ASSERT_TRUE(connection_->Start());
    Sleep(6000);  // the error came at 900 ms: 5.1 s into the pause
    ASSERT_EQ(listener_.Of("error").size(), 1u);
    DWORD stopAt = GetTickCount();
    connection_->Stop();
    ASSERT_EQ(connection_->Wait(INFINITE), WAIT_OBJECT_0);
    auto leaving = listener_.Of("disconnecting");
    ASSERT_EQ(leaving.size(), 1u);
    EXPECT_LE(leaving[0].tick - stopAt, 100u);
    EXPECT_EQ(Ras().DialCount(), 1);
    EXPECT_EQ(Ras().OpenConnections(), 0);
}

TEST_F(DialThreadTest, StopWhileConnectedWaitsForTheSlowTeardown) {
    Ras().SetHangUpTime(5000);
    ASSERT_TRUE(connection_->Start());
    Sleep(3000);
    ASSERT_TRUE(connection_->IsConnected());
    DWORD stopAt = GetTickCount();
    connection_->Stop();
    ASSERT_EQ(connection_->Wait(INFINITE), WAIT_OBJECT_0);
    auto leaving = listener_.Of("disconnecting");
    auto gone = listener_.Of("disconnected");
    ASSERT_EQ(leaving.size(), 1u);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_LE(leaving[0].tick - stopAt, 100u);
    EXPECT_GE(gone[0].tick - leaving[0].tick, 5000u);
    EXPECT_EQ(gone[0].hangUps, 1);
    EXPECT_EQ(Ras().OpenConnections(), 0);
    EXPECT_FALSE(connection_->IsConnected());
}

TEST_F(DialThreadTest, StopDuringTheHangUpBeforeARedialPlacesNoFurtherCall) {
    // A dropped line and a failed dial both hang up before the redial; a stop pressed while
    // that slow hang-up runs ends the dial there.
    struct Case {
        const char* name;
        sim::DialScript script;
        bool drop;  // drop the line once connected
    };
    const Case cases[] = {
        {"dropped line", sim::DialScript::Connect(), true},
        {"failed dial", sim::DialScript::Fail(ERROR_NO_ANSWER, 0), false},
    };
    Ras().SetHangUpTime(5000);
    auto drop = std::make_shared<bool>(false);
    listener_.On("connected", [this, drop] {
        if (*drop) Ras().DropLine(ERROR_DISCONNECTION);
    });
    HANDLE hangingUp = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    listener_.On("disconnecting", [hangingUp] { SetEvent(hangingUp); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        listener_.Clear();
        ResetEvent(hangingUp);
        *drop = c.drop;
        int dials = Ras().DialCount();
        Ras().ScriptNextDial(c.script);
        ASSERT_TRUE(connection_->Start());
        // 2 s into the 5 s hang-up.
        ASSERT_EQ(WaitForSingleObject(hangingUp, INFINITE), WAIT_OBJECT_0);
        Sleep(2000);
        ASSERT_EQ(listener_.Of("disconnected").size(), 0u);
        connection_->Stop();
        ASSERT_EQ(connection_->Wait(INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(Ras().DialCount() - dials, 1);
        EXPECT_EQ(listener_.Flow().back(), "disconnected");
        EXPECT_EQ(Ras().OpenConnections(), 0);
    }
    CloseHandle(hangingUp);
}

TEST_F(DialThreadTest, AConnectionRasForgetsWhileDiallingIsAFailedDial) {
    // RAS answers "disconnected" without an error for a handle it no longer knows: before the
    // connection that is a dial that failed, with its text, the pause and the redial.
    Ras().ScriptNextDial(sim::DialScript::Hang());
    auto states = std::make_shared<int>(0);
    listener_.On("state", [this, states] {
        if (++*states == 2) Ras().KillHandle();
    });
    StopAfter("connected");
    RunToEnd();
    auto errors = listener_.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, L"The connection was closed.");
    EXPECT_EQ(Ras().DialCount(), 2);
    EXPECT_EQ(listener_.Flow(), (std::vector<std::string>{"error", "disconnecting", "connected",
                                                          "disconnecting", "disconnected"}));
    auto leaving = listener_.Of("disconnecting");
    EXPECT_EQ(leaving[0].tick - errors[0].tick, 15000u);
}

TEST_F(DialThreadTest, StartWhileRunningDoesNothingAndTheStopEventStaysSet) {
    Ras().SetDefaultScript(sim::DialScript::Hang());
    ASSERT_TRUE(connection_->Start());
    HANDLE first = connection_->Handle();
    EXPECT_TRUE(connection_->Start());
    EXPECT_EQ(connection_->Handle(), first);
    Sleep(1000);
    connection_->Stop();
    connection_->Wait(INFINITE);
    EXPECT_FALSE(connection_->IsRunning());
    EXPECT_EQ(WaitForSingleObject(connection_->StopEvent(), 0), WAIT_OBJECT_0);
    // The next start clears it and dials again.
    ASSERT_TRUE(connection_->Start());
    Sleep(1000);
    EXPECT_EQ(Ras().DialCount(), 2);
    EXPECT_TRUE(connection_->IsRunning());
}

// ---- Settings replaced during a dial ----

TEST_F(DialThreadTest, SettingsReplacedDuringADialLeaveTheDialItsOwnCopy) {
    Ras().ScriptNextDial(sim::DialScript::Fail(ERROR_NO_ANSWER, 0));  // redialled after the pause
    StopAfter("connected");
    ASSERT_TRUE(connection_->Start());
    // From the dial's first moment on, a writer replaces the profile every 50 ms, as the
    // settings pages may.
    HANDLE stopWriter = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE writer = StartThread([stopWriter] {
        int i = 0;
        do {
            EditProfile([i](DialProfile& p) {
                p.Number = L"#" + std::to_wstring(i);
                p.User = L"other";
                p.CHAP = true;
            });
            ++i;
        } while (WaitForSingleObject(stopWriter, 50) == WAIT_TIMEOUT);
        return 0u;
    });
    ASSERT_EQ(connection_->Wait(30 * 60 * 1000), WAIT_OBJECT_0);
    SetEvent(stopWriter);
    ASSERT_EQ(WaitForSingleObject(writer, INFINITE), WAIT_OBJECT_0);
    CloseHandle(writer);
    CloseHandle(stopWriter);

    auto dials = Ras().Dials();
    ASSERT_EQ(dials.size(), 2u);
    for (const sim::DialRecord& d : dials) {
        EXPECT_EQ(d.phoneNumber, L"#777");
        EXPECT_EQ(d.userName, L"vimo");
    }
    auto entry = Ras().Entry(CConnection::kEntryName);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->entry.dwfOptions & RASEO_RequireCHAP, 0u);
    EXPECT_EQ(CDialSettings::Instance().Profile().User, L"other");  // the store took the writes
}

TEST_F(DialThreadTest, RedialTurnedOffDuringADialEndsItAfterThePause) {
    Ras().SetDefaultScript(sim::DialScript::Fail(ERROR_NO_ANSWER, 0));
    listener_.On("error", [] { EditProfile([](DialProfile& p) { p.Redial = false; }); });
    RunToEnd();
    EXPECT_EQ(Ras().DialCount(), 1);
    EXPECT_EQ(listener_.Flow(),
              (std::vector<std::string>{"error", "disconnecting", "disconnected"}));
}

// ---- Failed dial calls ----

TEST_F(DialThreadTest, SynchronousFailuresShowTheRealTextAndAReturnedHandleIsHungUp) {
    struct Case {
        DWORD error;
        bool handle;
        std::wstring text;
    };
    const Case cases[] = {
        {ERROR_PORT_NOT_AVAILABLE, false,
         L"The modem is already in use or is not set up for dialling out."},
        {ERROR_HARDWARE_FAILURE, true,
         L"The modem was disconnected because of a hardware failure."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        listener_.Clear();
        int hangUps = Ras().HangUpCount();
        Ras().ScriptNextDial(sim::DialScript::FailSync(c.error, c.handle));
        RunToEnd();
        auto errors = listener_.Of("error");
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].text, c.text);
        EXPECT_EQ(listener_.Flow(),
                  (std::vector<std::string>{"error", "disconnecting", "disconnected"}));
        EXPECT_EQ(Ras().HangUpCount() - hangUps, c.handle ? 1 : 0);
        EXPECT_EQ(Ras().OpenConnections(), 0);
    }
    EXPECT_EQ(Ras().DialCount(), 2);
}

// ---- Statistics ----

TEST_F(DialThreadTest, SamplesCoverTheWholeSecondsBetweenPolls) {
    Ras().SetTrafficRates(1000, 10000);
    // The first sample's receiver is slow: 2.5 s pass before the next poll.
    listener_.OnSample([this](int n) {
        if (n == 1) Sleep(2400);
        if (n == 4) connection_->Stop();
    });
    RunToEnd();
    auto samples = listener_.Of("statistics");
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(samples[1].tick - samples[0].tick, 2500u);
    // The second sample covers 2 s of the 2.5 s: 25000 bytes over 2 s.
    EXPECT_EQ(samples[1].info.bytesReceived - samples[0].info.bytesReceived, 25000u);
    EXPECT_EQ(samples[1].receivedRate, 12500u);
    EXPECT_EQ(samples[1].sentRate, 1250u);
    // The next interval is measured from the later poll.
    EXPECT_EQ(samples[2].tick - samples[1].tick, 1100u);
    EXPECT_EQ(samples[2].receivedRate, 11000u);
    EXPECT_EQ(samples[3].info.duration, static_cast<int>((samples[3].tick - 1300) / 1000));
}

TEST_F(DialThreadTest, CounterWrapKeepsTotalsAndRatesSane) {
    Ras().SetTrafficRates(50000, 400000);
    listener_.OnSample([this](int n) {
        if (n == 2) Ras().SetCounters(0xFFFF0000ull, 0xFFE00000ull);
        if (n == 12) connection_->Stop();
    });
    RunToEnd();
    auto samples = listener_.Of("statistics");
    ASSERT_EQ(samples.size(), 12u);
    // The jump to the preset counters shows once; past it every rate is the line's.
    for (std::size_t i = 3; i < samples.size(); ++i) {
        EXPECT_LE(samples[i].receivedRate, 400000u * 11 / 10) << i;
        EXPECT_GE(samples[i].receivedRate, 400000u) << i;
        EXPECT_LE(samples[i].sentRate, 50000u * 11 / 10) << i;
        EXPECT_GT(samples[i].info.bytesReceived, samples[i - 1].info.bytesReceived) << i;
    }
    EXPECT_GT(samples.back().info.bytesReceived, 0x100000000ull);
    EXPECT_GT(samples.back().info.bytesSent, 0x100000000ull);
}

class DialThreadNoStatisticsTest : public DialThreadTest {
    void PrepareMachine() override { sim::Ras::Get().SetStatisticsEntryPoint(false); }
};

TEST_F(DialThreadNoStatisticsTest, WithoutTheEntryPointSamplesAreSkipped) {
    Ras().SetTrafficRates(1000, 10000);
    ASSERT_TRUE(connection_->Start());
    Sleep(8000);
    EXPECT_TRUE(connection_->IsConnected());
    connection_->Stop();
    connection_->Wait(INFINITE);
    EXPECT_TRUE(listener_.Of("statistics").empty());
    EXPECT_EQ(listener_.Flow(),
              (std::vector<std::string>{"connected", "disconnecting", "disconnected"}));
}

}  // namespace
