// The machine's control API for the hook library (<detours.h>).
#pragma once

#include <windef.h>

namespace control {

// The process's next hook transaction commit fails with `error` and changes nothing (0: it
// succeeds again).
void FailNextHookCommit(DWORD error);
// How many of the interceptable window functions have a hook attached now.
int AttachedHookCount();

}  // namespace control
