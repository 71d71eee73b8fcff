// Inside the layer: how drawing code (GDI's own drawing calls, GDI+) reaches the pixels behind a
// device context or a bitmap. Every such surface is a cairo ARGB32 image surface (premultiplied
// alpha). The system's code never includes this header.
#pragma once

#include <cairo.h>

#include <wingdi.h>

namespace gdi {

// What lies behind a device context.
struct DcTarget {
    cairo_surface_t* surface = nullptr;  // a new reference: the caller destroys it
    POINT origin{0, 0};                  // where the context's logical (0, 0) lies on the surface
    cairo_region_t* clip = nullptr;      // in surface pixels (a new reference), or null: no clip
};

// False for an unknown context or one with nothing behind it (a memory context's stock 1x1
// bitmap still counts as something).
bool TargetOf(HDC dc, DcTarget* target);
// Called after drawing into a context's target: marks the surface dirty, and a window context's
// drawing becomes visible on the screen.
void Drawn(HDC dc);
// The image surface of a bitmap (a new reference), or null for an unknown handle.
cairo_surface_t* BitmapSurface(HBITMAP bitmap);

}  // namespace gdi
