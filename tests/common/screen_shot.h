// Pictures of the machine's screen for drawing tests: a rectangle of it, and a copy kept under
// build/debug/pictures/ for review.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "machine/machine.h"
#include "machine/screen.h"
#include <wingdi.h>
#include <winuser.h>

// The screen's picture of the rectangle (screen coordinates); the caller destroys it.
inline cairo_surface_t* ScreenShot(RECT r) {
    cairo_surface_t* screen = sim::machine().screen().Compose();
    cairo_surface_t* shot =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, r.right - r.left, r.bottom - r.top);
    cairo_t* cr = cairo_create(shot);
    cairo_set_source_surface(cr, screen, -r.left, -r.top);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(screen);
    return shot;
}

inline void KeepForReview(cairo_surface_t* shot, const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::path(MODEM_SOURCE_DIR) / "build" / "debug" / "pictures";
    std::filesystem::create_directories(folder);
    cairo_surface_write_to_png(shot, (folder / (name + ".png")).c_str());
}

// A pixel of a picture, as a COLORREF.
inline COLORREF ShotPixel(cairo_surface_t* shot, int x, int y) {
    cairo_surface_flush(shot);
    const unsigned char* row =
        cairo_image_surface_get_data(shot) + y * cairo_image_surface_get_stride(shot);
    const auto p = reinterpret_cast<const std::uint32_t*>(row)[x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// The screen's picture of the rectangle of the window's client coordinates (composed once).
inline cairo_surface_t* ClientShot(HWND window, RECT r) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return ScreenShot(
        {origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom});
}

// The screen's picture of the window's client area.
inline cairo_surface_t* ClientShot(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return ClientShot(window, client);
}
