// Data sent between programs (WM_COPYDATA), device broadcasts to top-level windows and message
// boxes with scripted answers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include <dbt.h>
#include <winbase.h>
#include "machine/boxes.h"
#include "machine/modem.h"
#include "machine/processes.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

// ---- WM_COPYDATA between two processes ----

struct Received {
    ULONG_PTR tag = 0;
    std::vector<BYTE> bytes;
    const void* where = nullptr;
    DWORD pid = 0;
};
std::mutex g_receivedMu;
std::vector<Received> g_received;

LRESULT CALLBACK ReceiverProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        Received r;
        r.tag = cds->dwData;
        const auto* p = static_cast<const BYTE*>(cds->lpData);
        if (cds->cbData != 0) r.bytes.assign(p, p + cds->cbData);
        r.where = cds->lpData;
        r.pid = GetCurrentProcessId();
        std::lock_guard<std::mutex> lk(g_receivedMu);
        g_received.push_back(r);
        return static_cast<LRESULT>(0x5000 + cds->cbData);
    }
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(w, m, wp, lp);
}

int ReceiverMain(int, wchar_t**) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ReceiverProc;
    wc.lpszClassName = L"CopyReceiver";
    RegisterClassExW(&wc);
    CreateWindowExW(0, L"CopyReceiver", L"Receiver", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                    nullptr, nullptr, nullptr);
    SetEvent(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Receiver.ready"));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

class CopyDataTest : public WindowTest {};

TEST_F(CopyDataTest, AnotherProcessGetsACopyOfTheBytesAndTheSenderItsResult) {
    M().WriteFile(L"C:\\Tools\\Receiver.exe", "MZ");
    M().processes().RegisterProgram(L"Receiver.exe", [](const sim::ProcessRun& run) {
        return sim::RunMain(run, &ReceiverMain);
    });
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"Receiver.ready");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(L"C:\\Tools\\Receiver.exe", &pi));
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    HWND receiver = FindWindowW(L"CopyReceiver", L"Receiver");
    ASSERT_NE(receiver, nullptr);
    HWND sender = MakeWindow();

    struct Case {
        ULONG_PTR tag;
        std::vector<BYTE> bytes;
    };
    std::vector<BYTE> big(5000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
    const std::vector<Case> cases = {{1, {}}, {2, {'h', 'i', 0, 0xFF}}, {3, big}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        std::vector<BYTE> mine = c.bytes;
        COPYDATASTRUCT cds{c.tag, static_cast<DWORD>(mine.size()),
                           mine.empty() ? nullptr : mine.data()};
        LRESULT r = SendMessageW(receiver, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                                 reinterpret_cast<LPARAM>(&cds));
        EXPECT_EQ(r, static_cast<LRESULT>(0x5000 + mine.size()));
        std::lock_guard<std::mutex> lk(g_receivedMu);
        ASSERT_FALSE(g_received.empty());
        const Received& got = g_received.back();
        EXPECT_EQ(got.pid, pi.dwProcessId);
        EXPECT_EQ(got.tag, c.tag);
        EXPECT_EQ(got.bytes, c.bytes);
        if (!mine.empty()) {
            EXPECT_NE(got.where, mine.data()) << "the receiver reads a copy";
        }
    }
    EXPECT_EQ(g_received.size(), cases.size());

    PostMessageW(receiver, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(ready);
}

TEST_F(CopyDataTest, OnlyAMessageThatWaitsForItsAnswerCarriesData) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND other = nullptr;
    DWORD otherId = 0;
    HANDLE pump = StartThread([&] {
        otherId = GetCurrentThreadId();
        other = MakeWindow();
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        return 0u;
    });
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    BYTE bytes[4] = {1, 2, 3, 4};
    COPYDATASTRUCT good{1, sizeof bytes, bytes};
    COPYDATASTRUCT noPointer{2, 16, nullptr};
    auto Lp = [](COPYDATASTRUCT& c) { return reinterpret_cast<LPARAM>(&c); };
    struct Case {
        const char* name;
        std::function<BOOL()> call;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {"posted", [&] { return PostMessageW(other, WM_COPYDATA, 0, Lp(good)); },
         ERROR_MESSAGE_SYNC_ONLY},
        {"notify", [&] { return SendNotifyMessageW(other, WM_COPYDATA, 0, Lp(good)); },
         ERROR_MESSAGE_SYNC_ONLY},
        {"no pointer",
         [&] { return static_cast<BOOL>(SendMessageW(other, WM_COPYDATA, 0, Lp(noPointer))); },
         ERROR_INVALID_PARAMETER},
        {"no pointer, with a timeout",
         [&] {
             DWORD_PTR result = 0;
             return static_cast<BOOL>(SendMessageTimeoutW(other, WM_COPYDATA, 0, Lp(noPointer),
                                                          SMTO_NORMAL, 1000, &result));
         },
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(GetLastError(), c.error);
    }
    SendMessageW(other, WM_NULL, 0, 0);  // anything queued before it has been handled
    EXPECT_TRUE(Entries(WM_COPYDATA).empty());
    PostThreadMessageW(otherId, WM_QUIT, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pump, INFINITE), WAIT_OBJECT_0);
}

