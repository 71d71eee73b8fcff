#include "dm_peer/link_pair.h"

#include "support/auto_lock.h"
#include <winbase.h>

namespace dmpeer {

// One lock serialises every delivery to the host, so that Close can promise no call after it
// returns. The device sink is called outside it: a device that answers at once sends from inside
// the sink.
struct LinkPair::State {
    CRITICAL_SECTION lock;
    IDMLinkReceiver* receiver = nullptr;
    DeviceSink sink;
    bool up = true;

    State() { InitializeCriticalSection(&lock); }
    ~State() { DeleteCriticalSection(&lock); }
};

namespace {

class HostEnd : public IDMLink {
public:
    explicit HostEnd(std::shared_ptr<LinkPair::State> state) : m_state(std::move(state)) {}
    ~HostEnd() override { Close(); }

    bool Open(IDMLinkReceiver* receiver) override {
        CAutoLock guard(m_state->lock);
        m_state->receiver = receiver;
        return m_state->up;
    }
    bool Send(const std::uint8_t* data, std::size_t n) override {
        LinkPair::DeviceSink sink;
        {
            CAutoLock guard(m_state->lock);
            if (!m_state->up || m_state->receiver == nullptr) return false;
            sink = m_state->sink;
        }
        if (sink) sink(data, n);
        return true;
    }
    void Close() override {
        CAutoLock guard(m_state->lock);
        m_state->receiver = nullptr;
    }

private:
    std::shared_ptr<LinkPair::State> m_state;
};

}  // namespace

LinkPair::LinkPair() : m_state(std::make_shared<State>()) {}

LinkPair::~LinkPair() {
    CAutoLock guard(m_state->lock);
    m_state->sink = nullptr;
}

std::unique_ptr<IDMLink> LinkPair::MakeHostEnd() {
    return std::make_unique<HostEnd>(m_state);
}

void LinkPair::SetDeviceSink(DeviceSink sink) {
    CAutoLock guard(m_state->lock);
    m_state->sink = std::move(sink);
}

bool LinkPair::DeviceSend(const std::uint8_t* data, std::size_t n) {
    CAutoLock guard(m_state->lock);
    if (!m_state->up || m_state->receiver == nullptr) return false;
    m_state->receiver->OnLinkBytes(data, n);
    return true;
}

void LinkPair::SetUp(bool up) {
    CAutoLock guard(m_state->lock);
    m_state->up = up;
    if (m_state->receiver != nullptr) m_state->receiver->OnLinkState(up);
}

bool LinkPair::IsUp() const {
    CAutoLock guard(m_state->lock);
    return m_state->up;
}

}  // namespace dmpeer
