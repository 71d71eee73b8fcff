// Layered windows: a picture handed over whole (UpdateLayeredWindow) or the window's own
// drawing shown with a colour key and a constant alpha (SetLayeredWindowAttributes).
#include <wingdi.h>
#include "platform/gdi32/surface.h"
#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/screen.h"
#include "machine/trace.h"
#include "machine/windows.h"
#include <winuser.h>

using sim::Fail;

namespace {

// A top-level window with WS_EX_LAYERED, not yet shown the other way (`other`); otherwise the
// error to fail with.
DWORD CheckLayered(HWND window, sim::LayeredMode other) {
    auto info = sim::machine().windows().Get(window);
    if (!info) return ERROR_INVALID_WINDOW_HANDLE;
    if (info->parent != nullptr || !(info->exStyle & WS_EX_LAYERED)) return ERROR_INVALID_PARAMETER;
    if (sim::machine().screen().Layered(window).mode == other) return ERROR_INVALID_PARAMETER;
    return 0;
}

// `size` pixels of the context's target from `from` (outside the target: transparent).
cairo_surface_t* CopyOf(HDC source, POINT from, SIZE size) {
    gdi::DcTarget t;
    if (!gdi::TargetOf(source, &t)) return nullptr;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy);
    cairo_t* cr = cairo_create(out);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, t.surface, -(t.origin.x + from.x), -(t.origin.y + from.y));
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(out);
    cairo_surface_destroy(t.surface);
    if (t.clip != nullptr) cairo_region_destroy(t.clip);
    return out;
}

}  // namespace

BOOL UpdateLayeredWindow(HWND window, HDC screenDc, POINT* position, SIZE* size, HDC source,
                         POINT* sourcePoint, COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
    API_TRACE(Gdi, UpdateLayeredWindow, window, screenDc, position, size, source, sourcePoint, key,
              blend, flags);
    if (DWORD error = CheckLayered(window, sim::LayeredMode::Attributes)) return Fail(FALSE, error);
    if ((flags & ULW_ALPHA) && blend == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (size != nullptr && (size->cx <= 0 || size->cy <= 0))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto info = sim::machine().windows().Get(window);
    SIZE shown = size != nullptr
                     ? *size
                     : SIZE{info->rect.right - info->rect.left, info->rect.bottom - info->rect.top};
    cairo_surface_t* picture = nullptr;
    if (source != nullptr) {
        if (shown.cx <= 0 || shown.cy <= 0) return Fail(FALSE, ERROR_INVALID_PARAMETER);
        picture = CopyOf(source, sourcePoint != nullptr ? *sourcePoint : POINT{0, 0}, shown);
        if (picture == nullptr) return Fail(FALSE, ERROR_INVALID_HANDLE);
    }
    // The window moves to the picture's place and takes its size.
    if (position != nullptr || size != nullptr) {
        UINT swp = SWP_NOZORDER | SWP_NOACTIVATE;
        if (position == nullptr) swp |= SWP_NOMOVE;
        if (size == nullptr) swp |= SWP_NOSIZE;
        POINT at = position != nullptr ? *position : POINT{info->rect.left, info->rect.top};
        SetWindowPos(window, nullptr, at.x, at.y, shown.cx, shown.cy, swp);
    }
    sim::LayeredState state;
    state.mode = sim::LayeredMode::Picture;
    state.useKey = (flags & ULW_COLORKEY) != 0;
    state.key = key & 0x00FFFFFFu;
    state.useAlpha = (flags & ULW_ALPHA) != 0;
    state.alpha = state.useAlpha ? blend->SourceConstantAlpha : 255;
    state.perPixel = state.useAlpha && (blend->AlphaFormat & AC_SRC_ALPHA) != 0;
    auto& screen = sim::machine().screen();
    screen.SetLayered(window, state);
    if (picture != nullptr) {
        screen.SetPicture(window, picture);
        cairo_surface_destroy(picture);
    }
    return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
    API_TRACE(Gdi, SetLayeredWindowAttributes, window, key, alpha, flags);
    if (DWORD error = CheckLayered(window, sim::LayeredMode::Picture)) return Fail(FALSE, error);
    sim::LayeredState state;
    state.mode = sim::LayeredMode::Attributes;
    state.useKey = (flags & LWA_COLORKEY) != 0;
    state.key = key & 0x00FFFFFFu;
    state.useAlpha = (flags & LWA_ALPHA) != 0;
    state.alpha = state.useAlpha ? alpha : 255;
    sim::machine().screen().SetLayered(window, state);
    return TRUE;
}
