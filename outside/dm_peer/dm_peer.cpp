#include "dm_peer/dm_peer.h"

#include <algorithm>

#include "machine/control/devices.h"
#include "support/auto_lock.h"

namespace dmpeer {

void AppendRaw(DMPacket& packet, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) packet.WriteU8(static_cast<std::uint8_t>(value >> (8 * i)));
}

Peer::Peer(bool bigEndian)
    : m_bigEndian(bigEndian),
      m_requestEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    InitializeCriticalSection(&m_lock);
    m_pair.SetDeviceSink([this](const std::uint8_t* data, std::size_t n) { OnHostBytes(data, n); });
    m_thread = CreateThread(
        nullptr, 0,
        [](LPVOID self) -> DWORD {
            static_cast<Peer*>(self)->Run();
            return 0;
        },
        this, 0, nullptr);
}

Peer::~Peer() {
    m_pair.SetDeviceSink(nullptr);
    if (!m_port.empty()) control::SetSerialDeviceSink(m_port, nullptr);
    SetEvent(m_stop);
    if (m_thread != nullptr) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    for (HANDLE h : {m_requestEvent, m_wake, m_stop}) CloseHandle(h);
    DeleteCriticalSection(&m_lock);
}

void Peer::AttachToPort(const std::wstring& portName) {
    m_port = portName;
    control::SetSerialDeviceSink(
        portName, [this](const std::uint8_t* data, std::size_t n) { OnHostBytes(data, n); });
}

void Peer::DeviceSend(const Bytes& frame) {
    if (!m_port.empty())
        control::SerialDeviceSend(m_port, frame.data(), frame.size());
    else
        m_pair.DeviceSend(frame.data(), frame.size());
}

void Peer::SetHandler(CommandKey key, Handler handler, bool statusByte) {
    CAutoLock guard(m_lock);
    m_handlers[key] = HandlerEntry{std::move(handler), statusByte};
}

void Peer::PushScript(CommandKey key, Script script) {
    CAutoLock guard(m_lock);
    m_scripts[key].push_back(script);
}

void Peer::SetDefaultScript(CommandKey key, Script script) {
    CAutoLock guard(m_lock);
    m_defaults[key] = script;
}

void Peer::InjectReport(std::uint32_t reportId, const Bytes& payload, DWORD delayMs) {
    Emit(EncodeDMFrame(DMFrameKind::Report, reportId, payload.data(), payload.size()), delayMs);
}

void Peer::SendRaw(const Bytes& bytes) {
    Emit(bytes, 0);
}

std::vector<Bytes> Peer::Requests() const {
    CAutoLock guard(m_lock);
    return m_requests;
}

std::size_t Peer::RequestCount(CommandKey key) const {
    CAutoLock guard(m_lock);
    return static_cast<std::size_t>(std::count_if(m_requests.begin(), m_requests.end(),
                                                  [&](const Bytes& r) { return KeyOf(r) == key; }));
}

bool Peer::WaitForRequests(std::size_t n, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        {
            CAutoLock guard(m_lock);
            if (m_requests.size() >= n) return true;
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        WaitForSingleObject(m_requestEvent, timeoutMs - spent);
    }
}

std::size_t Peer::PendingReplies() const {
    CAutoLock guard(m_lock);
    return m_pending.size();
}

CommandKey Peer::KeyOf(const Bytes& request) const {
    CommandKey key;
    if (request.empty()) return key;
    key.code = request[0];
    if (key.code != kCategoryCode || request.size() < 4) return key;
    key.category = request[1];
    key.sub = m_bigEndian ? static_cast<std::uint16_t>(request[2] << 8 | request[3])
                          : static_cast<std::uint16_t>(request[3] << 8 | request[2]);
    return key;
}

void Peer::OnHostBytes(const std::uint8_t* data, std::size_t n) {
    m_decoder.Feed(data, n, [this](DMFrame&& frame) {
        if (frame.kind == DMFrameKind::Request && !frame.payload.empty()) OnRequest(frame.payload);
    });
}

void Peer::OnRequest(const Bytes& payload) {
    const CommandKey key = KeyOf(payload);
    const bool category = key.code == kCategoryCode && payload.size() >= 4;
    Script script;
    HandlerEntry entry;
    bool known = false;
    {
        CAutoLock guard(m_lock);
        m_requests.push_back(payload);
        auto queued = m_scripts.find(key);
        if (queued != m_scripts.end() && !queued->second.empty()) {
            script = queued->second.front();
            queued->second.pop_front();
        } else if (auto d = m_defaults.find(key); d != m_defaults.end()) {
            script = d->second;
        }
        if (auto h = m_handlers.find(key); h != m_handlers.end()) {
            entry = h->second;
            known = true;
        }
    }
    SetEvent(m_requestEvent);
    if (script.drop) return;

    const std::size_t headerSize = category ? 4 : 1;
    if (script.notSupported || !known) {
        Bytes echo(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(headerSize));
        Emit(EncodeDMFrame(DMFrameKind::NotSupported, 0, echo.data(), echo.size()), script.delayMs);
        return;
    }

    DMPacket request(m_bigEndian, payload.data(), payload.size());
    request.SetPosition(static_cast<std::uint32_t>(headerSize));
    DMPacket body(m_bigEndian);
    std::uint8_t status = 0;
    try {
        status = entry.handler ? entry.handler(request, body) : 0;
    } catch (const CDMPacketException&) {
        status = 1;  // a request too short for its command: the device refuses it
    }
    if (script.status) status = *script.status;

    Bytes reply(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(headerSize));
    if (entry.statusByte && category) reply.push_back(status);
    if (status == 0 || !entry.statusByte)
        reply.insert(reply.end(), body.Data(), body.Data() + body.Size());
    if (script.truncateTo && *script.truncateTo < reply.size()) reply.resize(*script.truncateTo);

    const Bytes frame = EncodeDMFrame(DMFrameKind::Reply, 0, reply.data(), reply.size());
    for (int i = 0; i < std::max(script.copies, 1); ++i) Emit(frame, script.delayMs);
}

void Peer::Emit(Bytes frame, DWORD delayMs) {
    {
        CAutoLock guard(m_lock);
        if (delayMs != 0 || !m_pending.empty()) {
            DWORD due = GetTickCount() + delayMs;
            // Replies leave in order: nothing overtakes what waits already.
            if (!m_pending.empty() && static_cast<int>(due - m_pending.back().due) < 0)
                due = m_pending.back().due;
            m_pending.push_back({due, std::move(frame)});
            SetEvent(m_wake);
            return;
        }
    }
    DeviceSend(frame);
}

void Peer::Run() {
    HANDLE handles[] = {m_stop, m_wake};
    for (;;) {
        DWORD timeout = INFINITE;
        Bytes ready;
        bool haveReady = false;
        {
            CAutoLock guard(m_lock);
            if (!m_pending.empty()) {
                const int left = static_cast<int>(m_pending.front().due - GetTickCount());
                if (left <= 0) {
                    // It stays queued while it is sent, so that an answer without delay cannot
                    // overtake it.
                    ready = m_pending.front().bytes;
                    haveReady = true;
                } else {
                    timeout = static_cast<DWORD>(left);
                }
            }
        }
        if (haveReady) {
            DeviceSend(ready);
            CAutoLock guard(m_lock);
            m_pending.pop_front();
            continue;
        }
        if (WaitForMultipleObjects(2, handles, FALSE, timeout) == WAIT_OBJECT_0) return;
    }
}

}  // namespace dmpeer
