// The service control manager's records, processes and their tokens, tool-help snapshots, and the
// window records.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winsvc.h>
#include "machine/processes.h"
#include "machine/services.h"
#include "machine/control/windows.h"
#include "machine/windows.h"
#include <winuser.h>

namespace {

class ScmTest : public SimTest {
protected:
    SC_HANDLE Create(SC_HANDLE manager, const wchar_t* name,
                     const wchar_t* dependencies = nullptr) {
        return CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, L"\"C:\\svc.exe\"",
                              nullptr, nullptr, dependencies, nullptr, nullptr);
    }
};

TEST_F(ScmTest, ExistingAndMarkedServicesAreRefusedAndDeletionWaitsForTheLastHandle) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(scm, nullptr);
    SC_HANDLE a = Create(scm, L"Alpha");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Create(scm, L"ALPHA"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));
    SC_HANDLE second = OpenServiceW(scm, L"alpha", SERVICE_ALL_ACCESS);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(DeleteService(a));
    EXPECT_FALSE(DeleteService(second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(Create(scm, L"Alpha"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_TRUE(CloseServiceHandle(a));
    EXPECT_TRUE(M().services().Exists(L"Alpha"));
    EXPECT_TRUE(CloseServiceHandle(second));
    EXPECT_FALSE(M().services().Exists(L"Alpha"));
    EXPECT_EQ(OpenServiceW(scm, L"Alpha", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(CloseServiceHandle(scm));
    EXPECT_FALSE(CloseServiceHandle(scm));
}

TEST_F(ScmTest, StatusQueriesAndDependentsAskForBigEnoughBuffers) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE base = Create(scm, L"Base");
    SC_HANDLE dep = Create(scm, L"Dep", L"Other\0base\0");
    ASSERT_NE(dep, nullptr);
    SERVICE_STATUS_PROCESS status;
    DWORD needed = 0;
    EXPECT_FALSE(QueryServiceStatusEx(base, SC_STATUS_PROCESS_INFO,
                                      reinterpret_cast<LPBYTE>(&status), 8, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, sizeof status);
    ASSERT_TRUE(QueryServiceStatusEx(base, SC_STATUS_PROCESS_INFO,
                                     reinterpret_cast<LPBYTE>(&status), sizeof status, &needed));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);

    DWORD count = 0;
    // A stopped dependent is not active.
    EXPECT_TRUE(EnumDependentServicesW(base, SERVICE_ACTIVE, nullptr, 0, &needed, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(EnumDependentServicesW(base, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    std::vector<BYTE> buffer(needed);
    auto* list = reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data());
    ASSERT_TRUE(EnumDependentServicesW(base, SERVICE_STATE_ALL, list, needed, &needed, &count));
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(list[0].lpServiceName, L"Dep");
    EXPECT_EQ(list[0].ServiceStatus.dwCurrentState, SERVICE_STOPPED);

    SERVICE_STATUS s;
    EXPECT_FALSE(ControlService(base, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_FALSE(ControlService(base, SERVICE_CONTROL_SHUTDOWN, &s));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // The image does not exist.
    EXPECT_FALSE(StartServiceW(base, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SC_HANDLE readOnly = OpenServiceW(scm, L"Base", SERVICE_QUERY_STATUS);
    EXPECT_FALSE(DeleteService(readOnly));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    for (SC_HANDLE h : {readOnly, dep, base, scm}) CloseServiceHandle(h);
}

TEST_F(ScmTest, TheDispatcherOnlyConnectsInAProgramStartedAsAService) {
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, [](DWORD, LPWSTR*) {}}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT));
    EXPECT_EQ(RegisterServiceCtrlHandlerExW(
                  L"Nothing", [](DWORD, DWORD, LPVOID, LPVOID) -> DWORD { return 0; }, nullptr),
              nullptr);
    SERVICE_STATUS s{};
    s.dwCurrentState = SERVICE_RUNNING;
    EXPECT_FALSE(SetServiceStatus(nullptr, &s));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ScmTest, ProcessHeapGivesZeroedMemory) {
    auto* p = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, p));
    EXPECT_EQ(HeapAlloc(reinterpret_cast<HANDLE>(0x1234), 0, 8), nullptr);
}

class ProcessTest : public SimTest {};

TEST_F(ProcessTest, CommandLinesSplitByThePlatformsRules) {
    using V = std::vector<std::wstring>;
    auto split = sim::ProcessTable::SplitCommandLine;
    EXPECT_EQ(split(L"\"C:\\Program Files\\a.exe\" -u"), (V{L"C:\\Program Files\\a.exe", L"-u"}));
    EXPECT_EQ(split(L"  a\tb  "), (V{L"a", L"b"}));
    EXPECT_EQ(split(L"a\\\\\\\"b c\\d"), (V{L"a\\\"b", L"c\\d"}));
    EXPECT_EQ(split(L"\"a\\\\\" b"), (V{L"a\\", L"b"}));
    EXPECT_EQ(split(L"\"x\"\"y\""), (V{L"x\"y"}));
    EXPECT_EQ(split(L"\"\""), (V{L""}));
    EXPECT_TRUE(split(L"   ").empty());
}

TEST_F(ProcessTest, StartedProcessesAreRecordedAndAnUnquotedPathFindsTheFirstFittingImage) {
    M().WriteFile(L"C:\\Program Files\\Tool\\tool.exe", "MZ");
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    wchar_t line[] = L"C:\\Program Files\\Tool\\tool.exe /x";
    ASSERT_TRUE(
        CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    auto started = M().processes().Find(pi.dwProcessId);
    EXPECT_EQ(started->imagePath, L"C:\\Program Files\\Tool\\tool.exe");
    EXPECT_EQ(started->argv,
              (std::vector<std::wstring>{L"C:\\Program", L"Files\\Tool\\tool.exe", L"/x"}));
    // A planted "C:\Program.exe" wins for the unquoted line.
    M().WriteFile(L"C:\\Program.exe", "MZ");
    wchar_t again[] = L"C:\\Program Files\\Tool\\tool.exe /x";
    ASSERT_TRUE(
        CreateProcessW(nullptr, again, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(M().processes().Find(pi.dwProcessId)->imagePath, L"C:\\Program.exe");
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    wchar_t missing[] = L"\"C:\\nothing.exe\"";
    EXPECT_FALSE(
        CreateProcessW(nullptr, missing, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    si.cb = 12;
    EXPECT_FALSE(
        CreateProcessW(nullptr, again, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessTest, ARegisteredProgramRunsAndItsProcessCanBeWaitedOn) {
    M().WriteFile(M().config().programFolder + L"child.exe", "MZ");
    M().processes().RegisterProgram(L"CHILD.EXE", [](const sim::ProcessRun& run) -> DWORD {
        Sleep(1000);
        return static_cast<DWORD>(run.argv.size());
    });
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    wchar_t line[] = L"child.exe a b";
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &si, &pi));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 3u);
    EXPECT_EQ(M().processes().Find(pi.dwProcessId)->creationFlags, CREATE_NO_WINDOW);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pi.dwProcessId), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessTest, SnapshotsListRunningProcessesAndTokensCarryTheirUser) {
    DWORD shell = M().processes().AddProcess(L"C:\\WINDOWS\\Explorer.EXE", L"alice");
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = 8;
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
    entry.dwSize = sizeof entry;
    std::vector<std::wstring> names;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        names.push_back(entry.szExeFile);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"[System Process]", L"System",
                                                M().config().programName, L"Explorer.EXE"}));
    CloseHandle(snapshot);

    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell);
    ASSERT_NE(process, nullptr);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(process, TOKEN_ALL_ACCESS, &token));
    M().WriteFile(M().config().programFolder + L"App.exe", "MZ");
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    wchar_t desktop[] = L"winsta0\\default";
    si.lpDesktop = desktop;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi;
    wchar_t line[] = L"App.exe";
    ASSERT_TRUE(CreateProcessAsUserW(token, nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &si, &pi));
    auto app = M().processes().Find(pi.dwProcessId);
    EXPECT_EQ(app->user, L"alice");
    EXPECT_EQ(app->desktop, L"winsta0\\default");
    EXPECT_TRUE(app->useShowWindow);
    HANDLE weak = nullptr;
    ASSERT_TRUE(OpenProcessToken(process, TOKEN_QUERY, &weak));
    EXPECT_FALSE(CreateProcessAsUserW(weak, nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE notAProcess = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(OpenProcessToken(notAProcess, TOKEN_QUERY, &weak));
    for (HANDLE h : {notAProcess, weak, token, process}) CloseHandle(h);
}

class WindowsTest : public SimTest {};

BOOL Collect(HWND w, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

TEST_F(WindowsTest, EnumerationOrderVisibilityAndClassNames) {
    using control::AddMachineWindow;
    HWND first = AddMachineWindow({L"First", L"one", true, nullptr});
    HWND second = AddMachineWindow({L"Second", L"two", false, nullptr});
    HWND child = AddMachineWindow({L"Button", L"", true, first});
    HWND grandchild = AddMachineWindow({L"Static", L"", true, child});
    HWND child2 = AddMachineWindow({L"Edit", L"", true, first});
    std::vector<HWND> top;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&top));
    EXPECT_EQ(top, (std::vector<HWND>{second, first}));
    std::vector<HWND> all;
    EnumChildWindows(first, Collect, reinterpret_cast<LPARAM>(&all));
    EXPECT_EQ(all, (std::vector<HWND>{child, grandchild, child2}));
    EXPECT_TRUE(IsWindowVisible(grandchild));
    M().windows().SetVisible(first, false);
    EXPECT_FALSE(IsWindowVisible(grandchild));
    wchar_t name[4];
    EXPECT_EQ(GetClassNameW(second, name, 4), 3);
    EXPECT_STREQ(name, L"Sec");
    EXPECT_EQ(GetParent(grandchild), child);
}

}  // namespace
