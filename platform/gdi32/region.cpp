// Regions as cairo regions, and a context's clip region.
#include <algorithm>

#include <wingdi.h>
#include <winbase.h>
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

std::shared_ptr<sim::GdiRegion> FindRegion(HRGN region) {
    return sim::GdiTable::Get().FindAs<sim::GdiRegion>(region);
}

int KindOf(const cairo_region_t* region) {
    int n = cairo_region_num_rectangles(region);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    API_TRACE(Gdi, CreateRectRgn, left, top, right, bottom);
    // Corners in either order.
    long l = std::min(left, right), r = std::max(left, right);
    long t = std::min(top, bottom), b = std::max(top, bottom);
    cairo_rectangle_int_t rect{static_cast<int>(l), static_cast<int>(t),
                               static_cast<int>(std::min(r - l, 1L << 30)),
                               static_cast<int>(std::min(b - t, 1L << 30))};
    auto obj = std::make_shared<sim::GdiRegion>(cairo_region_create_rectangle(&rect));
    return static_cast<HRGN>(sim::GdiTable::Get().Add(obj));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    API_TRACE(Gdi, CreateRectRgnIndirect, rect);
    if (rect == nullptr) return Fail<HRGN>(nullptr, ERROR_INVALID_PARAMETER);
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    API_TRACE(Gdi, CombineRgn, dest, src1, src2, mode);
    auto d = FindRegion(dest);
    auto a = FindRegion(src1);
    auto b = mode == RGN_COPY ? a : FindRegion(src2);
    if (!d || !a || !b) return Fail(ERROR, ERROR_INVALID_HANDLE);
    cairo_region_t* result = cairo_region_copy(a->region);
    switch (mode) {
        case RGN_AND:
            cairo_region_intersect(result, b->region);
            break;
        case RGN_OR:
            cairo_region_union(result, b->region);
            break;
        case RGN_XOR:
            cairo_region_xor(result, b->region);
            break;
        case RGN_DIFF:
            cairo_region_subtract(result, b->region);
            break;
        case RGN_COPY:
            break;
        default:
            cairo_region_destroy(result);
            return Fail(ERROR, ERROR_INVALID_PARAMETER);
    }
    if (cairo_region_status(result) != CAIRO_STATUS_SUCCESS) {
        cairo_region_destroy(result);
        return Fail(ERROR, ERROR_NOT_ENOUGH_MEMORY);
    }
    std::swap(d->region, result);
    cairo_region_destroy(result);
    return KindOf(d->region);
}

int GetRgnBox(HRGN region, LPRECT box) {
    API_TRACE(Gdi, GetRgnBox, region, box);
    auto r = FindRegion(region);
    if (!r || box == nullptr) return Fail(ERROR, ERROR_INVALID_PARAMETER);
    cairo_rectangle_int_t e;
    cairo_region_get_extents(r->region, &e);
    *box = cairo_region_is_empty(r->region) ? RECT{0, 0, 0, 0}
                                            : RECT{e.x, e.y, e.x + e.width, e.y + e.height};
    return KindOf(r->region);
}

int OffsetRgn(HRGN region, int dx, int dy) {
    API_TRACE(Gdi, OffsetRgn, region, dx, dy);
    auto r = FindRegion(region);
    if (!r) return Fail(ERROR, ERROR_INVALID_HANDLE);
    cairo_region_translate(r->region, dx, dy);
    return KindOf(r->region);
}

BOOL PtInRegion(HRGN region, int x, int y) {
    API_TRACE(Gdi, PtInRegion, region, x, y);
    auto r = FindRegion(region);
    if (!r) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return cairo_region_contains_point(r->region, x, y) ? TRUE : FALSE;
}

int SelectClipRgn(HDC dc, HRGN region) {
    API_TRACE(Gdi, SelectClipRgn, dc, region);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj) return Fail(ERROR, ERROR_INVALID_HANDLE);
    if (region == nullptr) {
        if (obj->clip != nullptr) cairo_region_destroy(obj->clip);
        obj->clip = nullptr;
        return SIMPLEREGION;
    }
    auto r = FindRegion(region);
    if (!r) return Fail(ERROR, ERROR_INVALID_HANDLE);
    cairo_region_t* copy = cairo_region_copy(r->region);
    if (obj->clip != nullptr) cairo_region_destroy(obj->clip);
    obj->clip = copy;
    return KindOf(copy);
}

int GetClipRgn(HDC dc, HRGN region) {
    API_TRACE(Gdi, GetClipRgn, dc, region);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    auto r = FindRegion(region);
    if (!obj || !r) return Fail(-1, ERROR_INVALID_HANDLE);
    if (obj->clip == nullptr) return 0;
    cairo_region_t* copy = cairo_region_copy(obj->clip);
    cairo_region_destroy(r->region);
    r->region = copy;
    return 1;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    API_TRACE(Gdi, IntersectClipRect, dc, left, top, right, bottom);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj) return Fail(ERROR, ERROR_INVALID_HANDLE);
    cairo_rectangle_int_t rect{left + obj->viewportOrg.x, top + obj->viewportOrg.y,
                               std::max(0, right - left), std::max(0, bottom - top)};
    if (obj->clip == nullptr)
        obj->clip = cairo_region_create_rectangle(&rect);
    else
        cairo_region_intersect_rectangle(obj->clip, &rect);
    return KindOf(obj->clip);
}
