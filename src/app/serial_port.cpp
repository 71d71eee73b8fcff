#include "app/serial_port.h"

#include <cstring>

#include <windows.h>

namespace {

constexpr std::size_t kMaxMessageChars = 1023;

}  // namespace

CSerialException::CSerialException(DWORD errorCode) : m_code(errorCode) {
    LPWSTR text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT),
                                  reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length > 0 && text != nullptr)
        m_message.assign(text, length < kMaxMessageChars ? length : kMaxMessageChars);
    if (text != nullptr) LocalFree(text);
}

std::wstring SerialPortPath(const std::wstring& portName) {
    if (portName.find(L"\\\\.\\") != std::wstring::npos) return portName;
    return L"\\\\.\\" + portName;
}

CSerialPort::~CSerialPort() {
    Close();
}

void CSerialPort::Open(const std::wstring& port, DWORD baudRate, int parity, BYTE dataBits,
                       int stopBits, int flowControl, bool overlapped) {
    Close();  // a port still held from an earlier Open is let go first
    m_port = CreateFileW(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (m_port == INVALID_HANDLE_VALUE) throw CSerialException(GetLastError());
    m_overlapped = overlapped;

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_port, &dcb)) throw CSerialException(GetLastError());
    dcb.BaudRate = baudRate;
    switch (parity) {
        case EvenParity:
            dcb.Parity = EVENPARITY;
            break;
        case MarkParity:
            dcb.Parity = MARKPARITY;
            break;
        case NoParity:
            dcb.Parity = NOPARITY;
            break;
        case OddParity:
            dcb.Parity = ODDPARITY;
            break;
        case SpaceParity:
            dcb.Parity = SPACEPARITY;
            break;
        default:
            break;
    }
    dcb.ByteSize = dataBits;
    switch (stopBits) {
        case OneStopBit:
            dcb.StopBits = ONESTOPBIT;
            break;
        case OnePointFiveStopBits:
            dcb.StopBits = ONE5STOPBITS;
            break;
        case TwoStopBits:
            dcb.StopBits = TWOSTOPBITS;
            break;
        default:
            break;
    }

    dcb.fDsrSensitivity = 0;
    if (flowControl >= NoFlowControl && flowControl <= XonXoffFlowControl) {
        bool rts = flowControl == CtsRtsFlowControl || flowControl == DsrRtsFlowControl;
        bool dtr = flowControl == CtsDtrFlowControl || flowControl == DsrDtrFlowControl;
        bool xonXoff = flowControl == XonXoffFlowControl;
        dcb.fOutxCtsFlow = flowControl == CtsRtsFlowControl || flowControl == CtsDtrFlowControl;
        dcb.fOutxDsrFlow = flowControl == DsrRtsFlowControl || flowControl == DsrDtrFlowControl;
        dcb.fOutX = xonXoff;
        dcb.fInX = xonXoff;
        if (rts) dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        if (dtr) dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        if (xonXoff) {
            dcb.XonChar = 0x11;
            dcb.XoffChar = 0x13;
            dcb.XoffLim = 100;
            dcb.XonLim = 100;
        }
    }
    if (!SetCommState(m_port, &dcb)) throw CSerialException(GetLastError());
}

void CSerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    COMMTIMEOUTS copy = timeouts;
    if (!SetCommTimeouts(m_port, &copy)) throw CSerialException(GetLastError());
}

DWORD CSerialPort::Write(const void* buffer, DWORD count) {
    if (m_port == INVALID_HANDLE_VALUE || m_overlapped) throw CSerialException(ERROR_WRITE_FAULT);
    DWORD written = 0;
    if (!WriteFile(m_port, buffer, count, &written, nullptr))
        throw CSerialException(GetLastError());
    return written;
}

DWORD CSerialPort::Read(void* buffer, DWORD count) {
    if (m_port == INVALID_HANDLE_VALUE || m_overlapped) throw CSerialException(ERROR_READ_FAULT);
    DWORD read = 0;
    if (!ReadFile(m_port, buffer, count, &read, nullptr)) throw CSerialException(GetLastError());
    return read;
}

void CSerialPort::Close() {
    if (m_port != INVALID_HANDLE_VALUE) CloseHandle(m_port);
    m_port = INVALID_HANDLE_VALUE;
    m_overlapped = false;
}
