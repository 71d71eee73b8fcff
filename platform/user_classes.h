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

// ---- The controls' window procedures (each in its control's file) ----
LRESULT CALLBACK ButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- What the controls share (user_controls.cpp) ----
// Sends the control's parent WM_COMMAND with MAKEWPARAM(the control's id, code).
void NotifyParent(HWND control, UINT code);
// Sends the control's parent WM_DRAWITEM for the whole client area of the control.
void SendDrawItem(HWND control, HDC dc, UINT type, UINT action, UINT state);
// Paints the control at once when it is visible (WM_PAINT through UpdateWindow); a hidden one
// only keeps the area to paint for when it is shown.
void RedrawNow(HWND control);
// Whether a mouse message's position (client coordinates in lParam) lies in the client area.
bool InClient(HWND control, LPARAM position);
