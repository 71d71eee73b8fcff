#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <ras.h>
#include "machine/devices.h"
#include "machine/modem.h"
#include "machine/ras.h"

namespace {

struct Note {
    HRASCONN handle;
    UINT message;
    RASCONNSTATE state;
    DWORD error;
    DWORD tick;
    DWORD threadId;
};

std::mutex g_mu;
std::vector<Note> g_notes;
std::atomic<int> g_inside{0};
std::atomic<int> g_overlaps{0};
DWORD g_sleepInFirst = 0;

void Notify(HRASCONN h, UINT msg, RASCONNSTATE state, DWORD error, DWORD ext) {
    if (g_inside.fetch_add(1) != 0) ++g_overlaps;
    bool first;
    {
        std::lock_guard<std::mutex> lk(g_mu);
        first = g_notes.empty();
        g_notes.push_back({h, msg, state, error, GetTickCount(), GetCurrentThreadId()});
    }
    if (first && g_sleepInFirst) Sleep(g_sleepInFirst);
    g_inside.fetch_sub(1);
}

std::vector<Note> Notes() {
    std::lock_guard<std::mutex> lk(g_mu);
    return g_notes;
}

class RasTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        g_notes.clear();
        g_sleepInFirst = 0;
        g_overlaps = 0;
    }

    void PlugModem() {
        sim::ModemOptions o;
        o.startInModemMode = true;
        modem_ = sim::SimModem::Plug(o);
    }

    DWORD WriteEntry(const wchar_t* device = L"CDMA USB Modem", DWORD size = sizeof(RASENTRYW)) {
        RASENTRYW e;
        std::memset(&e, 0, sizeof e);
        e.dwSize = size;
        e.dwfOptions = RASEO_RemoteDefaultGateway | RASEO_SpecificNameServers;
        e.ipaddrDns = {10, 0, 0, 1};
        e.dwfNetProtocols = RASNP_Ip;
        e.dwFramingProtocol = RASFP_Ppp;
        std::wcscpy(e.szLocalPhoneNumber, L"#777");
        std::wcscpy(e.szDeviceType, RASDT_Modem);
        std::wcscpy(e.szDeviceName, device);
        e.dwType = RASET_Phone;
        e.dwfOptions2 = RASEO2_DisableNbtOverIP;
        return RasSetEntryPropertiesW(nullptr, L"Test Entry", &e, sizeof e, nullptr, 0);
    }

    DWORD Dial(HRASCONN* h, const wchar_t* entry = L"Test Entry") {
        RASDIALPARAMSW p;
        std::memset(&p, 0, sizeof p);
        p.dwSize = sizeof p;
        std::wcscpy(p.szEntryName, entry);
        std::wcscpy(p.szUserName, L"u");
        std::wcscpy(p.szPassword, L"pw");
        *h = nullptr;
        return RasDialW(nullptr, nullptr, &p, 1, reinterpret_cast<void*>(&Notify), h);
    }

    RASCONNSTATUSW Status(HRASCONN h, DWORD* rc) {
        RASCONNSTATUSW s;
        std::memset(&s, 0, sizeof s);
        s.dwSize = sizeof s;
        *rc = RasGetConnectStatusW(h, &s);
        return s;
    }

    std::shared_ptr<sim::SimModem> modem_;
};

// ---- Phone book ----

