// Device contexts: the screen's, windows' (into the top-level window's backing surface), memory
// contexts and what lies behind each (gdi32/surface.h).
#include <algorithm>

#include "platform/detours/api_table.h"
#include <wingdi.h>
#include "platform/gdi32/draw_canvas.h"
#include "platform/gdi32/surface.h"
#include <winbase.h>
#include <winnls.h>
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/screen.h"
#include "machine/trace.h"
#include "machine/windows.h"

using sim::Fail;

namespace {

sim::GdiTable& Table() {
    return sim::GdiTable::Get();
}

HDC AddDc(sim::DcKind kind, HWND window) {
    auto obj = std::make_shared<sim::GdiDc>();
    obj->kind = kind;
    obj->window = window;
    obj->font = Table().SystemFont(GetACP());
    gdi::GiveStockTools(*obj);
    if (kind == sim::DcKind::Memory) {
        obj->bitmap = Table().StockBitmap();
    }
    return static_cast<HDC>(Table().Add(obj));
}

HWND TopLevelOf(HWND window) {
    auto& windows = sim::machine().windows();
    for (;;) {
        auto info = windows.Get(window);
        if (!info) return nullptr;
        if (info->parent == nullptr) return window;
        window = info->parent;
    }
}

// A window's client rectangle on its top-level window's backing surface.
RECT ClientOnSurface(HWND window, POINT surfaceOrigin) {
    auto info = sim::machine().windows().Get(window);
    if (!info) return RECT{};
    POINT o = sim::machine().windows().ClientOrigin(window);
    LONG x = o.x - surfaceOrigin.x;
    LONG y = o.y - surfaceOrigin.y;
    return RECT{x, y, x + (info->client.right - info->client.left),
                y + (info->client.bottom - info->client.top)};
}

RECT Moved(RECT r, LONG dx, LONG dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

cairo_region_t* RegionOf(const RECT& r) {
    cairo_rectangle_int_t rect{r.left, r.top, std::max<int>(r.right - r.left, 0),
                               std::max<int>(r.bottom - r.top, 0)};
    return cairo_region_create_rectangle(&rect);
}

void Intersect(cairo_region_t*& clip, const RECT& r) {
    cairo_region_t* other = RegionOf(r);
    if (clip == nullptr) {
        clip = other;
        return;
    }
    cairo_region_intersect(clip, other);
    cairo_region_destroy(other);
}

// What a window, paint or screen context draws into.
bool WindowTarget(const sim::GdiDc& dc, gdi::DcTarget* target) {
    if (dc.window == nullptr) {
        target->surface = sim::machine().screen().Desktop();
        return true;
    }
    HWND top = TopLevelOf(dc.window);
    auto topInfo = sim::machine().windows().Get(top);
    if (!topInfo) return false;
    POINT surfaceOrigin{topInfo->rect.left, topInfo->rect.top};
    cairo_surface_t* surface = sim::machine().screen().Backing(top);
    if (surface == nullptr) return false;
    target->surface = surface;
    cairo_region_t* clip = nullptr;
    if (dc.wholeWindow) {
        // The window rectangle is in the parent's client coordinates (the screen's at the top).
        auto info = sim::machine().windows().Get(dc.window);
        if (!info) return false;
        POINT o = info->parent == nullptr ? POINT{0, 0}
                                          : sim::machine().windows().ClientOrigin(info->parent);
        RECT r = Moved(info->rect, o.x - surfaceOrigin.x, o.y - surfaceOrigin.y);
        target->origin = {r.left, r.top};
        Intersect(clip, r);
    } else {
        RECT client = ClientOnSurface(dc.window, surfaceOrigin);
        target->origin = {client.left, client.top};
        Intersect(clip, client);
    }
    // Every ancestor's client area bounds what a child shows.
    for (HWND h = dc.window; h != top;) {
        auto info = sim::machine().windows().Get(h);
        if (!info) break;
        h = info->parent;
        Intersect(clip, ClientOnSurface(h, surfaceOrigin));
    }
    if (dc.kind == sim::DcKind::Paint)
        Intersect(clip, Moved(dc.paintRect, target->origin.x, target->origin.y));
    target->clip = clip;
    return true;
}

}  // namespace

namespace api_real {

HDC GetDC(HWND window) {
    API_TRACE(Gdi, GetDC, window);
    if (window != nullptr && !sim::machine().windows().Exists(window))
        return Fail<HDC>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    return AddDc(window == nullptr ? sim::DcKind::Screen : sim::DcKind::Window, window);
}

HDC GetDCEx(HWND window, HRGN clip, DWORD flags) {
    API_TRACE(Gdi, GetDCEx, window, clip, flags);
    if (window != nullptr && !sim::machine().windows().Exists(window))
        return Fail<HDC>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    std::shared_ptr<sim::GdiRegion> region;
    if (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN)) {
        region = Table().FindAs<sim::GdiRegion>(clip);
        if (!region) return Fail<HDC>(nullptr, ERROR_INVALID_HANDLE);
    }
    HDC dc = AddDc(window == nullptr ? sim::DcKind::Screen : sim::DcKind::Window, window);
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    obj->wholeWindow = window != nullptr && (flags & DCX_WINDOW) != 0;
    if (region) {
        cairo_region_t* r = cairo_region_copy(region->region);
        if (flags & DCX_EXCLUDERGN) {
            // Everything but the region: the context's whole area less the region.
            cairo_rectangle_int_t all{-(1 << 20), -(1 << 20), 1 << 21, 1 << 21};
            cairo_region_t* everything = cairo_region_create_rectangle(&all);
            cairo_region_subtract(everything, r);
            cairo_region_destroy(r);
            r = everything;
        }
        obj->clip = r;
        // The region belongs to the system once the call succeeds: the caller does not free it.
        DeleteObject(clip);
    }
    return dc;
}

int ReleaseDC(HWND window, HDC dc) {
    API_TRACE(Gdi, ReleaseDC, window, dc);
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    if (!obj || obj->window != window ||
        (obj->kind != sim::DcKind::Window && obj->kind != sim::DcKind::Screen))
        return 0;
    Table().Remove(dc);
    return 1;
}

}  // namespace api_real

