// A process the machine starts for a registered program sees itself, not the machine's program.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/processes.h"

namespace {

struct Seen {
    std::wstring modulePath;
    std::wstring commandLine;
    DWORD pid = 0;
    std::wstring threadModulePath;
    DWORD threadPid = 0;
};

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

Seen* g_seen = nullptr;

DWORD WorkerThread(LPVOID) {
    g_seen->threadModulePath = ModulePath();
    g_seen->threadPid = GetCurrentProcessId();
    return 0;
}

class ProcessContextTest : public SimTest {};

TEST_F(ProcessContextTest, StartedProgramSeesItsOwnImageAndItsThreadsToo) {
    Seen seen;
    g_seen = &seen;
    M().WriteFile(L"C:\\Tools\\Other.exe", "");
    M().processes().RegisterProgram(L"Other.exe", [&](const sim::ProcessRun&) -> DWORD {
        seen.modulePath = ModulePath();
        seen.commandLine = GetCommandLineW();
        seen.pid = GetCurrentProcessId();
        HANDLE t = CreateThread(nullptr, 0, WorkerThread, nullptr, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        return 7;
    });
    std::wstring line = L"\"C:\\Tools\\Other.exe\" -x";
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    ASSERT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);

    EXPECT_EQ(sim::Lower(seen.modulePath), L"c:\\tools\\other.exe");
    EXPECT_EQ(seen.commandLine, line);
    EXPECT_EQ(seen.pid, info.dwProcessId);
    EXPECT_EQ(seen.threadModulePath, seen.modulePath);
    EXPECT_EQ(seen.threadPid, info.dwProcessId);
    // The test's own thread still belongs to the machine's program.
    EXPECT_EQ(ModulePath(), M().ProgramPath());
    EXPECT_NE(GetCurrentProcessId(), info.dwProcessId);
}

}  // namespace