TEST_F(RasTest, EntryKeepsEveryFieldAndRejectsBadSizesAndArguments) {
    ASSERT_EQ(WriteEntry(), 0u);
    auto rec = sim::Ras::Get().Entry(L"TEST ENTRY");
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->size, sizeof(RASENTRYW));
    EXPECT_EQ(rec->entry.dwfOptions, RASEO_RemoteDefaultGateway | RASEO_SpecificNameServers);
    EXPECT_EQ(rec->entry.ipaddrDns.a, 10);
    EXPECT_EQ(rec->entry.ipaddrDns.d, 1);
    EXPECT_STREQ(rec->entry.szDeviceName, L"CDMA USB Modem");
    EXPECT_STREQ(rec->entry.szDeviceType, L"modem");
    EXPECT_EQ(rec->entry.dwfOptions2, RASEO2_DisableNbtOverIP);

    EXPECT_EQ(WriteEntry(L"x", 100), static_cast<DWORD>(ERROR_INVALID_SIZE));
    RASENTRYW e{};
    e.dwSize = sizeof e;
    EXPECT_EQ(RasSetEntryPropertiesW(nullptr, nullptr, &e, sizeof e, nullptr, 0),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RasSetEntryPropertiesW(nullptr, L"", &e, sizeof e, nullptr, 0),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RasSetEntryPropertiesW(nullptr, L"x", nullptr, sizeof e, nullptr, 0),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A size that claims more than the buffer holds.
    EXPECT_EQ(RasSetEntryPropertiesW(nullptr, L"x", &e, 16, nullptr, 0),
              static_cast<DWORD>(ERROR_INVALID_SIZE));

    EXPECT_EQ(RasDeleteEntryW(nullptr, L"Test Entry"), 0u);
    EXPECT_FALSE(sim::Ras::Get().Entry(L"Test Entry").has_value());
    EXPECT_EQ(RasDeleteEntryW(nullptr, L"Test Entry"),
              static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
}

TEST_F(RasTest, EntryReadsBackInTheCallersSizeAndTellsTheSizeItNeeds) {
    ASSERT_EQ(WriteEntry(), 0u);
    DWORD size = 0;
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"test entry", nullptr, &size, nullptr, nullptr),
              static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
    EXPECT_EQ(size, sizeof(RASENTRYW));
    RASENTRYW e{};
    e.dwSize = sizeof e;
    size = sizeof e - 1;
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"Test Entry", &e, &size, nullptr, nullptr),
              static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
    EXPECT_EQ(size, sizeof(RASENTRYW));
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"Test Entry", &e, &size, nullptr, nullptr), 0u);
    EXPECT_STREQ(e.szLocalPhoneNumber, L"#777");
    EXPECT_EQ(e.ipaddrDns.d, 1);
    // The older structure gets the older part.
    e = {};
    e.dwSize = RASENTRYW_V500_SIZE;
    size = RASENTRYW_V500_SIZE;
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"Test Entry", &e, &size, nullptr, nullptr), 0u);
    EXPECT_STREQ(e.szDeviceName, L"CDMA USB Modem");
    EXPECT_EQ(e.dwfOptions2, 0u);

    e.dwSize = 100;
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"Test Entry", &e, &size, nullptr, nullptr),
              static_cast<DWORD>(ERROR_INVALID_SIZE));
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"Other", nullptr, &size, nullptr, nullptr),
              static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"Test Entry", nullptr, nullptr, nullptr, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class RasWin2000Test : public RasTest {
    sim::Config MachineConfig() override { return sim::Config::Windows2000(); }
};

TEST_F(RasWin2000Test, OnlyTheOlderEntrySizeIsKnown) {
    EXPECT_EQ(WriteEntry(L"m", sizeof(RASENTRYW)), static_cast<DWORD>(ERROR_INVALID_SIZE));
    ASSERT_EQ(WriteEntry(L"m", RASENTRYW_V500_SIZE), 0u);
    auto rec = sim::Ras::Get().Entry(L"Test Entry");
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->size, RASENTRYW_V500_SIZE);
    EXPECT_EQ(rec->entry.dwfOptions2, 0u);  // past the size: not taken
    EXPECT_EQ(rec->entry.dwType, RASET_Phone);
}

// ---- Dialling ----

