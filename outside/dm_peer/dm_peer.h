// A simulated modem on the device command link, for tests, benchmarks and the demo: on the
// in-process link pair (the engine's unit tests), or behind a COM port of the machine (the
// modem's diagnostics port), where a program that opens the port talks to it. It decodes
// the host's frames, logs every request, answers from a table of command handlers, and follows
// per-command scripts (status byte, drop, delay, truncate, not-supported, duplicate); it also
// sends reports when told. Delays run on the machine clock. It is no part of the device command
// library, which never links it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dm/frame.h"
#include "dm/packet.h"
#include "dm_peer/link_pair.h"
#include <winbase.h>

namespace dmpeer {

using Bytes = std::vector<std::uint8_t>;

// Which command a request is: its code, and for the category requests (code 0x4B) the category
// and the sub-command (read in the packet's byte order). Other codes have category and sub 0.
struct CommandKey {
    std::uint8_t code = 0;
    std::uint8_t category = 0;
    std::uint16_t sub = 0;
    auto operator<=>(const CommandKey&) const = default;
};

constexpr std::uint8_t kCategoryCode = 0x4B;

// What the device does with the next request of one command.
struct Script {
    // Status byte of the reply; unset: the handler's.
    std::optional<std::uint8_t> status;
    bool drop = false;          // no reply at all
    bool notSupported = false;  // a not-supported frame instead of the reply
    DWORD delayMs = 0;          // on the machine clock, from the request's arrival
    // Reply payload cut to this many bytes (code included).
    std::optional<std::size_t> truncateTo;
    int copies = 1;  // 2: the same reply twice (a duplicate)
};

// A command's handler: reads the request (positioned after the header) and writes the reply body
// (what follows the status byte) into `body`; returns the status byte.
using Handler = std::function<std::uint8_t(DMPacket& request, DMPacket& body)>;

struct HandlerEntry {
    Handler handler;
    // The reply carries a status byte after the echoed header (most category commands do; the
    // status query and the version command do not).
    bool statusByte = true;
};

// Raw fields (hardware version, ESN, IMSI, MIN, engineering values) travel least significant
// byte first whatever the packet order; typed fields use WriteU16/WriteU32.
void AppendRaw(DMPacket& packet, std::uint64_t value, int width);

class Peer {
public:
    explicit Peer(bool bigEndian);
    // Stops the delay thread; pending replies are dropped. Destroy the engine first.
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool BigEndian() const { return m_bigEndian; }
    // The host end of the link, for the engine.
    std::unique_ptr<IDMLink> HostLink() { return m_pair.MakeHostEnd(); }
    LinkPair& Link() { return m_pair; }
    // From now on the device sits behind the COM port of that name ("COM4"): it hears what the
    // port's opener writes and answers through the port instead of the link pair. Detached by
    // the destructor.
    void AttachToPort(const std::wstring& portName);

    // The handler table. A command without a handler is answered not-supported.
    void SetHandler(CommandKey key, Handler handler, bool statusByte = true);
    // One-shot scripts, used in order by the command's next requests.
    void PushScript(CommandKey key, Script script);
    // The script used when no one-shot script is left.
    void SetDefaultScript(CommandKey key, Script script);

    // Sends a report frame with the payload, after delayMs on the machine clock.
    void InjectReport(std::uint32_t reportId, const Bytes& payload, DWORD delayMs = 0);
    // Sends arbitrary bytes to the host, as they are.
    void SendRaw(const Bytes& bytes);

    // Every request payload received (code first), in order.
    std::vector<Bytes> Requests() const;
    std::size_t RequestCount(CommandKey key) const;
    // Signalled (auto-reset) after each request is logged.
    HANDLE RequestEvent() const { return m_requestEvent; }
    // Waits on the machine clock until at least n requests were logged; false on time-out.
    bool WaitForRequests(std::size_t n, DWORD timeoutMs);

    // Bytes of frames still waiting for their delay.
    std::size_t PendingReplies() const;

    CommandKey KeyOf(const Bytes& request) const;

private:
    struct Pending {
        DWORD due;
        Bytes bytes;
    };
    void OnHostBytes(const std::uint8_t* data, std::size_t n);
    void OnRequest(const Bytes& payload);
    // Sends now when nothing waits and the delay is 0, else queues behind what waits (the device
    // answers in order).
    void Emit(Bytes frame, DWORD delayMs);
    void Run();
    // To the host, through the port when attached, else the link pair.
    void DeviceSend(const Bytes& frame);

    bool m_bigEndian;
    LinkPair m_pair;
    std::wstring m_port;       // set once, before the port's opener can write
    DMFrameDecoder m_decoder;  // used on the host's sending thread only

    mutable CRITICAL_SECTION m_lock;
    std::map<CommandKey, HandlerEntry> m_handlers;
    std::map<CommandKey, std::deque<Script>> m_scripts;
    std::map<CommandKey, Script> m_defaults;
    std::vector<Bytes> m_requests;
    std::deque<Pending> m_pending;

    HANDLE m_requestEvent;
    HANDLE m_wake;
    HANDLE m_stop;
    HANDLE m_thread = nullptr;
};

}  // namespace dmpeer
