// The layer's routing of hardware input (user_input.cpp), for the queue functions
// (user_messages.cpp): mouse and key input that the machine queued for the calling thread becomes
// the window message that the thread takes.
#pragma once

#include <optional>

#include "platform/user.h"

// Routes one input (as sim::WindowTable::PostInput queued it) on the calling thread: sends the hit
// test, WM_MOUSEACTIVATE and WM_SETCURSOR, and gives the message to deliver in its place, or
// nothing when no window of the thread takes it (it may have gone to another thread's queue).
std::optional<MSG> RouteInput(const MSG& input);