TEST_F(RasTest, NotificationsArriveInOrderOnOneRasThreadAndStopAfterConnected) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    g_sleepInFirst = 700;  // a slow receiver: the next notification waits for it
    HRASCONN h;
    DWORD start = GetTickCount();
    ASSERT_EQ(Dial(&h), 0u);
    ASSERT_NE(h, nullptr);
    Sleep(10000);
    auto notes = Notes();
    ASSERT_EQ(notes.size(), 8u);
    const RASCONNSTATE want[] = {RASCS_OpenPort,
                                 RASCS_PortOpened,
                                 RASCS_ConnectDevice,
                                 RASCS_DeviceConnected,
                                 RASCS_AllDevicesConnected,
                                 RASCS_Authenticate,
                                 RASCS_Authenticated,
                                 RASCS_Connected};
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].state, want[i]) << i;
        EXPECT_EQ(notes[i].handle, h);
        EXPECT_EQ(notes[i].message, WM_RASDIALEVENT);
        EXPECT_EQ(notes[i].error, 0u);
        EXPECT_NE(notes[i].threadId, GetCurrentThreadId());
        EXPECT_EQ(notes[i].threadId, notes[0].threadId);
    }
    EXPECT_EQ(notes[0].tick - start, 100u);
    EXPECT_GE(notes[1].tick, notes[0].tick + 700);  // after the first one returned
    EXPECT_EQ(g_overlaps.load(), 0);
    DWORD rc;
    auto s = Status(h, &rc);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(s.rasconnstate, RASCS_Connected);
    EXPECT_EQ(s.dwError, 0u);
    EXPECT_STREQ(s.szDeviceName, L"CDMA USB Modem");
    EXPECT_STREQ(s.szPhoneNumber, L"#777");  // from the entry: the dial gave no number
    auto dials = sim::Ras::Get().Dials();
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].userName, L"u");
    EXPECT_EQ(dials[0].password, L"pw");
    EXPECT_EQ(dials[0].deviceName, L"CDMA USB Modem");
}

TEST_F(RasTest, DialRejectsBadArgumentsAndUnknownEntries) {
    PlugModem();
    HRASCONN h;
    EXPECT_EQ(Dial(&h, L"Nowhere"), static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    EXPECT_EQ(h, nullptr);
    ASSERT_EQ(WriteEntry(), 0u);
    RASDIALPARAMSW p{};
    p.dwSize = 12;
    std::wcscpy(p.szEntryName, L"Test Entry");
    h = nullptr;
    EXPECT_EQ(RasDialW(nullptr, nullptr, &p, 1, reinterpret_cast<void*>(&Notify), &h),
              static_cast<DWORD>(ERROR_INVALID_SIZE));
    p.dwSize = sizeof p;
    EXPECT_EQ(RasDialW(nullptr, nullptr, &p, 0, reinterpret_cast<void*>(&Notify), &h),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RasDialW(nullptr, nullptr, &p, 1, nullptr, &h),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RasDialW(nullptr, nullptr, &p, 1, reinterpret_cast<void*>(&Notify), nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(sim::Ras::Get().DialCount(), 0);
}

TEST_F(RasTest, FailureCarriesTheNotificationErrorAndTheStatusItsOwn) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    sim::Ras::Get().ScriptNextDial(sim::DialScript::Fail(ERROR_PORT_DISCONNECTED, 0));
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(60000);
    auto notes = Notes();
    ASSERT_EQ(notes.size(), 4u);  // three states, then the error; nothing after it
    EXPECT_EQ(notes[3].state, RASCS_ConnectDevice);
    EXPECT_EQ(notes[3].error, static_cast<DWORD>(ERROR_PORT_DISCONNECTED));
    DWORD rc;
    auto s = Status(h, &rc);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(s.rasconnstate, RASCS_ConnectDevice);
    EXPECT_EQ(s.dwError, 0u);
    EXPECT_EQ(RasHangUpW(h), 0u);
}

TEST_F(RasTest, StatusReportsThePendingErrorWhileDialling) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    sim::DialScript script = sim::DialScript::Hang();
    script.dialStatusError = PENDING;
    sim::Ras::Get().ScriptNextDial(script);
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(100000);
    EXPECT_EQ(Notes().size(), 3u);
    DWORD rc;
    auto s = Status(h, &rc);
    EXPECT_EQ(s.rasconnstate, RASCS_ConnectDevice);
    EXPECT_EQ(s.dwError, static_cast<DWORD>(PENDING));
    EXPECT_EQ(RasHangUpW(h), 0u);
}

TEST_F(RasTest, SynchronousFailureWithAndWithoutAHandle) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    auto& ras = sim::Ras::Get();
    ras.ScriptNextDial(sim::DialScript::FailSync(ERROR_PORT_NOT_AVAILABLE, false));
    ras.ScriptNextDial(sim::DialScript::FailSync(ERROR_HARDWARE_FAILURE, true));
    HRASCONN h;
    EXPECT_EQ(Dial(&h), static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(Dial(&h), static_cast<DWORD>(ERROR_HARDWARE_FAILURE));
    ASSERT_NE(h, nullptr);
    Sleep(5000);
    EXPECT_TRUE(Notes().empty());
    DWORD rc;
    auto s = Status(h, &rc);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(s.dwError, static_cast<DWORD>(ERROR_HARDWARE_FAILURE));
    EXPECT_EQ(ras.OpenConnections(), 1);
    EXPECT_EQ(RasHangUpW(h), 0u);
    EXPECT_EQ(ras.DialCount(), 2);
}

// ---- Hang-up ----

TEST_F(RasTest, HangUpTearsDownForTheScriptedTimeThenTheHandleIsInvalid) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    auto& ras = sim::Ras::Get();
    ras.SetHangUpTime(3000);
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(5000);
    ASSERT_EQ(Notes().back().state, RASCS_Connected);
    DWORD start = GetTickCount();
    EXPECT_EQ(RasHangUpW(h), 0u);
    EXPECT_EQ(RasHangUpW(h), 0u);  // again during the teardown: no second teardown
    DWORD rc;
    auto s = Status(h, &rc);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(s.rasconnstate, RASCS_Disconnected);
    Sleep(2999);
    Status(h, &rc);
    EXPECT_EQ(rc, 0u);
    Sleep(1);
    Status(h, &rc);
    EXPECT_EQ(rc, static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetTickCount() - start, 3000u);
    EXPECT_EQ(RasHangUpW(h), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ras.HangUpCount(), 1);
    EXPECT_EQ(ras.HangUpCalls(), 3);
}

