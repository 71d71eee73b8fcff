// The system's own window classes (the standard controls and the dialog class): every process
// finds them after its own classes, and a class a process registers under the same name hides
// them for that process. Each control's file defines its procedure; the table in
// user_classes.cpp lists them.
#pragma once

#include <optional>
#include <string>

#include "platform/user.h"

namespace sim {
struct WindowClass;
}

// The system class of that name (case ignored), or nothing.
std::optional<sim::WindowClass> FindSystemClass(const std::wstring& name);

// The procedures of the system classes, each in its control's file.
LRESULT EditWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // user_edit.cpp
LRESULT IpAddressWindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam);  // comctl_ipaddress.cpp
LRESULT TooltipWindowProc(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam);  // comctl_tooltips.cpp

// A tooltip's extra window bytes: its state at 0, and while its tip shows, the tool's window and
// id (where the machine's control reads them).
constexpr int kTooltipShownWindow = 8;
constexpr int kTooltipShownId = 16;
constexpr int kTooltipExtraBytes = 24;

// Sends WM_COMMAND with the notification code (the high word of wParam) and the control's id to
// the parent of a child control; a window that is no child tells no one.
void NotifyParent(HWND control, UINT code);
