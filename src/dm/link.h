// The engine's device link: a byte pipe to the modem. The engine frames what it sends (dm/frame.h)
// and is told of every byte that arrives and of the link going up or down.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/thread.h"

// Implemented by the engine. Calls may come from any thread, never for a link that is closed.
class IDMLinkReceiver {
public:
    // Bytes from the device, in order; any split of the stream is possible.
    virtual void OnLinkBytes(const std::uint8_t* data, std::size_t n) = 0;
    // The link can (true) or cannot (false) carry requests now.
    virtual void OnLinkState(bool up) = 0;

protected:
    ~IDMLinkReceiver() = default;
};

// A thread that runs one operation of its owner (the engine's reader, a serial link's reader).
template <class Owner, void (Owner::*Body)()>
class DMOwnedThread : public CThread {
public:
    explicit DMOwnedThread(Owner& owner) : m_owner(owner) {}

protected:
    void Run() override { (m_owner.*Body)(); }

private:
    Owner& m_owner;
};

class IDMLink {
public:
    virtual ~IDMLink() = default;
    // Starts delivering to `receiver`; true when the link is up now. The receiver stays in use
    // until Close returns.
    virtual bool Open(IDMLinkReceiver* receiver) = 0;
    // Sends bytes; false when the link is down (nothing is sent then).
    virtual bool Send(const std::uint8_t* data, std::size_t n) = 0;
    // Stops delivering; after it returns the receiver is never called again. Closing twice is
    // harmless. A link over a serial port may throw CSerialException.
    virtual void Close() = 0;
};
