// The engine's device link over the modem's COM port: "\\.\COMn" at 115200 baud, 8 data bits, no
// parity, one stop bit, no flow control. A thread of the link's own reads the port with its
// time-outs (a read returns as soon as bytes are there, or after kPollMs with none, so that the
// thread sees Close) and hands what came to the receiver. A failing port (the modem unplugged)
// takes the link down for good: the receiver is told, later sends fail, and Close throws the
// failure as the CSerialException it was, after closing the port.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/serial_port.h"
#include "app/thread.h"
#include "dm/link.h"
#include <windows.h>

class DMSerialLink final : public IDMLink {
public:
    static constexpr DWORD kPollMs = 100;
    static constexpr DWORD kWriteTimeoutMs = 1000;

    // portName: "COM4" or a path that already begins with "\\.\".
    explicit DMSerialLink(std::wstring portName);
    // Closes; a failure is not reported.
    ~DMSerialLink() override;
    DMSerialLink(const DMSerialLink&) = delete;
    DMSerialLink& operator=(const DMSerialLink&) = delete;

    // Opens the port and starts the reading thread; false (link down) when the port cannot be
    // opened.
    bool Open(IDMLinkReceiver* receiver) override;
    bool Send(const std::uint8_t* data, std::size_t n) override;
    void Close() override;
    const std::wstring& PortName() const { return m_portName; }

private:
    void ReadLoop();
    // The first failure takes the link down and tells the receiver; later ones change nothing.
    void Fail(const CSerialException& e);

    std::wstring m_portName;
    CSerialPort m_port;
    // Held by a send across its writes, and by Close while it closes the port: a send racing the
    // engine's stop finds the port open or not at all.
    CRITICAL_SECTION m_sendLock;
    DMOwnedThread<DMSerialLink, &DMSerialLink::ReadLoop> m_reader;
    IDMLinkReceiver* m_receiver = nullptr;
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_failing{false};
    std::atomic<bool> m_failed{false};
    std::unique_ptr<CSerialException> m_failure;  // written once, before m_failed is set
};
