// The program's command line: registering, starting, stopping and removing the service, the
// device options, and the exit code.
#include <gtest/gtest.h>

#include "machine/modem.h"
#include "support/device_control.h"
#include "ulvane_fixture.h"

namespace {

// A service program of the tests' own that stops as told: at once, after a pending phase with a
// given wait hint, or never. Control 128 puts it into the pending phase without stopping it.
struct StubBehaviour {
    DWORD stopHint = 0;
    bool neverStop = false;
    DWORD stopDelayMs = 0;  // from the stop request until it reports SERVICE_STOPPED
};
StubBehaviour g_stub;
HANDLE g_stubStop = nullptr;
SERVICE_STATUS_HANDLE g_stubStatus = nullptr;
const wchar_t kStubStopName[] = L"Stub.stop";
HANDLE g_stubStopHere = nullptr;  // the stub process's handle to the event

void StubReport(DWORD state, DWORD hint) {
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state;
    s.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    s.dwWaitHint = hint;
    SetServiceStatus(g_stubStatus, &s);
}

DWORD StubHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP || control == 128) {
        StubReport(SERVICE_STOP_PENDING, g_stub.stopHint);
        if (control == SERVICE_CONTROL_STOP && !g_stub.neverStop) SetEvent(g_stubStopHere);
    }
    return NO_ERROR;
}

void StubMain(DWORD, LPWSTR* argv) {
    // The stub runs in a process of its own: it opens the test's event by name.
    g_stubStopHere = OpenEventW(EVENT_ALL_ACCESS, FALSE, kStubStopName);
    g_stubStatus = RegisterServiceCtrlHandlerExW(argv[0], StubHandler, nullptr);
    StubReport(SERVICE_RUNNING, 0);
    WaitForSingleObject(g_stubStopHere, INFINITE);
    Sleep(g_stub.stopDelayMs);
    StubReport(SERVICE_STOPPED, 0);
}

int StubProgram(int, wchar_t**) {
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, StubMain}, {nullptr, nullptr}};
    StartServiceCtrlDispatcherW(table);
    return 0;
}

class OptionsTest : public UlvaneTest {
protected:
    // Installs and starts a stub service under the given name.
    void StartStub(const std::wstring& name, std::vector<std::wstring> dependencies = {}) {
        g_stubStop = CreateEventW(nullptr, TRUE, FALSE, kStubStopName);
        M().WriteFile(Folder() + L"Stub.exe", "MZ");
        M().processes().RegisterProgram(L"Stub.exe", [](const sim::ProcessRun& run) {
            return sim::RunMain(run, &StubProgram);
        });
        sim::ServiceConfig c;
        c.name = name;
        c.binaryPath = L"\"" + Folder() + L"Stub.exe\"";
        c.dependencies = dependencies;
        ASSERT_EQ(M().services().Install(c), 0u);
        ASSERT_EQ(M().services().Start(name), 0u);
        ASSERT_TRUE(M().services().WaitForState(name, SERVICE_RUNNING, 5000));
    }
};

TEST_F(OptionsTest, RegisterInAnyCaseRegistersTheQuotedPathAndStarts) {
    for (const wchar_t* option : {L"-r", L"-R", L"-register", L"-REGISTER", L"-Register"}) {
        M().ClearCaptured();
        EXPECT_EQ(Run({option}), 0);
        auto info = M().services().Get(kServiceName);
        ASSERT_TRUE(info) << sim::ToUtf8(option);
        EXPECT_EQ(info->config.binaryPath, L"\"" + UlvanePath() + L"\"");
        EXPECT_EQ(info->config.displayName, kServiceName);
        EXPECT_EQ(info->config.type, 0x110u);
        EXPECT_EQ(info->config.startType, SERVICE_AUTO_START);
        EXPECT_EQ(info->config.errorControl, SERVICE_ERROR_NORMAL);
        EXPECT_TRUE(info->config.account.empty());
        EXPECT_EQ(info->status.dwCurrentState, SERVICE_RUNNING);
        int created = IndexOf(L"CreateService  Successfully.\n");
        int pending = IndexOf(L"Service start pending...\n", created);
        EXPECT_GE(created, 0);
        EXPECT_GT(pending, created);
        EXPECT_GT(IndexOf(L"Service started successfully.\n", pending), pending);
        auto runs = Started(L"Ulvane.exe");
        ASSERT_FALSE(runs.empty());
        EXPECT_EQ(runs.back().user, L"SYSTEM");
        EXPECT_EQ(runs.back().argv, std::vector<std::wstring>{UlvanePath()});

        // "-u" right after: stopped and gone, so that the next "-r" is not refused as marked
        // for deletion.
        EXPECT_EQ(Run({L"-u"}), 0);
        EXPECT_EQ(Count(L"Service stopped successfully\n"), 1);
        EXPECT_EQ(Count(L"Service deleted successfully\n"), 1);
        EXPECT_FALSE(M().services().Exists(kServiceName));
        EXPECT_EQ(Count(L"CreateService FAILED (1072)\n"), 0);
    }
}

