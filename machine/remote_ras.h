// The RAS of a program on a machine server: its phone book, dial scripts and journal are the
// server's, its connections are reported there (so that every process sees them), and what the
// control client asks of one of its connections (counters, a dropped line) comes from there.
#pragma once

#include <string>

namespace sim {

class ServerLink;

// The process's RAS uses the server from here on; a thread of the process applies what the
// server sends about its connections (the link runs by then).
void JoinServedRas(ServerLink& link);
// The server sent news of a connection (the link's receive thread, kernel lock held).
void ReceiveRasNewsLocked(const std::string& payload);

}  // namespace sim
