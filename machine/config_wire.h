// The machine's configuration on the wire: the control client sets it on a server before the
// programs start, and each program gets it in the answer to its hello. What is the machine's
// (Windows version, code page, languages, user, folders, local time, time zone, screen) travels;
// what each process decides for itself (host folder, clock mode, echoes) does not.
#pragma once

#include <string>

#include "machine/machine.h"
#include "machine/wire.h"

namespace sim::wire {

std::string EncodeConfig(const Config& config);
// Fills the machine's fields of `config` from the bytes; false (config untouched) when they are
// malformed or out of range.
bool DecodeConfig(const std::string& bytes, Config& config);

}  // namespace sim::wire
