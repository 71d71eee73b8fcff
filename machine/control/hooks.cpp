#include "machine/control/hooks.h"

#include "platform/detours/api_table.h"

namespace control {

void FailNextHookCommit(DWORD error) {
    api_hooks::FailNextCommit(error);
}

int AttachedHookCount() {
    return api_hooks::AttachedCount();
}

}  // namespace control