TEST_F(RasTest, NoNotificationAfterTheHangUpBegan) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    g_sleepInFirst = 1000;
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(150);  // the first notification is running (it sleeps 1 s)
    ASSERT_EQ(Notes().size(), 1u);
    DWORD before = GetTickCount();
    EXPECT_EQ(RasHangUpW(h), 0u);
    // The hang-up waited for the running notification to return.
    EXPECT_EQ(GetTickCount() - before, 950u);
    EXPECT_EQ(g_inside.load(), 0);
    Sleep(20000);
    EXPECT_EQ(Notes().size(), 1u);
}

// A notification routine may hang up its own connection: the hang-up does not wait for the
// notification that is calling it.
TEST_F(RasTest, HangUpFromTheNotificationItselfReturns) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    static HANDLE returned = nullptr;
    static DWORD result = 1;
    returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    result = 1;
    RASDIALPARAMSW p;
    std::memset(&p, 0, sizeof p);
    p.dwSize = sizeof p;
    std::wcscpy(p.szEntryName, L"Test Entry");
    auto hangUpAtOnce = [](HRASCONN h, UINT, RASCONNSTATE, DWORD, DWORD) {
        result = RasHangUpW(h);
        SetEvent(returned);
    };
    HRASCONN h = nullptr;
    ASSERT_EQ(RasDialW(nullptr, nullptr, &p, 1,
                       reinterpret_cast<void*>(static_cast<RasDialFunc1>(hangUpAtOnce)), &h),
              0u);
    ASSERT_EQ(WaitForSingleObject(returned, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(sim::Ras::Get().HangUpCount(), 1);
    CloseHandle(returned);
}

// RAS belongs to its machine: a reset brings a fresh one, and the replaced machine's RAS keeps
// what it saw for threads that still hold it.
TEST_F(RasTest, EachMachineHasItsOwnRas) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    sim::Ras& before = sim::Ras::Get();
    EXPECT_EQ(&sim::Ras::Of(M()), &before);
    // No notification of the old machine's dial may still be on its way at the reset.
    ASSERT_EQ(RasHangUpW(h), 0u);

    sim::Machine::Reset(MachineConfig());
    sim::Ras& after = sim::Ras::Get();
    EXPECT_NE(&after, &before);
    EXPECT_EQ(after.DialCount(), 0);
    EXPECT_FALSE(after.Entry(L"Test Entry").has_value());
    EXPECT_EQ(after.OpenConnections(), 0);
    EXPECT_EQ(before.DialCount(), 1);
    EXPECT_TRUE(before.Entry(L"Test Entry").has_value());
}