// ---- WM_DEVICECHANGE ----

struct Broadcast {
    HWND hwnd;
    WPARAM event;
    DWORD type;
    std::wstring name;
};

class DeviceChangeTest : public WindowTest {};

TEST_F(DeviceChangeTest, TopLevelWindowsOfAPumpingThreadHearArrivalAndRemoval) {
    SharedLog<Broadcast> heard;
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
        if (m != WM_DEVICECHANGE || wp == DBT_DEVNODES_CHANGED) return std::nullopt;
        const auto* b = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lp);
        heard.Add({w, wp, b->dbcc_devicetype, b->dbcc_name});
        return TRUE;
    };
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND top = nullptr;
    HWND child = nullptr;
    DWORD pumpId = 0;
    HANDLE pump = StartThread([&] {
        pumpId = GetCurrentThreadId();
        top = MakeWindow();
        child = MakeWindow(WS_CHILD, top, 1);
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        return 0u;
    });
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);

    auto modem = sim::SimModem::Plug();
    SendMessageW(top, WM_NULL, 0, 0);  // handled after the broadcasts queued before it
    auto arrivals = heard.Items();
    modem->Unplug();
    SendMessageW(top, WM_NULL, 0, 0);
    auto all = heard.Items();
    std::vector<Broadcast> removals(all.begin() + static_cast<std::ptrdiff_t>(arrivals.size()),
                                    all.end());

    struct Phase {
        const char* name;
        const std::vector<Broadcast>& got;
        WPARAM event;
    };
    for (const Phase& p : {Phase{"plug", arrivals, DBT_DEVICEARRIVAL},
                           Phase{"unplug", removals, DBT_DEVICEREMOVECOMPLETE}}) {
        SCOPED_TRACE(p.name);
        ASSERT_FALSE(p.got.empty());
        bool sawCdrom = false;
        for (const Broadcast& b : p.got) {
            EXPECT_EQ(b.hwnd, top) << "only top-level windows hear broadcasts";
            EXPECT_EQ(b.event, p.event);
            EXPECT_EQ(b.type, DBT_DEVTYP_DEVICEINTERFACE);
            sawCdrom = sawCdrom || b.name == modem->CdromInterfacePath();
        }
        EXPECT_TRUE(sawCdrom);
    }
    EXPECT_TRUE(Entries(WM_DEVICECHANGE, child).empty());
    for (const Logged& l : Entries(WM_DEVICECHANGE)) EXPECT_EQ(l.thread, pumpId);

    PostThreadMessageW(pumpId, WM_QUIT, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pump, INFINITE), WAIT_OBJECT_0);
}

// ---- Message boxes ----

class MessageBoxTest : public WindowTest {
protected:
    sim::MessageBoxes& Boxes() { return M().boxes(); }
};

