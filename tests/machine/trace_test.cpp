// The API trace: each call of a traced facility is logged with its arguments, result and last
// error; other facilities and the calls a traced call makes are not.
#include <cstdlib>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winreg.h>
#include "machine/trace.h"

namespace {

class Trace : public SimTest {
protected:
    void TearDown() override { unsetenv("MODEM_API_TRACE"); }
};

TEST_F(Trace, ATracedCallIsLoggedWithItsArgumentsResultAndError) {
    sim::SetTrace(sim::Facility::Files, true);
    HANDLE h = CreateFileW(L"C:\\missing.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // kept for the caller
    auto lines = DebugLines(L"[trace]");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              L"[trace] files: CreateFileW(\"C:\\missing.txt\", 0x80000000, 1, null, 3, 0, null) "
              L"-> 0xffffffffffffffff, error 2");
    // Another facility stays quiet; switched off, so does this one.
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    sim::SetTrace(sim::Facility::Files, false);
    CreateFileW(L"C:\\missing.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(DebugLines(L"[trace]").size(), 1u);
    CloseHandle(ev);
}

TEST_F(Trace, TheEnvironmentChoosesFacilitiesAtEachResetAndInnerCallsAreNotLogged) {
    setenv("MODEM_API_TRACE", "kernel,Registry", 1);
    sim::Machine::Reset(MachineConfig());
    EXPECT_TRUE(sim::TraceOn(sim::Facility::Registry));
    EXPECT_TRUE(sim::TraceOn(sim::Facility::Kernel));
    EXPECT_FALSE(sim::TraceOn(sim::Facility::Files));
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Maker", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    Sleep(25);
    auto lines = DebugLines(L"[trace]");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(
        lines[0].rfind(L"[trace] registry: RegCreateKeyExW(0x80000002, \"SOFTWARE\\Maker\"", 0),
        0u);
    EXPECT_NE(lines[0].find(L"-> 0, error"), std::wstring::npos);
    EXPECT_EQ(lines[1].rfind(L"[trace] registry: RegCloseKey(", 0), 0u);
    EXPECT_EQ(lines[2], L"[trace] kernel: Sleep(25)");

    setenv("MODEM_API_TRACE", "all", 1);
    sim::Machine::Reset(MachineConfig());
    EXPECT_TRUE(sim::TraceOn(sim::Facility::Devices));
    // Asked for by the environment, the debug output also goes to the standard error.
    testing::internal::CaptureStderr();
    Sleep(30);
    OutputDebugStringW(L"seen");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[debug] [trace] kernel: Sleep(30)\n"), std::string::npos) << err;
    EXPECT_NE(err.find("[debug] seen\n"), std::string::npos) << err;
    unsetenv("MODEM_API_TRACE");
    sim::Machine::Reset(MachineConfig());
    EXPECT_FALSE(sim::TraceOn(sim::Facility::Registry));
    testing::internal::CaptureStderr();
    OutputDebugStringW(L"quiet");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
