// Inside the layer: the icons' pictures, for the caption, the message box and the shell's
// notification area (user32/icons.cpp).
#pragma once

#include <cairo.h>

#include <winuser.h>

namespace sim {
struct WindowInfo;
}

// The icon's picture (a new reference), or null for an unknown icon.
cairo_surface_t* IconPicture(HICON icon);
// The program's own icon (its module's icon of the lowest id) at size x size, shared; NULL when
// the module has none.
HICON ProgramIcon(int size);
// The icon a frame's caption shows: the small icon, else the class's small icon, else the big
// one or the class's; NULL when the window has none.
HICON CaptionIcon(const sim::WindowInfo& w);
// The small icon's side (SM_CXSMICON).
int SmallIconSize();
