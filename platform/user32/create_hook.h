// The layer's own framework classes (mfc/wnd.cpp) bind their window object to a window while it
// is being made, before its first message, as the framework does on the platform with a hook of
// its own: the calling thread's creation hook.
#pragma once

#include <winuser.h>

using WindowCreationHook = void (*)(HWND window);

// Sets the calling thread's creation hook (null: none) and returns the one set before.
// CreateWindowExW calls it on the creating thread once the window's record exists, before
// WM_NCCREATE; the hook sees every window the thread makes until it is taken away.
WindowCreationHook SetWindowCreationHook(WindowCreationHook hook);