TEST_F(OptionsTest, UnknownOptionsAndFurtherLettersDoNothing) {
    auto modem = sim::SimModem::Plug();
    for (std::vector<std::wstring> args : {std::vector<std::wstring>{L"-Registerx"},
                                           {L"-Rx"},
                                           {L"-Unregisterx"},
                                           {L"Register"},
                                           {L"-Start2"},
                                           {L""},
                                           {L"-CDB"},
                                           {L"-CDB", L"9F", L"a", L"b"}}) {
        EXPECT_EQ(Run(args), 0);
    }
    EXPECT_FALSE(M().services().Exists(kServiceName));
    EXPECT_TRUE(modem->Requests().empty());
    EXPECT_EQ(CountContaining(L"Service"), 0);
    EXPECT_EQ(CountContaining(L"OpenSCManager"), 0);
}

TEST_F(OptionsTest, CdbSendsToTheModemOrToTheGivenPath) {
    auto modem = sim::SimModem::Plug();
    modem->RejectSwitch(true);
    EXPECT_EQ(Run({L"-cdb", L"9f0102"}), 0);
    EXPECT_EQ(Run({L"-CDB", L"12", modem->CdromInterfacePath()}), 0);
    auto requests = modem->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].cdb, (std::vector<BYTE>{0x9F, 0x01, 0x02, 0, 0, 0}));
    EXPECT_EQ(requests[1].cdb, (std::vector<BYTE>{0x12, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Run({L"-CDB", L"9F0"}), 0);  // odd length: refused
    EXPECT_EQ(modem->Requests().size(), 2u);
}

TEST_F(OptionsTest, ExistingServiceIsStillStarted) {
    sim::ServiceConfig c;
    c.name = kServiceName;
    c.binaryPath = L"\"" + UlvanePath() + L"\"";
    c.type = 0x110;
    ASSERT_EQ(M().services().Install(c), 0u);
    EXPECT_EQ(Run({L"-r"}), 0);
    int failed = IndexOf(L"CreateService FAILED (1073)\n");
    EXPECT_GE(failed, 0);
    EXPECT_GT(IndexOf(L"Service started successfully.\n", failed), failed);
    EXPECT_EQ(M().services().Get(kServiceName)->status.dwCurrentState, SERVICE_RUNNING);
}

TEST_F(OptionsTest, UnregisterRunsEveryStepEvenWhenTheServiceIsMissing) {
    // A USB-chip CD-ROM that was disabled and is not plugged in any more.
    auto modem = sim::SimModem::Plug({.variant = sim::ModemVariant::UsbChip});
    ASSERT_TRUE(SetUsbChipCdromState(false, true));
    modem->Unplug();
    sim::DeviceNode node;
    ASSERT_TRUE(M().devices().FindInstance(modem->ChipCdromInstanceId(), &node));
    ASSERT_TRUE(node.disabledConfig);

    EXPECT_EQ(Run({L"-U"}), 0);
    EXPECT_EQ(Count(L"OpenService FAILED (1060)\n"), 2);  // the stop and the delete
    ASSERT_TRUE(M().devices().FindInstance(modem->ChipCdromInstanceId(), &node));
    EXPECT_FALSE(node.disabledConfig);
    EXPECT_FALSE(node.disabledGlobal);
}

TEST_F(OptionsTest, FailuresReachNeitherTheExitCodeNorTheNextStep) {
    M().faults().Inject(sim::ServiceOp::OpenManager, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run({L"-r"}), 0);
    EXPECT_EQ(Count(L"OpenSCManager FAILED (5)\n"), 2);  // Create, then Start all the same
    EXPECT_EQ(Run({L"-Stop"}), 0);
    EXPECT_EQ(Run({L"-Start"}), 0);
    EXPECT_EQ(Count(L"OpenSCManager FAILED (5)\n"), 4);
    EXPECT_FALSE(M().services().Exists(kServiceName));
}

TEST_F(OptionsTest, StartAndStopOptions) {
    StartService();
    EXPECT_EQ(Run({L"-Start"}), 0);
    EXPECT_EQ(Count(L"StartService FAILED (1056)\n"), 1);
    EXPECT_EQ(Run({L"-stop"}), 0);
    EXPECT_EQ(Count(L"Service stopped successfully\n"), 1);
    EXPECT_EQ(M().services().Get(kServiceName)->status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(Run({L"-Stop"}), 0);
    EXPECT_EQ(Count(L"Service is already stopped.\n"), 1);
    EXPECT_EQ(Run({L"-START"}), 0);
    EXPECT_EQ(Count(L"Service started successfully.\n"), 2);
}

TEST_F(OptionsTest, StopStopsActiveDependentsFirst) {
    StartService();
    StartStub(L"Dependent", {kServiceName});
    EXPECT_EQ(Run({L"-Stop"}), 0);
    auto dependent = M().services().Get(L"Dependent");
    ASSERT_TRUE(dependent);
    EXPECT_EQ(dependent->status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(dependent->handledControls, std::vector<DWORD>{SERVICE_CONTROL_STOP});
    EXPECT_EQ(Count(L"Service stopped successfully\n"), 1);
}

TEST_F(OptionsTest, StopWaitsAtMostThirtySecondsForAServiceThatReportsNoWaitHint) {
    g_stub = StubBehaviour{0, true};
    StartStub(kServiceName);
    DWORD before = GetTickCount();
    EXPECT_EQ(Run({L"-Stop"}), 0);
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 30000u);
    EXPECT_LE(elapsed, 31001u);
    // One poll a second: a hint of 0 does not make the loop spin.
    EXPECT_LE(M().services().Get(kServiceName)->statusQueries, 33);
    EXPECT_EQ(Count(L"Wait timed out\n"), 1);
    EXPECT_EQ(Count(L"Service stopped successfully\n"), 0);
}

TEST_F(OptionsTest, StopWaitsAtMostThirtySecondsForAServiceThatReportsAHugeWaitHint) {
    g_stub = StubBehaviour{0xFFFFFFFFu, true};
    StartStub(kServiceName);
    ASSERT_EQ(M().services().Control(kServiceName, 128), 0u);  // stop pending, never stopped
    DWORD before = GetTickCount();
    EXPECT_EQ(Run({L"-Stop"}), 0);
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 30000u);
    EXPECT_LE(elapsed, 31001u);
    EXPECT_EQ(Count(L"Service stop pending...\n"), 4);  // 10 s, 10 s, 10 s and the last second
    EXPECT_EQ(Count(L"Service stop timed out.\n"), 1);
}

TEST_F(OptionsTest, StopWaitsForAStopPendingServiceToEnd) {
    g_stub = StubBehaviour{25000, false, 2000};
    StartStub(kServiceName);
    ASSERT_EQ(M().services().Control(kServiceName, 128), 0u);
    SetEvent(g_stubStop);  // it stops at its own pace
    EXPECT_EQ(Run({L"-Stop"}), 0);
    EXPECT_EQ(Count(L"Service stop pending...\n"), 1);
    EXPECT_EQ(Count(L"Service stopped successfully.\n"), 1);
}

TEST_F(OptionsTest, WithoutArgumentsOutsideTheServiceManagerTheDispatcherFails) {
    EXPECT_EQ(Run({}), 0);
    EXPECT_EQ(Log(),
              (std::vector<std::wstring>{L"Ulvane Entered service code.\n",
                                         L"StartServiceCtrlDispatcher Error code : 1063.\n"}));
}

TEST_F(OptionsTest, QuotedPathIsNotTakenForAProgramPlantedOnTheWay) {
    // "C:\Program Files\Modem\Ulvane.exe" read unquoted would run "C:\Program.exe".
    M().WriteFile(L"C:\\Program.exe", "MZ");
    M().processes().RegisterProgram(L"Program.exe",
                                    [](const sim::ProcessRun&) -> DWORD { return 0; });
    StartService();
    EXPECT_TRUE(Started(L"Program.exe").empty());
    EXPECT_EQ(Started(L"Ulvane.exe").size(), 1u);
}

class LongPathTest : public OptionsTest {
protected:
    static std::wstring LongFolder(std::size_t components) {
        std::wstring folder = L"C:\\";
        for (std::size_t i = 0; i < components; ++i) folder += std::wstring(100, L'a' + i) + L"\\";
        return folder;
    }
    sim::Config BaseConfig() override {
        sim::Config c = sim::Config::WindowsXP();
        c.programFolder = LongFolder(components_);
        return c;
    }
    std::size_t components_ = 3;
};

TEST_F(LongPathTest, APathLongerThan256CharactersIsRegisteredWhole) {
    ASSERT_GT(UlvanePath().size(), 256u);
    StartService();
    EXPECT_EQ(M().services().Get(kServiceName)->config.binaryPath, L"\"" + UlvanePath() + L"\"");
}

class CutPathTest : public LongPathTest {
protected:
    void SetUp() override {
        components_ = 11;
        LongPathTest::SetUp();
    }
};

TEST_F(CutPathTest, APathThatDoesNotFitIsNotRegistered) {
    ASSERT_GT(UlvanePath().size(), 1024u);
    // (The log stays off: its switch file is looked for beside the program, whose folder does
    // not fit the log's buffer either.)
    EXPECT_EQ(Run({L"-r"}), 0);
    EXPECT_FALSE(M().services().Exists(kServiceName));
    EXPECT_TRUE(Started(L"Ulvane.exe").empty());
}

}  // namespace
