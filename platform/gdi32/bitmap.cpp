// Bitmaps and blits: DIB sections and compatible bitmaps over cairo image surfaces, BitBlt and
// PatBlt. Blits work on whole pixels, one clip rectangle at a time.
#include <algorithm>
#include <cstdint>

#include <wingdi.h>
#include "platform/gdi32/surface.h"
#include <winbase.h>
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

HBITMAP AddBitmap(int width, int height, bool bottomUp, bool dib) {
    auto bitmap = std::make_shared<sim::GdiBitmap>(width, height, bottomUp);
    if (!bitmap->Valid()) return Fail<HBITMAP>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    bitmap->dib = dib;
    return static_cast<HBITMAP>(sim::GdiTable::Get().Add(bitmap));
}

// A context's target, released at the end of the scope.
struct Target {
    gdi::DcTarget t;
    bool ok = false;
    explicit Target(HDC dc) { ok = gdi::TargetOf(dc, &t); }
    ~Target() {
        if (t.surface != nullptr) cairo_surface_destroy(t.surface);
        if (t.clip != nullptr) cairo_region_destroy(t.clip);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    int Width() const { return cairo_image_surface_get_width(t.surface); }
    int Height() const { return cairo_image_surface_get_height(t.surface); }
    std::uint32_t* Row(int y) const {
        return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(t.surface) +
                                                static_cast<long>(y) *
                                                    cairo_image_surface_get_stride(t.surface));
    }
};

// Whether drawing into the context drops the source's alpha (a window or the screen).
bool Opaque(HDC dc) {
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    return obj && obj->kind != sim::DcKind::Memory;
}

// The destination rectangle in surface pixels, within the surface and the clip, as rectangles;
// `bound` further limits it (surface pixels).
cairo_region_t* Area(const Target& dst, int x, int y, int width, int height,
                     const cairo_rectangle_int_t* bound) {
    cairo_rectangle_int_t r{dst.t.origin.x + x, dst.t.origin.y + y, width, height};
    cairo_region_t* area = cairo_region_create_rectangle(&r);
    cairo_rectangle_int_t whole{0, 0, dst.Width(), dst.Height()};
    cairo_region_intersect_rectangle(area, &whole);
    if (bound != nullptr) cairo_region_intersect_rectangle(area, bound);
    if (dst.t.clip != nullptr) cairo_region_intersect(area, dst.t.clip);
    return area;
}

// Calls f(row, left, right, y) for every row of every rectangle of the area: the pixels
// row[left] to row[right - 1] (x, y in surface pixels).
template <class F>
void ForEachRow(const Target& dst, cairo_region_t* area, F f) {
    cairo_surface_flush(dst.t.surface);
    int n = cairo_region_num_rectangles(area);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(area, i, &r);
        for (int y = r.y; y < r.y + r.height; ++y) f(dst.Row(y), r.x, r.x + r.width, y);
    }
    cairo_surface_mark_dirty(dst.t.surface);
}

// Calls f(destPixel, x, y) for every pixel of the area (x, y in surface pixels).
template <class F>
void ForEach(const Target& dst, cairo_region_t* area, F f) {
    ForEachRow(dst, area, [&](std::uint32_t* row, int left, int right, int y) {
        for (int x = left; x < right; ++x) f(row[x], x, y);
    });
}

}  // namespace

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    API_TRACE(Gdi, CreateDIBSection, dc, info, usage, bits, section, offset);
    if (bits != nullptr) *bits = nullptr;
    if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr)
        return Fail<HBITMAP>(nullptr, ERROR_INVALID_PARAMETER);
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biBitCount != 32 || h.biCompression != BI_RGB ||
        h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return Fail<HBITMAP>(nullptr, ERROR_INVALID_PARAMETER);
    bool bottomUp = h.biHeight > 0;
    HBITMAP bitmap = AddBitmap(h.biWidth, bottomUp ? h.biHeight : -h.biHeight, bottomUp, true);
    if (bitmap != nullptr && bits != nullptr)
        *bits = sim::GdiTable::Get().FindAs<sim::GdiBitmap>(bitmap)->bits;
    return bitmap;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    API_TRACE(Gdi, CreateCompatibleBitmap, dc, width, height);
    if (!sim::GdiTable::Get().FindAs<sim::GdiDc>(dc))
        return Fail<HBITMAP>(nullptr, ERROR_INVALID_HANDLE);
    if (width <= 0 || height <= 0) return Fail<HBITMAP>(nullptr, ERROR_INVALID_PARAMETER);
    return AddBitmap(width, height, false, false);
}

