// Thread and process records: who a wait wakes, state that wakes its waiters by construction,
// what each process owns, ending processes, named objects across processes, settling the
// machine, and waits on the message queue's status.
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winreg.h>
#include <corecrt.h>
#include "machine/processes.h"
#include "machine/registry.h"
#include "machine/threads.h"
#include "machine/waits.h"
#include <winuser.h>
#include "common/thread_helper.h"

namespace {

class ThreadRecords : public SimTest {
protected:
    // The record of a thread started with StartThread (by its handle).
    std::shared_ptr<sim::ThreadRec> Record(HANDLE thread) {
        return sim::HandleTable::Get().FindAs<sim::ThreadRec>(thread);
    }
    std::uint64_t Wakeups(const sim::ThreadRec& t) {
        std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
        return t.wakeups;
    }
    // Lets every machine thread run until it waits.
    void Settle() { sim::Kernel::Get().RunUntilIdle(); }
};

TEST_F(ThreadRecords, AWaiterIsWokenOnlyByTheObjectsItWaitsOn) {
    HANDLE mine = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE other = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    HANDLE t = StartThread([&] { return WaitForSingleObject(mine, INFINITE); });
    Settle();
    auto rec = Record(t);
    ASSERT_TRUE(rec);
    std::uint64_t before = Wakeups(*rec);
    for (int i = 0; i < 100; ++i) {
        SetEvent(other);
        ResetEvent(other);
        EnterCriticalSection(&cs);
        LeaveCriticalSection(&cs);
    }
    Settle();
    EXPECT_EQ(Wakeups(*rec), before);  // none of those changes touched it
    SetEvent(mine);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Wakeups(*rec), before + 1);
    DWORD code = 1;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, WAIT_OBJECT_0);
    DeleteCriticalSection(&cs);
}