HDC CreateCompatibleDC(HDC dc) {
    API_TRACE(Gdi, CreateCompatibleDC, dc);
    if (dc != nullptr && !Table().FindAs<sim::GdiDc>(dc))
        return Fail<HDC>(nullptr, ERROR_INVALID_HANDLE);
    return AddDc(sim::DcKind::Memory, nullptr);
}

BOOL DeleteDC(HDC dc) {
    API_TRACE(Gdi, DeleteDC, dc);
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    if (!obj || obj->kind != sim::DcKind::Memory) return Fail(FALSE, ERROR_INVALID_HANDLE);
    auto bitmap = Table().FindAs<sim::GdiBitmap>(obj->bitmap);
    Table().Remove(dc);
    if (bitmap)
        Table().Locked([&] {
            if (bitmap->selectedInto == dc) bitmap->selectedInto = nullptr;
            return 0;
        });
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    API_TRACE(Gdi, SelectObject, dc, object);
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    auto what = Table().Find(object);
    if (!obj || !what) return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_HANDLE);
    switch (what->Type()) {
        case OBJ_FONT:
            return std::exchange(obj->font, static_cast<HFONT>(object));
        case OBJ_PEN:
            return std::exchange(obj->pen, static_cast<HPEN>(object));
        case OBJ_BRUSH:
            return std::exchange(obj->brush, static_cast<HBRUSH>(object));
        case OBJ_REGION: {
            int kind = SelectClipRgn(dc, static_cast<HRGN>(object));
            return kind == ERROR ? nullptr
                                 : reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(kind));
        }
        case OBJ_BITMAP: {
            if (obj->kind != sim::DcKind::Memory)
                return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_PARAMETER);
            auto bitmap = std::static_pointer_cast<sim::GdiBitmap>(what);
            auto previous = Table().FindAs<sim::GdiBitmap>(obj->bitmap);
            bool ok = Table().Locked([&] {
                // The stock bitmap may sit in any number of contexts; any other in one.
                if (!bitmap->stock && bitmap->selectedInto != nullptr && bitmap->selectedInto != dc)
                    return false;
                if (previous && previous->selectedInto == dc) previous->selectedInto = nullptr;
                if (!bitmap->stock) bitmap->selectedInto = dc;
                return true;
            });
            if (!ok) return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_PARAMETER);
            return std::exchange(obj->bitmap, static_cast<HBITMAP>(object));
        }
        default:
            return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_PARAMETER);
    }
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    API_TRACE(Gdi, SetBkColor, dc, color);
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    if (!obj) return Fail<COLORREF>(CLR_INVALID, ERROR_INVALID_HANDLE);
    return std::exchange(obj->bkColor, color & 0x00FFFFFFu);
}

COLORREF GetBkColor(HDC dc) {
    API_TRACE(Gdi, GetBkColor, dc);
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    if (!obj) return Fail<COLORREF>(CLR_INVALID, ERROR_INVALID_HANDLE);
    return obj->bkColor;
}

namespace gdi {

bool TargetOf(HDC dc, DcTarget* target) {
    if (target == nullptr) return false;
    *target = DcTarget{};
    auto obj = Table().FindAs<sim::GdiDc>(dc);
    if (!obj) return false;
    if (obj->kind == sim::DcKind::Memory) {
        target->surface = BitmapSurface(obj->bitmap);
        if (target->surface == nullptr) return false;
    } else if (!WindowTarget(*obj, target)) {
        return false;
    }
    // The selected clip is in device coordinates: from the context's own origin on the surface.
    if (obj->clip != nullptr) {
        cairo_region_t* selected = cairo_region_copy(obj->clip);
        cairo_region_translate(selected, target->origin.x, target->origin.y);
        if (target->clip == nullptr) {
            target->clip = selected;
        } else {
            cairo_region_intersect(target->clip, selected);
            cairo_region_destroy(selected);
        }
    }
    target->origin.x += obj->viewportOrg.x;
    target->origin.y += obj->viewportOrg.y;
    return true;
}

void Drawn(HDC dc) {
    DcTarget target;
    if (!TargetOf(dc, &target)) return;
    cairo_surface_mark_dirty(target.surface);
    cairo_surface_destroy(target.surface);
    if (target.clip != nullptr) cairo_region_destroy(target.clip);
}

cairo_surface_t* BitmapSurface(HBITMAP bitmap) {
    auto obj = Table().FindAs<sim::GdiBitmap>(bitmap);
    if (!obj || !obj->Valid()) return nullptr;
    return cairo_surface_reference(obj->surface);
}

}  // namespace gdi
