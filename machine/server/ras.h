// The machine server's RAS: the machine's phone book, the scripts the control client gives the
// next dials, the journal of dials and hang-ups, and every program's connections as the programs
// report them. A dial's RAS thread runs in the dialling program, with the script the server
// gave it; what the control client asks of a live connection (counters, a dropped line) goes to
// that program.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "machine/ras.h"
#include "machine/wire.h"

namespace sim::server {

class RasHost {
public:
    // `now` reads the server's clock.
    explicit RasHost(std::function<std::uint64_t()> now);

    // A Ras request of a client (whose machine process is `pid`, 0 for none): its status; what
    // it answers goes to `reply`.
    std::uint32_t Handle(int client, std::uint32_t pid, wire::Reader& r, wire::Writer& reply);
    // The client has gone: its connections are no more.
    void Disconnect(int client);

    // What the last request has the server tell programs (RasNews payloads), to one client, or
    // to every program (kEveryProgram).
    static constexpr int kEveryProgram = -1;
    std::vector<std::pair<int, std::string>> TakeNews();

private:
    struct Owned {
        RasLine line;
        int client = 0;
    };
    void Purge();
    // The current connection (the newest not tearing down, else the newest), or null.
    Owned* Current();
    void Tell(int client, const RasNews& news);

    std::function<std::uint64_t()> now_;
    RasBook book_;
    std::map<std::uint32_t, Owned> lines_;  // by handle: handles grow, so in the order dialled
    std::vector<std::pair<int, std::string>> news_;
};

}  // namespace sim::server
