// The simulated process a machine thread belongs to. Threads of the machine's own program (tests,
// demos) belong to none and see the machine's program path; a process the machine starts for a
// registered program runs its threads in that process's context, and CreateThread hands the
// context on to the threads it starts.
#pragma once

#include <memory>
#include <string>

#include "platform/wintypes.h"

namespace sim {

struct ProcessContext {
    DWORD pid = 0;
    std::wstring imagePath;
    std::wstring commandLine;
    std::wstring user;
};

// Null for the machine's own program.
std::shared_ptr<const ProcessContext> CurrentProcess();
void SetCurrentProcess(std::shared_ptr<const ProcessContext> context);

}  // namespace sim
