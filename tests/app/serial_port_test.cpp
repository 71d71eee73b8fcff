// CSerialPort against the machine's COM ports: what the port received, and the exceptions.
#include <string>

#include "app/serial_port.h"
#include "common/sim_fixture.h"
#include "machine/modem.h"
#include "machine/serial.h"

namespace {

class SerialPortTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        port = M().serialPorts().Add(L"COM4");
    }
    std::shared_ptr<sim::SerialPort> port;
    const std::wstring kPath = L"\\\\.\\COM4";

    // The system's text for an error code, as FormatMessageW gives it.
    static std::wstring SystemText(DWORD code) {
        LPWSTR text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                       0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        std::wstring out = text ? text : L"";
        LocalFree(text);
        return out;
    }
    template <class F>
    static DWORD ErrorOf(F&& f, std::wstring* message = nullptr) {
        try {
            f();
        } catch (const CSerialException& e) {
            if (message) *message = e.GetErrorMessage();
            return e.GetErrorCode();
        }
        return 0;
    }
};

TEST_F(SerialPortTest, LineSettingsAndTimeoutsOfTheInitStringWriter) {
    // The line the init-string writer opens: 115200 baud, no parity, 8 bits, one stop bit, no
    // flow control; then its time-outs and the string.
    DCB initial = port->State();
    initial.fOutxCtsFlow = 1;
    initial.fOutX = 1;
    initial.fDsrSensitivity = 1;
    port->SetInitialState(initial);
    CSerialPort serial;
    serial.Open(kPath, 115200, CSerialPort::NoParity, 8, CSerialPort::OneStopBit,
                CSerialPort::NoFlowControl, false);
    COMMTIMEOUTS t = {1, 0, 30, 1, 30};
    serial.SetTimeouts(t);
    EXPECT_EQ(serial.Write("ATZ\r", 4), 4u);
    serial.Close();

    DCB d = port->State();
    EXPECT_EQ(d.BaudRate, 115200u);
    EXPECT_EQ(d.Parity, NOPARITY);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.StopBits, ONESTOPBIT);
    EXPECT_EQ(d.fOutxCtsFlow, 0u);
    EXPECT_EQ(d.fOutxDsrFlow, 0u);
    EXPECT_EQ(d.fOutX, 0u);
    EXPECT_EQ(d.fInX, 0u);
    EXPECT_EQ(d.fDsrSensitivity, 0u);
    COMMTIMEOUTS seen = port->Timeouts();
    EXPECT_EQ(seen.ReadIntervalTimeout, 1u);
    EXPECT_EQ(seen.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(seen.ReadTotalTimeoutConstant, 30u);
    EXPECT_EQ(seen.WriteTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(seen.WriteTotalTimeoutConstant, 30u);
    EXPECT_EQ(port->Written(), "ATZ\r");
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(SerialPortTest, ParityStopBitsAndFlowControlTables) {
    struct Case {
        int parity, stopBits, flow;
        BYTE wantParity, wantStop;
        bool cts, dsr, xon;
        int rts, dtr;
    };
    const Case cases[] = {
        {0, 2, 1, EVENPARITY, TWOSTOPBITS, true, false, false, RTS_CONTROL_HANDSHAKE, -1},
        {1, 0, 2, MARKPARITY, ONESTOPBIT, true, false, false, -1, DTR_CONTROL_HANDSHAKE},
        {3, 0, 3, ODDPARITY, ONESTOPBIT, false, true, false, RTS_CONTROL_HANDSHAKE, -1},
        {4, 0, 4, SPACEPARITY, ONESTOPBIT, false, true, false, -1, DTR_CONTROL_HANDSHAKE},
        {9, 7, 5, NOPARITY, ONESTOPBIT, false, false, true, -1, -1},  // 9 and 7: left as they were
    };
    for (const Case& c : cases) {
        DCB initial = port->State();
        initial.fRtsControl = RTS_CONTROL_ENABLE;
        initial.fDtrControl = DTR_CONTROL_ENABLE;
        initial.XonChar = 0x01;
        initial.XoffChar = 0x02;
        initial.Parity = NOPARITY;
        initial.StopBits = ONESTOPBIT;
        port->SetInitialState(initial);
        CSerialPort serial;
        serial.Open(kPath, 9600, c.parity, 8, c.stopBits, c.flow, false);
        DCB d = port->State();
        SCOPED_TRACE(c.flow);
        EXPECT_EQ(d.Parity, c.wantParity);
        EXPECT_EQ(d.StopBits, c.wantStop);
        EXPECT_EQ(d.fOutxCtsFlow != 0, c.cts);
        EXPECT_EQ(d.fOutxDsrFlow != 0, c.dsr);
        EXPECT_EQ(d.fOutX != 0 && d.fInX != 0, c.xon);
        EXPECT_EQ(static_cast<int>(d.fRtsControl), c.rts < 0 ? RTS_CONTROL_ENABLE : c.rts);
        EXPECT_EQ(static_cast<int>(d.fDtrControl), c.dtr < 0 ? DTR_CONTROL_ENABLE : c.dtr);
        if (c.xon) {
            EXPECT_EQ(d.XonChar, 0x11);
            EXPECT_EQ(d.XoffChar, 0x13);
            EXPECT_EQ(d.XonLim, 100);
            EXPECT_EQ(d.XoffLim, 100);
        }
    }
}

TEST_F(SerialPortTest, FailedOpenThrowsWithTheSystemText) {
    for (DWORD code :
         {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_GEN_FAILURE}}) {
        M().faults().Inject(sim::DeviceOp::Open, code, 1, kPath);
        CSerialPort serial;
        std::wstring message;
        EXPECT_EQ(ErrorOf([&] { serial.Open(kPath, 115200, 2, 8, 0, 0, false); }, &message), code);
        EXPECT_EQ(message, SystemText(code));
        EXPECT_FALSE(message.empty());
        EXPECT_FALSE(serial.IsOpen());
    }
    CSerialPort serial;
    EXPECT_EQ(ErrorOf([&] { serial.Open(L"\\\\.\\COM9", 115200, 2, 8, 0, 0, false); }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SerialPortTest, BusyPortAndRefusedSettings) {
    CSerialPort first, second;
    first.Open(kPath, 115200, 2, 8, 0, 0, false);
    EXPECT_EQ(ErrorOf([&] { second.Open(kPath, 115200, 2, 8, 0, 0, false); }),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    first.Close();

    // 1.5 stop bits with 8 data bits: the port refuses the settings; the handle stays held
    // until Close.
    EXPECT_EQ(ErrorOf([&] { second.Open(kPath, 115200, 2, 8, 1, 0, false); }),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(second.IsOpen());
    EXPECT_TRUE(port->IsOpen());
    second.Close();
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(SerialPortTest, WriteOnAClosedOrOverlappedPortIsError29) {
    CSerialPort serial;
    std::wstring message;
    EXPECT_EQ(ErrorOf([&] { serial.Write("x", 1); }, &message), 29u);
    EXPECT_EQ(message, SystemText(ERROR_WRITE_FAULT));

    serial.Open(kPath, 115200, 2, 8, 0, 0, true);
    EXPECT_EQ(ErrorOf([&] { serial.Write("x", 1); }), 29u);
    EXPECT_EQ(port->Written(), "");
    serial.Close();
    serial.Close();  // harmless
    EXPECT_FALSE(serial.IsOpen());
}

TEST_F(SerialPortTest, TimeoutsWritesAndReadsOnAPortThatWentAway) {
    auto modem = sim::SimModem::Plug();
    modem->EnterModemMode();
    CSerialPort serial;
    serial.Open(L"\\\\.\\COM3", 115200, 2, 8, 0, 0, false);
    modem->Unplug();
    COMMTIMEOUTS t = {1, 0, 30, 1, 30};
    char buffer[4];
    EXPECT_EQ(ErrorOf([&] { serial.SetTimeouts(t); }), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(ErrorOf([&] { serial.Write("AT", 2); }), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(ErrorOf([&] { serial.Read(buffer, 4); }), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(SerialPortTest, ReadsWhatTheDeviceSentWithinTheTimeOuts) {
    CSerialPort serial;
    char buffer[8] = {};
    EXPECT_EQ(ErrorOf([&] { serial.Read(buffer, 8); }), static_cast<DWORD>(ERROR_READ_FAULT));
    serial.Open(kPath, 115200, 2, 8, 0, 0, false);
    COMMTIMEOUTS t = {MAXDWORD, MAXDWORD, 50, 0, 0};
    serial.SetTimeouts(t);
    EXPECT_EQ(serial.Read(buffer, 8), 0u);  // nothing within 50 ms
    const std::uint8_t ok[] = {'O', 'K'};
    ASSERT_TRUE(port->DeviceSend(ok, 2));
    EXPECT_EQ(serial.Read(buffer, 8), 2u);
    EXPECT_EQ(std::string(buffer, 2), "OK");
}

TEST_F(SerialPortTest, ReopeningLetsTheEarlierHandleGo) {
    CSerialPort serial;
    serial.Open(kPath, 115200, 2, 8, 0, 0, false);
    serial.Open(kPath, 9600, 2, 8, 0, 0, false);
    EXPECT_EQ(port->State().BaudRate, 9600u);
    EXPECT_EQ(port->Opens(), 2);
}

TEST_F(SerialPortTest, ExceptionCopiesAndUnknownCodes) {
    CSerialException e(ERROR_ACCESS_DENIED);
    CSerialException copy = e;
    EXPECT_EQ(copy.GetErrorMessage(), L"Access is denied.\r\n");
    EXPECT_EQ(CSerialException(0x7654321).GetErrorMessage(), L"");
}

}  // namespace
