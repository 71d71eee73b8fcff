// The machine's control API for the state of threads.
#pragma once

#include <windef.h>

namespace control {

// The thread's count of CoInitialize calls not yet taken back; -1 when no running thread of the
// calling thread's process has this id.
int ComInitCount(DWORD threadId);

}  // namespace control
