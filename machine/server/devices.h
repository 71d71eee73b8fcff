// The machine server's devices: the authoritative device tree, the modems plugged into it and
// their re-enumeration on the server's clock, and which client has which serial port open.
// Programs keep a mirror of the tree (the server sends it after every change) and bring their
// changes, opens, I/O control and eject requests here.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/devices.h"
#include "machine/modem.h"
#include "machine/wire.h"

namespace sim::server {

class DeviceHost {
public:
    // `now` reads the server's clock.
    explicit DeviceHost(std::function<std::uint64_t()> now);
    ~DeviceHost();
    DeviceHost(const DeviceHost&) = delete;
    DeviceHost& operator=(const DeviceHost&) = delete;

    // A Devices request of a client: its status; what it answers goes to `reply`.
    std::uint32_t Handle(int client, wire::Reader& r, wire::Writer& reply);
    // The client has gone: the ports it had open are free.
    void Disconnect(int client);

    // The earliest moment a modem's re-enumeration step is due (wire::kNever: none).
    std::uint64_t NextDeadline() const;
    // Runs the steps due by `now`, in the order they were asked for.
    void RunDue(std::uint64_t now);

    // The tree's bytes when it differs from what was last taken (every program gets it then).
    std::optional<std::string> TakeChanged();
    std::string TreeBytes();

private:
    std::uint32_t OnIoControl(const std::wstring& instanceId, wire::Reader& r,
                              wire::Writer& reply);
    std::shared_ptr<SimModem> Modem(wire::Reader& r);

    std::function<std::uint64_t()> now_;
    DeviceTree tree_;  // first: the modems' nodes it holds go last
    std::vector<std::shared_ptr<SimModem>> modems_;
    std::multimap<std::uint64_t, std::function<void()>> steps_;  // by due time, then order asked
    std::map<std::wstring, int> ports_;  // upper-case port name -> the client that has it open
    std::string lastTaken_;
};

}  // namespace sim::server