TEST_F(MessageBoxTest, ScriptedAnswersComeInOrderThenEachKindsDefault) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(Boxes().Script(IDYES));
    ASSERT_TRUE(Boxes().Script(IDRETRY));
    struct Case {
        UINT type;
        const wchar_t* caption;
        int expected;
    };
    const std::vector<Case> cases = {
        {MB_YESNO | MB_ICONQUESTION, L"First", IDYES},  // scripted
        {MB_RETRYCANCEL, L"Second", IDRETRY},           // scripted
        {MB_OK | MB_ICONINFORMATION, L"Third", IDOK},   // defaults from here on
        {MB_YESNO, L"Fourth", IDNO},
        {MB_OKCANCEL, L"Fifth", IDCANCEL},
        {MB_ABORTRETRYIGNORE, nullptr, IDABORT},
    };
    for (const Case& c : cases) {
        std::wstring text = std::wstring(L"Text of ") + (c.caption ? c.caption : L"none");
        EXPECT_EQ(MessageBoxW(owner, text.c_str(), c.caption, c.type), c.expected);
    }
    EXPECT_EQ(Boxes().Pending(), 0u);
    auto journal = Boxes().Journal();
    ASSERT_EQ(journal.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(journal[i].owner, owner);
        EXPECT_EQ(journal[i].caption, cases[i].caption ? cases[i].caption : L"Error");
        EXPECT_EQ(journal[i].text,
                  std::wstring(L"Text of ") + (cases[i].caption ? cases[i].caption : L"none"));
        EXPECT_EQ(journal[i].type, cases[i].type);
        EXPECT_EQ(journal[i].answer, cases[i].expected);
    }
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr) << "every box is gone";
}

TEST_F(MessageBoxTest, BadScriptsAndOwnersAreRefused) {
    for (int id : {0, 8, 9, 12, -1}) EXPECT_FALSE(Boxes().Script(id)) << id;
    EXPECT_EQ(Boxes().Pending(), 0u);
    HWND gone = MakeWindow();
    DestroyWindow(gone);
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(gone, L"text", L"caption", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(Boxes().Journal().empty());
}

TEST_F(MessageBoxTest, TheOwnerIsDisabledWhileTheBoxIsUpAndItsTimersKeepFiring) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Drain();
    struct Seen {
        bool ownerEnabled;
        HWND box;
        bool boxOwned;
    };
    std::vector<Seen> seen;
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_TIMER || w != owner) return std::nullopt;
        HWND box = FindWindowW(L"#32770", L"Busy");
        seen.push_back({IsWindowEnabled(owner) != FALSE, box,
                        box != nullptr && GetWindow(box, GW_OWNER) == owner});
        return 0;
    };
    ASSERT_NE(SetTimer(owner, 7, 100, nullptr), 0u);
    ASSERT_TRUE(Boxes().Script(IDOK, 1000));  // the user answers after a second
    MessageLog().Clear();
    EXPECT_EQ(MessageBoxW(owner, L"Please wait", L"Busy", MB_OK), IDOK);

    EXPECT_GE(seen.size(), 5u) << "the owner's timer fires inside the box's loop";
    for (const Seen& s : seen) {
        EXPECT_FALSE(s.ownerEnabled);
        EXPECT_NE(s.box, nullptr);
        EXPECT_TRUE(s.boxOwned);
    }
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(FindWindowW(L"#32770", L"Busy"), nullptr);
    auto enables = Entries(WM_ENABLE, owner);
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(enables[0].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(enables[1].wParam, static_cast<WPARAM>(TRUE));
}

TEST_F(MessageBoxTest, AnOwnerDisabledBeforeStaysDisabled) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    EnableWindow(owner, FALSE);
    EXPECT_EQ(MessageBoxW(owner, L"text", L"caption", MB_OK), IDOK);
    EXPECT_FALSE(IsWindowEnabled(owner));
}

TEST_F(MessageBoxTest, AQuitMessageEndsTheBoxAndIsPostedAgain) {
    ASSERT_TRUE(Boxes().Script(IDYES, 60000));
    PostQuitMessage(3);
    EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", MB_YESNO), IDYES);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageBoxTest, ABoxItsProgramClosesAnswersCancel) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_TIMER || w != owner) return std::nullopt;
        PostMessageW(FindWindowW(L"#32770", L"Closing"), WM_CLOSE, 0, 0);
        return 0;
    };
    SetTimer(owner, 1, 100, nullptr);
    ASSERT_TRUE(Boxes().Script(IDYES, 60000));
    EXPECT_EQ(MessageBoxW(owner, L"text", L"Closing", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_LT(GetTickCount(), 60000u) << "the box did not wait for the scripted answer";
    EXPECT_TRUE(IsWindowEnabled(owner));
}

}  // namespace
