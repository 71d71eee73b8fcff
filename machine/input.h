// Mouse and key input as the hardware gives it, into the machine's window system. Input goes into
// the queue of the thread it is for, in order with what is posted there, and becomes window
// messages when that thread takes its messages:
// - mouse input: the thread that holds the capture (the foreground window's thread first), else,
//   while a button is held, the thread of the window it was pressed over (a drag stays with the
//   thread that took the press), else the thread of the topmost window under the pointer;
// - keys and the wheel: the thread of the foreground window, else of the topmost visible
//   top-level window.
// Each call answers whether a thread's queue took the input; the machine's state (the pointer's
// position, the keys held) changes either way. The control API (machine/control/input.h) and a
// program's input from the machine server (machine/remote_input.h) come here.
#pragma once

#include <string>

#include <winuser.h>

namespace sim::input {

enum class MouseButton { Left, Right };

// Moves the pointer to the screen point (kept inside the screen).
bool MoveMouse(POINT screen);
// Presses or releases the button where the pointer is.
bool PressMouse(MouseButton button = MouseButton::Left);
bool ReleaseMouse(MouseButton button = MouseButton::Left);
// Moves the pointer there, presses and releases the button.
bool Click(POINT screen, MouseButton button = MouseButton::Left);
// Moves the pointer there and clicks the left button twice at once (within the double-click time).
bool DoubleClick(POINT screen);
// Turns the wheel by `delta` (WHEEL_DELTA a notch; negative towards the user).
bool TurnWheel(int delta);
// A key goes down (again: a repeat) or up.
bool KeyDown(UINT virtualKey);
bool KeyUp(UINT virtualKey);
// Down and up.
bool PressKey(UINT virtualKey);
// Types the text key by key on the machine's keyboard (shift held for the characters that need
// it; a character without a key comes as a VK_PACKET key). False when a key found no queue.
bool TypeText(const std::wstring& text);

}  // namespace sim::input