TEST_F(ThreadRecords, EveryWriteToWatchedStateWakesItsWaiters) {
    // A Monitor's state is reached only through Read and Write; a Write wakes its waiters.
    sim::Monitor<int> value;
    std::atomic<DWORD> sawAt{0};
    HANDLE t = StartThread([&] {
        bool ok = value.WaitUntil([](const int& v) { return v == 3; }, sim::kForever);
        sawAt = GetTickCount();
        return ok ? 0u : 1u;
    });
    Sleep(100);
    for (int i = 1; i <= 3; ++i) *value.Write() = i;
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(sawAt.load(), 100u);  // at once, not at some later poll
    // The process table is such state: adding a process wakes a test waiting for its start.
    HANDLE w = StartThread(
        [&] { return M().processes().WaitForStarts(L"Shell.exe", 1, INFINITE) ? 0u : 1u; });
    Settle();
    M().processes().AddProcess(L"C:\\WINDOWS\\Shell.exe", L"user");
    EXPECT_EQ(WaitForSingleObject(w, INFINITE), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(w, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(GetTickCount(), 100u);
}

TEST_F(ThreadRecords, VirtualTimeAdvancesWithFiftyBlockedThreads) {
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> released{0};
    std::vector<HANDLE> blocked;
    for (int i = 0; i < 50; ++i) {
        blocked.push_back(StartThread([&] {
            WaitForSingleObject(gate, INFINITE);
            ++released;
            return 0u;
        }));
    }
    SharedLog<std::pair<int, DWORD>> log;
    std::vector<HANDLE> sleepers;
    for (int i : {3, 1, 2}) {
        sleepers.push_back(StartThread([&, i] {
            Sleep(1000 * i);
            log.Add({i, GetTickCount()});
            return 0u;
        }));
    }
    EXPECT_EQ(WaitForMultipleObjects(3, sleepers.data(), TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(log.Items(), (std::vector<std::pair<int, DWORD>>{{1, 1000}, {2, 2000}, {3, 3000}}));
    EXPECT_EQ(released.load(), 0);
    Sleep(500);
    EXPECT_EQ(GetTickCount(), 3500u);
    SetEvent(gate);
    EXPECT_EQ(WaitForMultipleObjects(50, blocked.data(), TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(released.load(), 50);
    EXPECT_EQ(GetTickCount(), 3500u);
}

TEST_F(ThreadRecords, RunUntilIdleSettlesWithoutMovingTheClock) {
    HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> steps{0};
    HANDLE t1 = StartThread([&] {
        for (int i = 0; i < 20; ++i) {
            WaitForSingleObject(a, INFINITE);
            ++steps;
            SetEvent(b);
        }
        return 0u;
    });
    HANDLE t2 = StartThread([&] {
        for (int i = 0; i < 20; ++i) {
            SetEvent(a);
            WaitForSingleObject(b, INFINITE);
        }
        return Sleep(60000), 0u;  // then a long pause that the settling does not wait for
    });
    Settle();
    EXPECT_EQ(steps.load(), 20);
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_EQ(WaitForSingleObject(t2, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(t2, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 60000u);
    CloseHandle(t1);
}

TEST_F(ThreadRecords, MessageWaitEndsForTheKindsInItsMaskOnly) {
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE t = StartThread([&] {
        return MsgWaitForMultipleObjectsEx(1, &ev, INFINITE, QS_POSTMESSAGE | QS_SENDMESSAGE, 0);
    });
    Settle();
    auto rec = Record(t);
    std::uint64_t before = Wakeups(*rec);
    {
        std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
        sim::Kernel::Get().SetQueueBitsLocked(*rec, QS_TIMER | QS_PAINT);
    }
    Settle();
    EXPECT_EQ(Wakeups(*rec), before);
    {
        std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
        sim::Kernel::Get().SetQueueBitsLocked(*rec, QS_POSTMESSAGE);
    }
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, WAIT_OBJECT_0 + 1);  // one past the objects: the queue
    // The objects still come first, and a wait on the queue alone needs no object.
    SetEvent(ev);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &ev, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_POSTMESSAGE),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 250u);
}

// ---- Processes ----

struct TwinView {
    std::wstring image, folder, command, hkcu, locale;
    DWORD pid = 0;
    HANDLE event = nullptr;
    HANDLE extra = nullptr;  // only the twin from A opens a second handle
    bool sawOthersHandle = true;
};

std::mutex g_viewsMu;
std::vector<TwinView> g_views;

int TwinMain(int, wchar_t**) {
    TwinView v;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    v.image = path;
    v.folder = v.image.substr(0, v.image.find_last_of(L'\\') + 1);
    v.command = GetCommandLineW();
    v.pid = GetCurrentProcessId();
    v.event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (v.folder == L"C:\\A\\") v.extra = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // Only the twin started from B chooses the user's locale.
    if (v.folder == L"C:\\B\\") _wsetlocale(0, L"");
    v.locale = _wsetlocale(0, nullptr);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Twin", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegSetValueExW(key, L"Folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.folder.c_str()),
                   static_cast<DWORD>((v.folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    // (The test holds the event, so that it outlives A's handle.)
    HANDLE aDone = CreateEventW(nullptr, TRUE, FALSE, L"Twins.aDone");
    if (v.extra == nullptr) {
        // B looks at A's extra handle once A has published it.
        WaitForSingleObject(aDone, INFINITE);
        std::lock_guard<std::mutex> lk(g_viewsMu);
        v.sawOthersHandle = WaitForSingleObject(g_views.at(0).extra, 0) != WAIT_FAILED;
    }
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Twin", 0, KEY_READ, &key);
    RegQueryValueExW(key, L"Folder", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    v.hkcu = value;
    {
        std::lock_guard<std::mutex> lk(g_viewsMu);
        g_views.push_back(v);
    }
    if (v.extra != nullptr) SetEvent(aDone);
    return 0;
}

class Processes : public SimTest {
protected:
    std::shared_ptr<sim::ProcessRec> StartAs(const std::wstring& image, const std::wstring& user) {
        sim::ProcessTable::Launch l;
        l.imagePath = image;
        l.commandLine = L"\"" + image + L"\" -twin";
        l.user = user;
        return M().processes().Start(l);
    }
};

TEST_F(Processes, TwoProcessesOfOneProgramEachSeeTheirOwnState) {
    for (const wchar_t* path : {L"C:\\A\\Twin.exe", L"C:\\B\\Twin.exe"}) M().WriteFile(path, "MZ");
    M().processes().RegisterProgram(
        L"Twin.exe", [](const sim::ProcessRun& run) { return sim::RunMain(run, &TwinMain); });
    HANDLE aDone = CreateEventW(nullptr, TRUE, FALSE, L"Twins.aDone");
    auto a = StartAs(L"C:\\A\\Twin.exe", L"alice");
    auto b = StartAs(L"C:\\B\\Twin.exe", L"bob");
    ASSERT_TRUE(M().processes().WaitForEnd(a->info.pid, INFINITE));
    ASSERT_TRUE(M().processes().WaitForEnd(b->info.pid, INFINITE));
    ASSERT_EQ(g_views.size(), 2u);
    ASSERT_EQ(g_views[1].folder, L"C:\\B\\");
    EXPECT_FALSE(g_views[1].sawOthersHandle) << "a handle of one process is no handle in another";
    for (const TwinView& v : g_views) {
        bool isA = v.folder == L"C:\\A\\";
        SCOPED_TRACE(sim::ToUtf8(v.image));
        EXPECT_EQ(v.pid, (isA ? a : b)->info.pid);
        EXPECT_EQ(v.command, L"\"" + v.image + L"\" -twin");
        EXPECT_EQ(v.locale, isA ? L"C" : L"Chinese (Simplified)_China.936");
        EXPECT_EQ(v.hkcu, v.folder);  // each user's own HKEY_CURRENT_USER
    }
    EXPECT_EQ(g_views[0].event, g_views[1].event);  // one numbering, separate tables
    // The test's own program is untouched by either.
    EXPECT_STREQ(_wsetlocale(0, nullptr), L"C");
    EXPECT_EQ(sim::CurrentProcess().info.imagePath, M().ProgramPath());
    CloseHandle(aDone);
    EXPECT_EQ(M().registry().GetString(L"HKEY_USERS\\alice\\Software\\Twin", L"Folder"),
              L"C:\\A\\");
}

int HolderMain(int, wchar_t**) {
    HANDLE m = CreateMutexW(nullptr, TRUE, L"Holder.mutex");
    HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Holder.ready");
    SetEvent(ready);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Unwound {
        ~Unwound() { SetEvent(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Holder.unwound")); }
    } guard;
    WaitForSingleObject(never, INFINITE);  // ended here by TerminateProcess
    ReleaseMutex(m);
    return 0;
}

TEST_F(Processes, TerminateProcessReleasesItsWaitersAndAbandonsItsMutexes) {
    M().WriteFile(L"C:\\Tools\\Holder.exe", "MZ");
    M().processes().RegisterProgram(
        L"Holder.exe", [](const sim::ProcessRun& run) { return sim::RunMain(run, &HolderMain); });
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"Holder.ready");
    HANDLE unwound = CreateEventW(nullptr, TRUE, FALSE, L"Holder.unwound");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(L"C:\\Tools\\Holder.exe", &pi));
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Holder.mutex");
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE process = pi.hProcess;
    HANDLE waiter = StartThread([process] { return WaitForSingleObject(process, INFINITE); });
    HANDLE taker = StartThread([mutex] { return WaitForSingleObject(mutex, INFINITE); });
    Sleep(100);
    EXPECT_EQ(WaitForSingleObject(waiter, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_TRUE(TerminateProcess(process, 9));
    HANDLE both[] = {waiter, taker};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(waiter, &code);
    EXPECT_EQ(code, WAIT_OBJECT_0);
    GetExitCodeThread(taker, &code);
    EXPECT_EQ(code, WAIT_ABANDONED);  // the ended process held it
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 9u);
    EXPECT_EQ(WaitForSingleObject(unwound, 0), WAIT_OBJECT_0);  // its frames were unwound
    EXPECT_FALSE(M().processes().Running(pi.dwProcessId));
    EXPECT_EQ(GetTickCount(), 100u);
}

int ExiterMain(int, wchar_t**) {
    HANDLE worker = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return Sleep(INFINITE), 0u; }, nullptr, 0, nullptr);
    CloseHandle(worker);
    Sleep(10);
    ExitProcess(42);
}

TEST_F(Processes, ExitProcessEndsEveryThreadOfTheProcess) {
    M().WriteFile(L"C:\\Tools\\Exiter.exe", "MZ");
    M().processes().RegisterProgram(
        L"Exiter.exe", [](const sim::ProcessRun& run) { return sim::RunMain(run, &ExiterMain); });
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    wchar_t line[] = L"Exiter";
    ASSERT_FALSE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                &pi));  // not in the program's folder nor the system's
    wchar_t full[] = L"C:\\Tools\\Exiter";
    ASSERT_TRUE(
        CreateProcessW(nullptr, full, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(GetTickCount(), 10u);  // the sleeping worker did not keep it alive
}

// Opens a named semaphore the test created (a create of an existing name opens it).
HANDLE OpenSemaphoreForTest(const wchar_t* name) {
    return CreateSemaphoreW(nullptr, 0, 2, name);
}

TEST_F(Processes, NamedObjectsCreatedAtOnceFromTwoProcessesHaveOneCreator) {
    for (const wchar_t* path : {L"C:\\A\\Racer.exe", L"C:\\B\\Racer.exe"})
        M().WriteFile(path, "MZ");
    static std::mutex mu;
    static std::vector<std::pair<int, DWORD>> results;  // (round, last error)
    M().processes().RegisterProgram(L"Racer.exe", [](const sim::ProcessRun&) -> DWORD {
        for (int round = 0; round < 50; ++round) {
            std::wstring name = L"Racer." + std::to_wstring(round);
            HANDLE h = CreateMutexW(nullptr, FALSE, name.c_str());
            DWORD error = GetLastError();
            std::lock_guard<std::mutex> lk(mu);
            results.push_back({round, h ? error : 0xFFFFFFFFu});
        }
        // Keep the objects alive until both have run every round.
        HANDLE reported = OpenSemaphoreForTest(L"Racer.reported");
        ReleaseSemaphore(reported, 1, nullptr);
        HANDLE finish = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Racer.finish");
        WaitForSingleObject(finish, INFINITE);
        return 0;
    });
    HANDLE reported = CreateSemaphoreW(nullptr, 0, 2, L"Racer.reported");
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, L"Racer.finish");
    sim::ProcessTable::Launch l;
    l.imagePath = L"C:\\A\\Racer.exe";
    l.commandLine = l.imagePath;
    auto a = M().processes().Start(l);
    l.imagePath = l.commandLine = L"C:\\B\\Racer.exe";
    auto b = M().processes().Start(l);
    ASSERT_EQ(WaitForSingleObject(reported, INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(reported, INFINITE), WAIT_OBJECT_0);
    SetEvent(finish);
    ASSERT_TRUE(M().processes().WaitForEnd(a->info.pid, INFINITE));
    ASSERT_TRUE(M().processes().WaitForEnd(b->info.pid, INFINITE));
    ASSERT_EQ(results.size(), 100u);
    for (int round = 0; round < 50; ++round) {
        int created = 0, opened = 0;
        for (auto& [r, error] : results) {
            if (r != round) continue;
            created += error == ERROR_SUCCESS;
            opened += error == ERROR_ALREADY_EXISTS;
        }
        EXPECT_EQ(created, 1) << round;
        EXPECT_EQ(opened, 1) << round;
    }
}

}  // namespace
