// A COM port: opened and configured, given time-outs, written, read and closed. Every failure is
// thrown as a CSerialException that carries the system's text for the error code.
#pragma once

#include <string>

#include <windows.h>

class CSerialException {
public:
    explicit CSerialException(DWORD errorCode);
    virtual ~CSerialException() = default;
    CSerialException(const CSerialException&) = default;
    CSerialException& operator=(const CSerialException&) = default;

    // The system's message for the error code (at most 1023 characters); empty when the system
    // has no text for it.
    virtual std::wstring GetErrorMessage() const { return m_message; }
    DWORD GetErrorCode() const { return m_code; }

private:
    std::wstring m_message;
    DWORD m_code;
};

// The path CreateFileW opens for a COM port name: "\\.\" in front unless the name holds it.
std::wstring SerialPortPath(const std::wstring& portName);

class CSerialPort {
public:
    enum Parity { EvenParity = 0, MarkParity = 1, NoParity = 2, OddParity = 3, SpaceParity = 4 };
    enum StopBits { OneStopBit = 0, OnePointFiveStopBits = 1, TwoStopBits = 2 };
    enum FlowControl {
        NoFlowControl = 0,
        CtsRtsFlowControl = 1,
        CtsDtrFlowControl = 2,
        DsrRtsFlowControl = 3,
        DsrDtrFlowControl = 4,
        XonXoffFlowControl = 5,
    };

    CSerialPort() = default;
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port path ("\\.\COM4") and sets its line. A parity or stop-bit value outside the
    // tables leaves the port's own setting. Throws CSerialException; a handle that was opened
    // before a later step failed stays held until Close.
    void Open(const std::wstring& port, DWORD baudRate, int parity, BYTE dataBits, int stopBits,
              int flowControl, bool overlapped);
    void SetTimeouts(const COMMTIMEOUTS& timeouts);
    // Writes on a port opened without overlapped I/O; error 29 (ERROR_WRITE_FAULT) on a closed
    // or overlapped port.
    DWORD Write(const void* buffer, DWORD count);
    // Reads what comes within the port's read time-outs (0 bytes when nothing came) on a port
    // opened without overlapped I/O; error 30 (ERROR_READ_FAULT) on a closed or overlapped port.
    DWORD Read(void* buffer, DWORD count);
    void Close();
    bool IsOpen() const { return m_port != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_port = INVALID_HANDLE_VALUE;
    bool m_overlapped = false;
};
