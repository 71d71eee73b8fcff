#include "dm/serial_link.h"

#include <utility>

#include "support/auto_lock.h"

DMSerialLink::DMSerialLink(std::wstring portName)
    : m_portName(std::move(portName)), m_reader(*this) {
    InitializeCriticalSection(&m_sendLock);
}

DMSerialLink::~DMSerialLink() {
    try {
        Close();
    } catch (const CSerialException&) {
    }
    DeleteCriticalSection(&m_sendLock);
}

bool DMSerialLink::Open(IDMLinkReceiver* receiver) {
    m_receiver = receiver;
    try {
        m_port.Open(SerialPortPath(m_portName), 115200, CSerialPort::NoParity, 8,
                    CSerialPort::OneStopBit, CSerialPort::NoFlowControl, false);
        // A read returns at once with what is there, else with the first bytes to come, else
        // empty after kPollMs.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = kPollMs;
        timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
        m_port.SetTimeouts(timeouts);
    } catch (const CSerialException&) {
        m_port.Close();
        return false;
    }
    return m_reader.Start();
}

bool DMSerialLink::Send(const std::uint8_t* data, std::size_t n) {
    CAutoLock guard(m_sendLock);
    if (m_failed.load() || m_closing.load()) return false;
    try {
        DWORD done = 0;
        while (done < n) {
            const DWORD written = m_port.Write(data + done, static_cast<DWORD>(n - done));
            if (written == 0) return false;  // the write timed out
            done += written;
        }
        return true;
    } catch (const CSerialException& e) {
        Fail(e);
        return false;
    }
}

void DMSerialLink::ReadLoop() {
    std::uint8_t buffer[4096];
    while (!m_closing.load()) {
        DWORD n = 0;
        try {
            n = m_port.Read(buffer, sizeof buffer);
        } catch (const CSerialException& e) {
            Fail(e);
            return;
        }
        if (n > 0) m_receiver->OnLinkBytes(buffer, n);
    }
}

void DMSerialLink::Fail(const CSerialException& e) {
    // The reader and a sender may fail at once: the first keeps its failure.
    bool expected = false;
    if (m_failing.compare_exchange_strong(expected, true)) {
        m_failure = std::make_unique<CSerialException>(e);
        m_failed.store(true);
        if (!m_closing.load()) m_receiver->OnLinkState(false);
    }
}

void DMSerialLink::Close() {
    m_closing.store(true);
    if (m_reader.Handle() != nullptr) m_reader.Wait(INFINITE);
    {
        CAutoLock guard(m_sendLock);
        m_port.Close();
    }
    if (m_failed.load() && m_failure != nullptr) {
        const CSerialException failure = *m_failure;
        m_failure.reset();  // reported once
        throw failure;
    }
}
