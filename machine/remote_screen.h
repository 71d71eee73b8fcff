// A program's part in the machine server's screen and input (machine/server/screen.h): it hands
// the server the pictures and rectangles of its visible top-level windows when asked, and takes
// the input the server routes to it into its own machine's input (machine/input.h), which makes
// its windows' messages. Its notification-area icons are listed on the server, and a click on
// one comes back to its shell.
#pragma once

#include "machine/wire.h"

namespace sim {

class ServerLink;

// At the program's start on a server (remote.cpp): its notification-area icons are told to the
// server.
void ShareTray(ServerLink& link);
// A frame from the server about the screen or input is answered or acted on (no kernel lock
// held). Anything else is left alone.
void HandleScreenPush(ServerLink& link, const wire::Frame& f);

// The largest band of picture rows one note carries.
inline constexpr std::size_t kBandBytes = 256 * 1024;

}  // namespace sim
