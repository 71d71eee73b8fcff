// The machine's control API for the screen: what it shows, as pixels and PNG files.
#pragma once

#include <string>

#include <wingdi.h>

namespace control {

// The composed screen (every visible top-level window in z-order over the desktop) as a PNG
// file; false when it could not be written.
bool SaveScreenPng(const std::string& path);
// What one top-level window shows (its backing surface, or its layered picture with the colour
// key transparent) as a PNG file; false for an unknown window or a file that could not be
// written.
bool SaveWindowPng(HWND window, const std::string& path);
// The screen's colour at the point, 0x00BBGGRR as a COLORREF; CLR_INVALID outside the screen.
COLORREF PixelAt(int x, int y);

}  // namespace control
