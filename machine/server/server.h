// The machine server's host process: one per machine folder. It listens on
// "<folder>/server.sock" (the folder private to the user, the socket mode 0600), serves every
// client from one thread, starts the built programs as host processes, and exits by itself once
// it has served someone and has no client and no running process left.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "machine/waits.h"

namespace sim::server {

struct Options {
    std::string folder;
    // A connected socket that is the server's first client (the one that started it), or -1.
    int firstClientFd = -1;
    ClockMode mode = ClockMode::Virtual;
    double speed = 1.0;
    // The built programs: image file name and host executable.
    std::vector<std::pair<std::wstring, std::wstring>> programs;
};

// Serves until the server is finished or asked to stop. The exit status: 0, 2 when another
// server already runs for the folder, 1 when the folder or the socket could not be made.
int Serve(const Options& options);

}  // namespace sim::server
