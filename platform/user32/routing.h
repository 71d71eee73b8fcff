// The layer's routing of hardware input (user32/input.cpp), for the queue functions
// (user32/messages.cpp): mouse and key input that the machine queued for the calling thread becomes
// the window message that the thread takes.
#pragma once

#include <optional>

#include <winuser.h>

// Routes one input (as sim::WindowTable::PostInput queued it) on the calling thread: sends the hit
// test, WM_MOUSEACTIVATE and WM_SETCURSOR, and gives the message to deliver in its place, or
// nothing when no window of the thread takes it (it may have gone to another thread's queue).
std::optional<MSG> RouteInput(const MSG& input);

// ---- The caret's picture (user32/input.cpp) ----
// The caret blink (the owner's blink timer message, through the default procedure): inverts the
// shown caret's rectangle on the owner, so that it appears and disappears in turn.
void BlinkCaret(HWND window);
// The window painted its client area over the caret with `dc`: a caret that was showing is
// inverted in again, so that the blinking stays in step.
void CaretPaintedOver(HWND window, HDC dc);

// ---- Icons (user32/icons.cpp) ----
// The default procedure's WM_SETICON, WM_GETICON, WM_QUERYDRAGICON and WM_ICONERASEBKGND.
LRESULT DefWindowProcIcon(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Draws the icon scaled into the rectangle (logical coordinates of the context); false for an
// unknown icon or context.
bool PaintIcon(HDC dc, HICON icon, const RECT& where);
