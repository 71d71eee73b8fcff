// The machine's control API for input state: what tests read of a thread's caret and of the
// cursor.
#pragma once

#include <optional>

#include "platform/user.h"

namespace control {

struct CaretInfo {
    HWND owner = nullptr;
    POINT position{0, 0};
    SIZE size{0, 0};
    bool visible = false;  // its hide count is 0
};

// The thread's caret; nothing when it has none (or its window was destroyed).
std::optional<CaretInfo> Caret(DWORD threadId);
// The cursor shape last set with SetCursor (NULL before).
HCURSOR CurrentCursor();

}  // namespace control
