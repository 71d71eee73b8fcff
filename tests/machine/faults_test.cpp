// Failures injected through the machine's one fault table: counting down, keys, and which
// injection a call takes.
#include <gtest/gtest.h>

#include "common/sim_fixture.h"
#include <devguid.h>
#include <winbase.h>
#include "machine/devices.h"
#include "machine/faults.h"

namespace {

class FaultsTest : public SimTest {
protected:
    sim::Faults& F() { return M().faults(); }
};

TEST_F(FaultsTest, CountsDownAndAlwaysMeansEveryCall) {
    struct Case {
        int count;
        int failures;  // of ten calls
    };
    for (const Case& c : {Case{1, 1}, Case{3, 3}, Case{-1, 10}, Case{0, 0}}) {
        SCOPED_TRACE(c.count);
        F().Inject(sim::RasOp::Status, ERROR_GEN_FAILURE, c.count);
        int failures = 0;
        for (int i = 0; i < 10; ++i)
            if (F().Take(sim::RasOp::Status) == ERROR_GEN_FAILURE) ++failures;
        EXPECT_EQ(failures, c.failures);
        F().Inject(sim::RasOp::Status, 0);
    }
}

TEST_F(FaultsTest, OperationsOfOtherFacilitiesAndOtherOperationsAreUntouched) {
    // FileOp::Open and DeviceOp::Open share their number, not their facility.
    F().Inject(sim::FileOp::Open, ERROR_ACCESS_DENIED);
    EXPECT_EQ(F().Take(sim::DeviceOp::Open, L"\\\\.\\COM1"), 0u);
    EXPECT_EQ(F().Take(sim::ServiceOp::OpenManager), 0u);
    EXPECT_EQ(F().Take(sim::FileOp::Open, L"C:\\a.txt"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    F().Inject(sim::ServiceOp::SetStatus, ERROR_INVALID_HANDLE);
    EXPECT_EQ(F().Take(sim::ServiceOp::RegisterNotification), 0u);
    EXPECT_EQ(F().Take(sim::ServiceOp::SetStatus), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FaultsTest, AKeyedInjectionComesFirstAndOnlyForItsKey) {
    F().Inject(sim::FileOp::Open, ERROR_SHARING_VIOLATION, -1);
    F().Inject(sim::FileOp::Open, ERROR_ACCESS_DENIED, 1, L"C:/Data/A.TXT");
    EXPECT_EQ(F().Take(sim::FileOp::Open, L"C:\\data\\b.txt"),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(F().Take(sim::FileOp::Open, L"c:\\data\\a.txt"),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // Used up: the injection for every path answers again.
    EXPECT_EQ(F().Take(sim::FileOp::Open, L"C:\\data\\a.txt"),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(FaultsTest, ANewInjectionReplacesTheOldAndErrorZeroRemovesIt) {
    F().Inject(sim::DeviceOp::Open, ERROR_GEN_FAILURE, -1, L"\\\\.\\COM5");
    F().Inject(sim::DeviceOp::Open, ERROR_ACCESS_DENIED, 1, L"\\\\.\\com5");
    EXPECT_EQ(F().Take(sim::DeviceOp::Open, L"\\\\.\\COM5"),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(F().Take(sim::DeviceOp::Open, L"\\\\.\\COM5"), 0u);
    F().Inject(sim::DeviceOp::Open, ERROR_GEN_FAILURE, -1, L"\\\\.\\COM5");
    F().Inject(sim::DeviceOp::Open, 0, -1, L"\\\\.\\COM5");
    EXPECT_EQ(F().Take(sim::DeviceOp::Open, L"\\\\.\\COM5"), 0u);
}

TEST_F(FaultsTest, ADeviceOpenFailsByEitherSpellingOfItsPathAndAFileOpenIsNoDeviceOpen) {
    sim::DeviceNodeSpec spec;
    spec.instanceId = L"IDE\\CDROMDRIVE\\5&1";
    spec.classGuid = GUID_DEVCLASS_CDROM;
    spec.interfaces = {{GUID_DEVINTERFACE_CDROM, L""}};
    M().devices().Plug(spec);
    const std::wstring link =
        sim::DeviceTree::MakeSymbolicLink(spec.instanceId, GUID_DEVINTERFACE_CDROM);
    M().WriteFile(L"C:\\plain.txt", "x");
    F().Inject(sim::DeviceOp::Open, ERROR_NOT_READY, 2, link);
    auto open = [](const std::wstring& path) {
        return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    for (const std::wstring& path : {link, L"\\\\.\\" + link.substr(4)}) {
        EXPECT_EQ(open(path), INVALID_HANDLE_VALUE) << sim::ToUtf8(path);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    }
    HANDLE device = open(link);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);

    F().Inject(sim::DeviceOp::Open, ERROR_NOT_READY);
    HANDLE file = open(L"C:\\plain.txt");
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

}  // namespace