BOOL SetBitmapDimensionEx(HBITMAP bitmap, int width, int height, LPSIZE previous) {
    API_TRACE(Gdi, SetBitmapDimensionEx, bitmap, width, height, previous);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiBitmap>(bitmap);
    if (!obj) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (previous != nullptr) *previous = obj->dimension;
    obj->dimension = SIZE{width, height};
    return TRUE;
}

BOOL GetBitmapDimensionEx(HBITMAP bitmap, LPSIZE size) {
    API_TRACE(Gdi, GetBitmapDimensionEx, bitmap, size);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiBitmap>(bitmap);
    if (!obj || size == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *size = obj->dimension;
    return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
    API_TRACE(Gdi, BitBlt, dest, x, y, width, height, source, sx, sy, rop);
    if (rop != SRCCOPY && rop != SRCINVERT) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Target dst(dest);
    Target src(source);
    if (!dst.ok || !src.ok) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (width <= 0 || height <= 0) return TRUE;
    // Source pixel (px, py) for destination surface pixel (x, y): shifted by this much.
    long shiftX = static_cast<long>(src.t.origin.x) + sx - (dst.t.origin.x + x);
    long shiftY = static_cast<long>(src.t.origin.y) + sy - (dst.t.origin.y + y);
    // Only what lies within the source surface is copied.
    auto clampInt = [](long v) {
        return static_cast<int>(std::clamp<long>(v, -(1L << 30), 1L << 30));
    };
    cairo_rectangle_int_t fromSource{clampInt(-shiftX), clampInt(-shiftY), src.Width(),
                                     src.Height()};
    cairo_region_t* area = Area(dst, x, y, width, height, &fromSource);
    cairo_rectangle_int_t used{};
    cairo_region_get_extents(area, &used);
    if (used.width <= 0 || used.height <= 0) {
        cairo_region_destroy(area);
        return TRUE;
    }
    // Copy the source pixels that are read first (only those): source and destination may be
    // one surface.
    cairo_surface_flush(src.t.surface);
    cairo_surface_t* copy = cairo_surface_create_similar_image(src.t.surface, CAIRO_FORMAT_ARGB32,
                                                               used.width, used.height);
    {
        cairo_t* cr = cairo_create(copy);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, src.t.surface, -static_cast<double>(used.x + shiftX),
                                 -static_cast<double>(used.y + shiftY));
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(copy);
    }
    const unsigned char* data = cairo_image_surface_get_data(copy);
    int stride = cairo_image_surface_get_stride(copy);
    bool opaque = Opaque(dest);
    const std::uint32_t alpha = opaque ? 0xFF000000u : 0;
    ForEachRow(dst, area, [&](std::uint32_t* d, int left, int right, int py) {
        const std::uint32_t* s = reinterpret_cast<const std::uint32_t*>(
                                     data + (py - used.y) * static_cast<long>(stride)) -
                                 used.x;
        if (rop == SRCINVERT) {
            for (int px = left; px < right; ++px)
                d[px] = (((d[px] ^ s[px]) & 0x00FFFFFFu) | (d[px] & 0xFF000000u)) | alpha;
        } else {
            for (int px = left; px < right; ++px) d[px] = s[px] | alpha;
        }
    });
    cairo_surface_destroy(copy);
    cairo_region_destroy(area);
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    API_TRACE(Gdi, PatBlt, dc, x, y, width, height, rop);
    if (rop != DSTINVERT) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Target dst(dc);
    if (!dst.ok) return Fail(FALSE, ERROR_INVALID_HANDLE);
    // A negative size counts from the other corner, as on the platform.
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    cairo_region_t* area = Area(dst, x, y, width, height, nullptr);
    ForEach(dst, area, [](std::uint32_t& d, int, int) { d ^= 0x00FFFFFFu; });
    cairo_region_destroy(area);
    return TRUE;
}
