// The machine's control API for tooltips: the tip that shows on the screen.
#pragma once

#include <optional>
#include <string>

#include <winuser.h>

namespace control {

struct TooltipInfo {
    HWND tooltip = nullptr;     // the tooltip window that shows it
    HWND toolWindow = nullptr;  // the tool's window and id, as the tool was added
    UINT_PTR toolId = 0;
    std::wstring text;
    RECT rect{};  // on the screen
};

// The shown tip (the topmost when several show); nothing when none shows.
std::optional<TooltipInfo> ShownTooltip();

}  // namespace control