TEST_F(RasTest, StatusOfUnknownHandlesAndBadSizes) {
    DWORD rc;
    Status(reinterpret_cast<HRASCONN>(0x1234), &rc);
    EXPECT_EQ(rc, static_cast<DWORD>(ERROR_INVALID_HANDLE));
    RASCONNSTATUSW s{};
    s.dwSize = 8;
    EXPECT_EQ(RasGetConnectStatusW(reinterpret_cast<HRASCONN>(0x1234), &s),
              static_cast<DWORD>(ERROR_INVALID_SIZE));
    EXPECT_EQ(RasGetConnectStatusW(reinterpret_cast<HRASCONN>(0x1234), nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- The line and the modem ----

TEST_F(RasTest, DroppedLineReportsItsErrorAndAKilledHandleIsInvalid) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    auto& ras = sim::Ras::Get();
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(5000);
    ASSERT_TRUE(ras.DropLine(ERROR_PORT_DISCONNECTED));
    DWORD rc;
    auto s = Status(h, &rc);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(s.rasconnstate, RASCS_Disconnected);
    EXPECT_EQ(s.dwError, static_cast<DWORD>(ERROR_PORT_DISCONNECTED));
    EXPECT_EQ(Notes().size(), 8u);  // no notification for a drop after connecting
    ASSERT_TRUE(ras.KillHandle());
    Status(h, &rc);
    EXPECT_EQ(rc, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(RasTest, EnumeratedConnectionsAreTheLiveOnesAndABufferTooSmallIsTold) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    RASCONNW conns[2] = {};
    conns[0].dwSize = sizeof(RASCONNW);
    DWORD size = sizeof conns, count = 7;
    EXPECT_EQ(RasEnumConnectionsW(conns, &size, &count), 0u);
    EXPECT_EQ(count, 0u);

    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    size = 0;
    EXPECT_EQ(RasEnumConnectionsW(nullptr, &size, &count),
              static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
    EXPECT_EQ(size, sizeof(RASCONNW));
    size = sizeof conns;
    EXPECT_EQ(RasEnumConnectionsW(conns, &size, &count), 0u);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(conns[0].hrasconn, h);
    EXPECT_STREQ(conns[0].szEntryName, L"Test Entry");
    EXPECT_STREQ(conns[0].szDeviceName, L"CDMA USB Modem");
    conns[0].dwSize = 12;
    EXPECT_EQ(RasEnumConnectionsW(conns, &size, &count), static_cast<DWORD>(ERROR_INVALID_SIZE));

    // A connection whose hang-up began is no longer listed.
    ASSERT_EQ(RasHangUpW(h), 0u);
    conns[0].dwSize = sizeof(RASCONNW);
    EXPECT_EQ(RasEnumConnectionsW(conns, &size, &count), 0u);
    EXPECT_EQ(count, 0u);
}

TEST_F(RasTest, DiallingADeviceNoModemCarriesFails) {
    ASSERT_EQ(WriteEntry(L"Some Other Modem"), 0u);
    PlugModem();
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(1000);
    auto notes = Notes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1].error, static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));
    DWORD rc;
    EXPECT_EQ(Status(h, &rc).dwError, static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));
}

