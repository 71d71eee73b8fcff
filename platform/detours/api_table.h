// The window functions that the hook library swaps (hooks.h): their real implementations, which
// live with their facilities (gdi32/dc.cpp, user32/placement.cpp, user32/input.cpp), and the switch
// that makes a commit fail. Internal to the layer and the machine's control.
#pragma once

#include <wingdi.h>
#include <winuser.h>

namespace api_real {

HDC GetDC(HWND window);
HDC GetDCEx(HWND window, HRGN clip, DWORD flags);
int ReleaseDC(HWND window, HDC dc);
BOOL ShowWindow(HWND window, int command);
BOOL ShowCaret(HWND window);
BOOL HideCaret(HWND window);
BOOL SetCaretPos(int x, int y);
BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();

}  // namespace api_real

namespace api_hooks {

// The next commit fails with `error` (0: it does not), changing nothing.
void FailNextCommit(DWORD error);
// How many of the functions have a hook attached now.
int AttachedCount();

}  // namespace api_hooks
