#include "platform/control/input.h"

#include "platform/sim/machine.h"
#include "platform/sim/windows.h"

namespace control {

std::optional<CaretInfo> Caret(DWORD threadId) {
    auto& windows = sim::machine().windows();
    auto caret = windows.input().Thread(threadId).caret;
    if (!caret || !windows.Exists(caret->owner)) return std::nullopt;
    return CaretInfo{
        caret->owner, caret->position, {caret->width, caret->height}, caret->hideCount == 0};
}

HCURSOR CurrentCursor() {
    return sim::machine().windows().input().Machine().cursor;
}

}  // namespace control