TEST_F(RasTest, UnpluggingTheModemDropsTheLiveConnection) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(5000);
    DWORD rc;
    ASSERT_EQ(Status(h, &rc).rasconnstate, RASCS_Connected);
    modem_->Unplug();
    auto s = Status(h, &rc);
    EXPECT_EQ(s.rasconnstate, RASCS_Disconnected);
    EXPECT_EQ(s.dwError, static_cast<DWORD>(ERROR_DISCONNECTION));
}

TEST_F(RasTest, UnpluggingDuringTheDialFailsIt) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(250);  // two states in
    modem_->Unplug();
    Sleep(5000);
    auto notes = Notes();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[2].state, RASCS_PortOpened);
    EXPECT_EQ(notes[2].error, static_cast<DWORD>(ERROR_HARDWARE_FAILURE));
}

// ---- Error texts ----

TEST_F(RasTest, ErrorStringsComeFromTheTable) {
    wchar_t buf[512];
    ASSERT_EQ(RasGetErrorStringW(678, buf, 512), 0u);
    EXPECT_STREQ(buf, L"There was no answer.");
    ASSERT_EQ(RasGetErrorStringW(619, buf, 512), 0u);
    EXPECT_NE(std::wstring(buf).find(L"port"), std::wstring::npos);
    EXPECT_EQ(RasGetErrorStringW(5, buf, 512), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RasGetErrorStringW(678, buf, 5), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(RasGetErrorStringW(678, nullptr, 512), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- Statistics ----

PFN_RASGETCONNECTIONSTATISTICS BindStatistics() {
    HMODULE lib = LoadLibraryW(L"RasAPI32.dll");
    if (!lib) return nullptr;
    return reinterpret_cast<PFN_RASGETCONNECTIONSTATISTICS>(
        GetProcAddress(lib, "RasGetConnectionStatistics"));
}

TEST_F(RasTest, CountersGrowWithTheRatesAndWrapAt32Bits) {
    PlugModem();
    ASSERT_EQ(WriteEntry(), 0u);
    auto& ras = sim::Ras::Get();
    ras.SetTrafficRates(1000, 4000);
    auto stats = BindStatistics();
    ASSERT_NE(stats, nullptr);
    HRASCONN h;
    ASSERT_EQ(Dial(&h), 0u);
    Sleep(1000);  // the connection comes up at 1300 ms
    RAS_STATS st{};
    st.dwSize = sizeof st;
    Sleep(2300);  // 2 s connected
    ASSERT_EQ(stats(h, &st), 0u);
    EXPECT_EQ(st.dwBytesXmited, 2000u);
    EXPECT_EQ(st.dwBytesRcved, 8000u);
    EXPECT_EQ(st.dwConnectDuration, 2000u);

    ASSERT_TRUE(ras.SetCounters(0xFFFFFF00ull, 0xFFFFF000ull));
    Sleep(1000);
    ASSERT_EQ(stats(h, &st), 0u);
    EXPECT_EQ(st.dwBytesXmited, 1000u - 0x100u);  // wrapped
    EXPECT_EQ(st.dwBytesRcved, 4000u - 0x1000u);

    st.dwSize = 10;
    EXPECT_EQ(stats(h, &st), static_cast<DWORD>(ERROR_INVALID_SIZE));
    st.dwSize = sizeof st;
    EXPECT_EQ(stats(reinterpret_cast<HRASCONN>(0x99), &st),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(RasTest, TheStatisticsEntryPointCanBeRemoved) {
    sim::Ras::Get().SetStatisticsEntryPoint(false);
    HMODULE lib = LoadLibraryW(L"RasAPI32.dll");
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(GetProcAddress(lib, "RasGetConnectionStatistics"), nullptr);
    sim::Ras::Get().SetStatisticsEntryPoint(true);
    EXPECT_NE(BindStatistics(), nullptr);
}

}  // namespace
