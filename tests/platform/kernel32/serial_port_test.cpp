// The machine's COM ports through CreateFileW, the comm functions and WriteFile, and the system
// message texts.
#include <cstring>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/modem.h"
#include "machine/control/devices.h"
#include "machine/serial.h"
#include "common/thread_helper.h"

namespace {

class SerialPortTest : public SimTest {
protected:
    HANDLE Open(const wchar_t* path, DWORD flags = 0) {
        return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                           nullptr);
    }
};

TEST_F(SerialPortTest, ModemPortsExistOnlyInModemMode) {
    auto modem = sim::SimModem::Plug();
    SetLastError(0);
    EXPECT_EQ(Open(L"\\\\.\\COM3"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    modem->EnterModemMode();
    for (const wchar_t* path : {L"\\\\.\\COM3", L"\\\\.\\com4", L"\\\\.\\COM5"}) {
        HANDLE h = Open(path);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << sim::ToUtf8(path);
        EXPECT_TRUE(CloseHandle(h));
    }
    EXPECT_EQ(Open(L"\\\\.\\COM6"), INVALID_HANDLE_VALUE);

    modem->Unplug();
    EXPECT_EQ(Open(L"\\\\.\\COM3"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SerialPortTest, OnePortOneOpener) {
    auto port = M().serialPorts().Add(L"COM1");
    HANDLE first = Open(L"\\\\.\\COM1");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(Open(L"\\\\.\\COM1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(first);
    EXPECT_FALSE(port->IsOpen());
    HANDLE again = Open(L"\\\\.\\COM1");
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    EXPECT_EQ(port->Opens(), 2);
}

TEST_F(SerialPortTest, TestCanMakeAnOpenFail) {
    M().serialPorts().Add(L"COM2");
    M().faults().Inject(sim::DeviceOp::Open, ERROR_GEN_FAILURE, 1, L"\\\\.\\COM2");
    EXPECT_EQ(Open(L"\\\\.\\COM2"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    HANDLE h = Open(L"\\\\.\\COM2");
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(SerialPortTest, StateTimeoutsAndWritesReachThePortModel) {
    auto port = M().serialPorts().Add(L"COM7");
    HANDLE h = Open(L"\\\\.\\COM7");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    ASSERT_TRUE(GetCommState(h, &dcb));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    dcb.BaudRate = 115200;
    dcb.Parity = EVENPARITY;
    dcb.fOutxCtsFlow = 1;
    ASSERT_TRUE(SetCommState(h, &dcb));
    COMMTIMEOUTS t = {1, 2, 3, 4, 5};
    ASSERT_TRUE(SetCommTimeouts(h, &t));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "AT\r", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    CloseHandle(h);

    DCB seen = port->State();
    EXPECT_EQ(seen.BaudRate, 115200u);
    EXPECT_EQ(seen.Parity, EVENPARITY);
    EXPECT_EQ(seen.fOutxCtsFlow, 1u);
    EXPECT_EQ(port->Timeouts().ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(port->Timeouts().WriteTotalTimeoutConstant, 5u);
    EXPECT_EQ(port->Written(), "AT\r");
}

TEST_F(SerialPortTest, InvalidSettingsAreRefused) {
    auto port = M().serialPorts().Add(L"COM1");
    HANDLE h = Open(L"\\\\.\\COM1");
    DCB good;
    ASSERT_TRUE(GetCommState(h, &good));
    auto refused = [&](auto change) {
        DCB d = good;
        change(d);
        SetLastError(0);
        return !SetCommState(h, &d) && GetLastError() == ERROR_INVALID_PARAMETER;
    };
    EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 9; }));
    EXPECT_TRUE(refused([](DCB& d) { d.Parity = 5; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; }));  // with 8 data bits
    EXPECT_TRUE(refused([](DCB& d) {
        d.fOutX = 1;
        d.XonChar = d.XoffChar = 0x11;
    }));
    EXPECT_EQ(port->StateChanges(), 0);
    CloseHandle(h);
}

TEST_F(SerialPortTest, CommCallsOnOtherHandles) {
    DCB dcb;
    EXPECT_FALSE(GetCommState(reinterpret_cast<HANDLE>(0x7777), &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(GetCommState(event, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    CloseHandle(event);
}

TEST_F(SerialPortTest, OverlappedHandleTakesNoPlainWrite) {
    auto port = M().serialPorts().Add(L"COM1");
    HANDLE h = Open(L"\\\\.\\COM1", FILE_FLAG_OVERLAPPED);
    DWORD written = 9;
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(port->Written(), "");
    CloseHandle(h);
}

TEST_F(SerialPortTest, WritesFailOnceTheDeviceIsGone) {
    auto modem = sim::SimModem::Plug();
    modem->EnterModemMode();
    HANDLE h = Open(L"\\\\.\\COM3");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    modem->Unplug();
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(h, "AT", 2, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    CloseHandle(h);
}

TEST_F(SerialPortTest, ReadsReturnWhatCameWithinTheirTimeOutsOnTheMachineClock) {
    struct Case {
        const char* name;
        COMMTIMEOUTS timeouts;
        DWORD toRead;
        DWORD sendAt;  // when the device sends five bytes (INFINITE: never)
        DWORD returnsAt, got;
    };
    const Case cases[] = {
        {"at once, nothing there", {MAXDWORD, 0, 0, 0, 0}, 8, 40, 0, 0},
        {"total time-out, nothing comes", {0, 0, 100, 0, 0}, 8, INFINITE, 100, 0},
        {"total time-out, some come", {0, 0, 100, 0, 0}, 8, 40, 100, 5},
        {"total by the count", {0, 10, 20, 0, 0}, 8, 40, 100, 5},
        {"interval after the first bytes", {10, 0, 0, 0, 0}, 8, 40, 50, 5},
        {"first byte, then at once", {MAXDWORD, MAXDWORD, 100, 0, 0}, 8, 40, 40, 5},
        {"first byte, nothing comes", {MAXDWORD, MAXDWORD, 100, 0, 0}, 8, INFINITE, 100, 0},
        {"enough bytes end the read", {0, 0, 100, 0, 0}, 3, 40, 40, 3},
    };
    auto modem = sim::SimModem::Plug();
    modem->EnterModemMode();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE h = Open(L"\\\\.\\COM4");
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        COMMTIMEOUTS t = c.timeouts;
        ASSERT_TRUE(SetCommTimeouts(h, &t));
        HANDLE device = StartThread([&] {
            if (c.sendAt == INFINITE) return 0u;
            Sleep(c.sendAt);
            const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
            control::SerialDeviceSend(L"COM4", bytes, sizeof bytes);
            return 0u;
        });
        const DWORD start = GetTickCount();
        std::uint8_t buffer[8] = {};
        DWORD read = 99;
        EXPECT_TRUE(ReadFile(h, buffer, c.toRead, &read, nullptr));
        EXPECT_EQ(GetTickCount() - start, c.returnsAt);
        EXPECT_EQ(read, c.got);
        EXPECT_EQ(buffer[0], read > 0 ? 1 : 0);
        WaitForSingleObject(device, INFINITE);
        CloseHandle(device);
        CloseHandle(h);
    }
}

TEST_F(SerialPortTest, TheDeviceSideGetsTheWritesAndAReadFailsWhenTheDeviceGoes) {
    auto modem = sim::SimModem::Plug();
    modem->EnterModemMode();
    std::string heard;
    control::SetSerialDeviceSink(L"com4", [&](const std::uint8_t* data, std::size_t n) {
        heard.append(reinterpret_cast<const char*>(data), n);
    });
    const std::uint8_t early[] = {7};
    EXPECT_FALSE(control::SerialDeviceSend(L"COM4", early, 1));  // nobody has it open
    HANDLE h = Open(L"\\\\.\\COM4");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "ping", 4, &n, nullptr));
    EXPECT_EQ(heard, "ping");
    COMMTIMEOUTS t = {0, 0, 0, 0, 0};  // no time-out: waits for the bytes
    ASSERT_TRUE(SetCommTimeouts(h, &t));
    HANDLE unplugger = StartThread([&] {
        Sleep(500);
        modem->Unplug();
        return 0u;
    });
    std::uint8_t buffer[4];
    EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(n, 0u);
    WaitForSingleObject(unplugger, INFINITE);
    CloseHandle(unplugger);
    EXPECT_TRUE(CloseHandle(h));  // still a handle to close
    control::SetSerialDeviceSink(L"COM4", nullptr);
}

TEST_F(SerialPortTest, SystemMessageTexts) {
    LPWSTR text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                             ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text), L"Access is denied.\r\n");
    EXPECT_EQ(n, std::wcslen(text));
    LocalFree(text);

    wchar_t small[8];
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, small, 8, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x12345, 0, small, 8, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

}  // namespace
