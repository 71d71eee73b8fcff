// The files' share table of a program on a machine server: every open and delete asks the server.
#pragma once

#include "machine/files.h"
#include "machine/remote.h"

namespace sim {

// A table that lives as long as the process.
FileSharesRemote* ServedFileShares(ServerLink& link);

}  // namespace sim
