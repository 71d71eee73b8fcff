// GDI's pens, brushes, stock objects and system colours, and its drawing calls, on cairo. Every
// call draws through the surface behind the context (gdi32/surface.h) with anti-aliasing off, so
// that fills and one-pixel lines land on whole pixels as on the platform.
#include <cairo.h>

#include <algorithm>
#include <utility>
#include <array>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <vector>

#include <wingdi.h>
#include "platform/gdi32/draw_canvas.h"
#include "platform/gdi32/surface.h"
#include <winbase.h>
#include <winnls.h>
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/gdi_tools.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

sim::GdiTable& Table() {
    return sim::GdiTable::Get();
}

// The classic colour scheme, by index.
constexpr std::array<COLORREF, 31> kSysColors = {
    RGB(0xD4, 0xD0, 0xC8),  // scroll bar
    RGB(0x3A, 0x6E, 0xA5),  // desktop
    RGB(0x0A, 0x24, 0x6A),  // active caption
    RGB(0x80, 0x80, 0x80),  // inactive caption
    RGB(0xD4, 0xD0, 0xC8),  // menu
    RGB(0xFF, 0xFF, 0xFF),  // window
    RGB(0x00, 0x00, 0x00),  // window frame
    RGB(0x00, 0x00, 0x00),  // menu text
    RGB(0x00, 0x00, 0x00),  // window text
    RGB(0xFF, 0xFF, 0xFF),  // caption text
    RGB(0xD4, 0xD0, 0xC8),  // active border
    RGB(0xD4, 0xD0, 0xC8),  // inactive border
    RGB(0x80, 0x80, 0x80),  // application workspace
    RGB(0x0A, 0x24, 0x6A),  // highlight
    RGB(0xFF, 0xFF, 0xFF),  // highlighted text
    RGB(0xD4, 0xD0, 0xC8),  // button face
    RGB(0x80, 0x80, 0x80),  // button shadow
    RGB(0x80, 0x80, 0x80),  // grey text
    RGB(0x00, 0x00, 0x00),  // button text
    RGB(0xD4, 0xD0, 0xC8),  // inactive caption text
    RGB(0xFF, 0xFF, 0xFF),  // button highlight
    RGB(0x40, 0x40, 0x40),  // 3D dark shadow
    RGB(0xD4, 0xD0, 0xC8),  // 3D light
    RGB(0x00, 0x00, 0x00),  // tooltip text
    RGB(0xFF, 0xFF, 0xE1),  // tooltip background
    RGB(0xB5, 0xB5, 0xB5),  // (unused)
    RGB(0x00, 0x00, 0x80),  // hot-tracked item
    RGB(0xA6, 0xCA, 0xF0),  // active caption gradient
    RGB(0xC0, 0xC0, 0xC0),  // inactive caption gradient
    RGB(0x31, 0x6A, 0xC5),  // highlighted menu item
    RGB(0xD4, 0xD0, 0xC8),  // menu bar
};

constexpr int kSysColorBrushBase = 1000;  // stock indexes of the system colour brushes

std::shared_ptr<sim::GdiBrush> SolidBrush(COLORREF color) {
    auto b = std::make_shared<sim::GdiBrush>();
    b->color = color & 0x00FFFFFF;
    return b;
}

std::shared_ptr<sim::GdiPen> MakePen(int style, int width, COLORREF color) {
    auto p = std::make_shared<sim::GdiPen>();
    p->style = style;
    p->width = std::max(1, width);
    if (style != PS_SOLID && style != PS_NULL && style != PS_INSIDEFRAME) p->width = 1;
    p->color = color & 0x00FFFFFF;
    return p;
}

bool ValidSysColor(int index) {
    return index >= 0 && index < static_cast<int>(kSysColors.size()) && index != 25;
}

}  // namespace

// ---- The canvas ----

namespace gdi {

Canvas::Canvas(HDC dc) : dc_(dc) {
    dcObject_ = Table().FindAs<sim::GdiDc>(dc);
    if (!dcObject_) return;
    DcTarget target;
    if (!TargetOf(dc, &target)) return;
    surface_ = target.surface;
    cr_ = cairo_create(surface_);
    if (target.clip != nullptr) {
        int n = cairo_region_num_rectangles(target.clip);
        for (int i = 0; i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(target.clip, i, &r);
            cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
        }
        cairo_clip(cr_);
        cairo_region_destroy(target.clip);
    }
    origin_ = target.origin;
    cairo_translate(cr_, origin_.x, origin_.y);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
}

Canvas::~Canvas() {
    if (cr_ != nullptr) {
        cairo_destroy(cr_);
        cairo_surface_flush(surface_);
        Drawn(dc_);
    }
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

sim::DcDrawState& Canvas::State() const {
    return *dcObject_->draw;
}

COLORREF Canvas::BkColor() const {
    return dcObject_->bkColor;
}

void Canvas::SetColor(COLORREF c) const {
    cairo_set_source_rgb(cr_, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void Canvas::Fill(const RECT& r, COLORREF c) const {
    if (r.right <= r.left || r.bottom <= r.top) return;
    SetColor(c);
    cairo_rectangle(cr_, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr_);
}

std::optional<COLORREF> Canvas::BrushColor(HBRUSH brush) const {
    auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value >= 1 && value <= kSysColors.size()) {  // a system colour index + 1
        int index = static_cast<int>(value) - 1;
        if (!ValidSysColor(index)) return std::nullopt;
        return kSysColors[static_cast<std::size_t>(index)];
    }
    if (brush == nullptr) brush = static_cast<HBRUSH>(StockObject(WHITE_BRUSH));
    auto b = Table().FindAs<sim::GdiBrush>(brush);
    if (!b || b->hollow) return std::nullopt;
    return b->dcBrush ? State().dcBrushColor : b->color;
}

std::optional<COLORREF> Canvas::SelectedBrushColor() const {
    return BrushColor(dcObject_->brush);
}

std::shared_ptr<sim::GdiPen> Canvas::Pen() const {
    HPEN pen =
        dcObject_->pen != nullptr ? dcObject_->pen : static_cast<HPEN>(StockObject(BLACK_PEN));
    auto p = Table().FindAs<sim::GdiPen>(pen);
    if (!p || p->style == PS_NULL) return nullptr;
    return p;
}

COLORREF Canvas::PenColor(const sim::GdiPen& pen) const {
    return pen.dcPen ? State().dcPenColor : pen.color;
}

void Canvas::Invert(const RECT& logical) const {
    // Inverts the colour bits of each pixel inside the clip; the alpha stays.
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    if (data == nullptr) return;
    const int w = cairo_image_surface_get_width(surface_);
    const int h = cairo_image_surface_get_height(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    int x0 = std::max(0, logical.left + origin_.x), x1 = std::min(w, logical.right + origin_.x);
    int y0 = std::max(0, logical.top + origin_.y), y1 = std::min(h, logical.bottom + origin_.y);
    double cx0, cy0, cx1, cy1;
    cairo_clip_extents(cr_, &cx0, &cy0, &cx1, &cy1);
    // The clip's extents are in user space (translated by the origin).
    x0 = std::max(x0, static_cast<int>(std::floor(cx0)) + origin_.x);
    x1 = std::min(x1, static_cast<int>(std::ceil(cx1)) + origin_.x);
    y0 = std::max(y0, static_cast<int>(std::floor(cy0)) + origin_.y);
    y1 = std::min(y1, static_cast<int>(std::ceil(cy1)) + origin_.y);
    for (int y = y0; y < y1; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = x0; x < x1; ++x) {
            if (!cairo_in_clip(cr_, x - origin_.x + 0.5, y - origin_.y + 0.5)) continue;
            std::uint32_t p = row[x];
            std::uint32_t a = p >> 24;
            std::uint32_t out = a << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                std::uint32_t c = 255 - ((p >> shift) & 0xFF);
                out |= std::min(c, a) << shift;  // premultiplied: never above the alpha
            }
            row[x] = out;
        }
    }
    cairo_surface_mark_dirty(surface_);
}

}  // namespace gdi

using gdi::Canvas;
using gdi::StockObject;

// ---- Objects ----

HPEN CreatePen(int style, int width, COLORREF color) {
    API_TRACE(Gdi, CreatePen, style, width, color);
    if (style < PS_SOLID || style > PS_INSIDEFRAME)
        return Fail<HPEN>(nullptr, ERROR_INVALID_PARAMETER);
    return static_cast<HPEN>(Table().Add(MakePen(style, width, color)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    API_TRACE(Gdi, CreateSolidBrush, color);
    return static_cast<HBRUSH>(Table().Add(SolidBrush(color)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    API_TRACE(Gdi, CreateBrushIndirect, brush);
    if (brush == nullptr || (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_NULL))
        return Fail<HBRUSH>(nullptr, ERROR_INVALID_PARAMETER);
    auto b = SolidBrush(brush->lbColor);
    b->hollow = brush->lbStyle == BS_NULL;
    return static_cast<HBRUSH>(Table().Add(b));
}

HGDIOBJ GetStockObject(int index) {
    API_TRACE(Gdi, GetStockObject, index);
    HGDIOBJ object = gdi::StockObject(index);
    return object != nullptr ? object : Fail<HGDIOBJ>(nullptr, ERROR_INVALID_PARAMETER);
}

void gdi::GiveStockTools(sim::GdiDc& dc) {
    dc.pen = static_cast<HPEN>(StockObject(BLACK_PEN));
    dc.brush = static_cast<HBRUSH>(StockObject(WHITE_BRUSH));
}

HGDIOBJ gdi::StockObject(int index) {
    auto brush = [&](COLORREF c, bool hollow = false, bool dc = false) {
        return Table().Stock(index, [&] {
            auto b = SolidBrush(c);
            b->hollow = hollow;
            b->dcBrush = dc;
            return b;
        });
    };
    auto pen = [&](int style, COLORREF c, bool dc = false) {
        return Table().Stock(index, [&] {
            auto p = MakePen(style, 1, c);
            p->dcPen = dc;
            return p;
        });
    };
    switch (index) {
        case WHITE_BRUSH:
            return brush(RGB(255, 255, 255));
        case LTGRAY_BRUSH:
            return brush(RGB(192, 192, 192));
        case GRAY_BRUSH:
            return brush(RGB(128, 128, 128));
        case DKGRAY_BRUSH:
            return brush(RGB(64, 64, 64));
        case BLACK_BRUSH:
            return brush(RGB(0, 0, 0));
        case NULL_BRUSH:
            return brush(0, true);
        case DC_BRUSH:
            return brush(0, false, true);
        case WHITE_PEN:
            return pen(PS_SOLID, RGB(255, 255, 255));
        case BLACK_PEN:
            return pen(PS_SOLID, RGB(0, 0, 0));
        case NULL_PEN:
            return pen(PS_NULL, 0);
        case DC_PEN:
            return pen(PS_SOLID, 0, true);
        case SYSTEM_FONT:
            return Table().SystemFont(GetACP());
        case DEFAULT_GUI_FONT:
            return Table().Stock(index, [] {
                auto f = std::make_shared<sim::GdiFont>();
                f->logFont.lfHeight = -11;
                f->logFont.lfWeight = FW_NORMAL;
                f->logFont.lfCharSet = DEFAULT_CHARSET;
                std::wcscpy(f->logFont.lfFaceName, L"MS Shell Dlg");
                return f;
            });
        default:
            return nullptr;
    }
}

DWORD GetSysColor(int index) {
    API_TRACE(Gdi, GetSysColor, index);
    return ValidSysColor(index) ? kSysColors[static_cast<std::size_t>(index)] : 0;
}

HBRUSH GetSysColorBrush(int index) {
    API_TRACE(Gdi, GetSysColorBrush, index);
    if (!ValidSysColor(index)) return nullptr;
    return static_cast<HBRUSH>(Table().Stock(kSysColorBrushBase + index, [&] {
        return SolidBrush(kSysColors[static_cast<std::size_t>(index)]);
    }));
}

COLORREF SetDCBrushColor(HDC dc, COLORREF color) {
    API_TRACE(Gdi, SetDCBrushColor, dc, color);
    auto context = Table().FindAs<sim::GdiDc>(dc);
    if (!context) return Fail<COLORREF>(CLR_INVALID, ERROR_INVALID_HANDLE);
    return std::exchange(context->draw->dcBrushColor, color & 0x00FFFFFF);
}

COLORREF SetDCPenColor(HDC dc, COLORREF color) {
    API_TRACE(Gdi, SetDCPenColor, dc, color);
    auto context = Table().FindAs<sim::GdiDc>(dc);
    if (!context) return Fail<COLORREF>(CLR_INVALID, ERROR_INVALID_HANDLE);
    return std::exchange(context->draw->dcPenColor, color & 0x00FFFFFF);
}

// ---- Fills and frames ----

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    API_TRACE(Gdi, FillRect, dc, rect, brush);
    if (rect == nullptr) return Fail(0, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(0, ERROR_INVALID_HANDLE);
    auto color = c.BrushColor(brush);
    if (color) c.Fill(*rect, *color);
    return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    API_TRACE(Gdi, FrameRect, dc, rect, brush);
    if (rect == nullptr) return Fail(0, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(0, ERROR_INVALID_HANDLE);
    auto color = c.BrushColor(brush);
    const RECT& r = *rect;
    if (!color || r.right <= r.left || r.bottom <= r.top) return 1;
    c.Fill({r.left, r.top, r.right, r.top + 1}, *color);
    c.Fill({r.left, r.bottom - 1, r.right, r.bottom}, *color);
    c.Fill({r.left, r.top, r.left + 1, r.bottom}, *color);
    c.Fill({r.right - 1, r.top, r.right, r.bottom}, *color);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
    API_TRACE(Gdi, InvertRect, dc, rect);
    if (rect == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    c.Invert(*rect);
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    API_TRACE(Gdi, DrawFocusRect, dc, rect);
    if (rect == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    const RECT& r = *rect;
    if (r.right <= r.left || r.bottom <= r.top) return TRUE;
    // Every other pixel of the frame, counted from the top-left corner.
    std::vector<POINT> dots;
    for (int x = r.left; x < r.right; ++x) {
        if ((x - r.left) % 2 == 0) dots.push_back({x, r.top});
        if ((x - r.left + r.bottom - 1 - r.top) % 2 == 0 && r.bottom - 1 > r.top)
            dots.push_back({x, r.bottom - 1});
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        if ((y - r.top) % 2 == 0) dots.push_back({r.left, y});
        if ((y - r.top + r.right - 1 - r.left) % 2 == 0 && r.right - 1 > r.left)
            dots.push_back({r.right - 1, y});
    }
    for (const POINT& p : dots) c.Invert({p.x, p.y, p.x + 1, p.y + 1});
    return TRUE;
}

// ---- Lines and shapes ----

namespace {

// Strokes the path in the cairo context with the pen (a one-pixel path through pixel centres).
void StrokeWith(const Canvas& c, const sim::GdiPen& pen) {
    cairo_t* cr = c.cr();
    cairo_set_line_width(cr, pen.width);
    cairo_set_line_cap(cr, pen.width > 1 ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, pen.width > 1 ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
    static const double kDash[] = {18, 6};
    static const double kDot[] = {3, 3};
    static const double kDashDot[] = {9, 6, 3, 6};
    static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    const double* dashes = nullptr;
    int n = 0;
    switch (pen.style) {
        case PS_DASH:
            dashes = kDash, n = 2;
            break;
        case PS_DOT:
            dashes = kDot, n = 2;
            break;
        case PS_DASHDOT:
            dashes = kDashDot, n = 4;
            break;
        case PS_DASHDOTDOT:
            dashes = kDashDotDot, n = 6;
            break;
        default:
            break;
    }
    if (dashes != nullptr && c.State().bkMode == OPAQUE) {
        // The gaps show the background colour.
        c.SetColor(c.BkColor());
        cairo_stroke_preserve(cr);
    }
    if (dashes != nullptr) cairo_set_dash(cr, dashes, n, 0);
    c.SetColor(c.PenColor(pen));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

// A segment from a to b, b itself left out, as the platform draws lines.
void Segment(const Canvas& c, const sim::GdiPen& pen, POINT a, POINT b) {
    if (a.x == b.x && a.y == b.y) return;
    if (pen.width == 1 && pen.style == PS_SOLID && (a.x == b.x || a.y == b.y)) {
        // Axis-aligned: exactly the pixels from a up to b.
        RECT r = a.x == b.x ? RECT{a.x, std::min(a.y, b.y + 1), a.x + 1, std::max(a.y + 1, b.y)}
                            : RECT{std::min(a.x, b.x + 1), a.y, std::max(a.x + 1, b.x), a.y + 1};
        c.Fill(r, c.PenColor(pen));
        return;
    }
    double dx = b.x - a.x, dy = b.y - a.y;
    double len = std::sqrt(dx * dx + dy * dy);
    // Stop just short of b, so that b's pixel stays out.
    double ex = b.x - dx / len * 0.5, ey = b.y - dy / len * 0.5;
    cairo_move_to(c.cr(), a.x + 0.5, a.y + 0.5);
    cairo_line_to(c.cr(), ex + 0.5, ey + 0.5);
    StrokeWith(c, pen);
}

bool Shape(HDC dc, int left, int top, int right, int bottom,
           void (*path)(cairo_t*, double, double, double, double, int, int), int rw, int rh) {
    Canvas c(dc);
    if (!c) return false;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    auto fill = c.SelectedBrushColor();
    auto pen = c.Pen();
    if (fill) {
        // Without a pen the shape is one pixel smaller, as on the platform.
        double w = right - left - 1, h = bottom - top - 1;
        if (w > 0 && h > 0) {
            if (pen)
                path(c.cr(), left + 0.5, top + 0.5, w, h, rw, rh);
            else
                path(c.cr(), left, top, w, h, rw, rh);
            c.SetColor(*fill);
            cairo_fill(c.cr());
        }
    }
    if (pen) {
        double inset = pen->width / 2.0;
        double w = right - left - pen->width, h = bottom - top - pen->width;
        if (w >= 0 && h >= 0) {
            path(c.cr(), left + inset, top + inset, w, h, rw, rh);
            StrokeWith(c, *pen);
        }
    }
    return true;
}

void EllipsePath(cairo_t* cr, double x, double y, double w, double h, int, int) {
    if (w <= 0 || h <= 0) {
        cairo_rectangle(cr, x, y, std::max(w, 1.0), std::max(h, 1.0));
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, x + w / 2, y + h / 2);
    cairo_scale(cr, w / 2, h / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void RoundPath(cairo_t* cr, double x, double y, double w, double h, int rw, int rh) {
    double rx = std::min(rw / 2.0, w / 2), ry = std::min(rh / 2.0, h / 2);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    auto corner = [&](double cx, double cy, double from) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, from, from + M_PI / 2);
        cairo_restore(cr);
    };
    cairo_new_sub_path(cr);
    corner(x + w - rx, y + ry, -M_PI / 2);
    corner(x + w - rx, y + h - ry, 0);
    corner(x + rx, y + h - ry, M_PI / 2);
    corner(x + rx, y + ry, M_PI);
    cairo_close_path(cr);
}

}  // namespace

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    API_TRACE(Gdi, MoveToEx, dc, x, y, previous);
    auto context = Table().FindAs<sim::GdiDc>(dc);
    if (!context) return Fail(FALSE, ERROR_INVALID_HANDLE);
    POINT old = std::exchange(context->draw->position, POINT{x, y});
    if (previous != nullptr) *previous = old;
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    API_TRACE(Gdi, LineTo, dc, x, y);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    POINT from = std::exchange(c.State().position, POINT{x, y});
    if (auto pen = c.Pen()) Segment(c, *pen, from, {x, y});
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    API_TRACE(Gdi, Polyline, dc, points, count);
    if (points == nullptr || count < 2) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (auto pen = c.Pen())
        for (int i = 1; i < count; ++i) Segment(c, *pen, points[i - 1], points[i]);
    return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    API_TRACE(Gdi, Polygon, dc, points, count);
    if (points == nullptr || count < 2) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (auto fill = c.SelectedBrushColor()) {
        cairo_move_to(c.cr(), points[0].x + 0.5, points[0].y + 0.5);
        for (int i = 1; i < count; ++i) cairo_line_to(c.cr(), points[i].x + 0.5, points[i].y + 0.5);
        cairo_close_path(c.cr());
        c.SetColor(*fill);
        cairo_fill(c.cr());
    }
    if (auto pen = c.Pen()) {
        for (int i = 1; i < count; ++i) Segment(c, *pen, points[i - 1], points[i]);
        Segment(c, *pen, points[count - 1], points[0]);
    }
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    API_TRACE(Gdi, Rectangle, dc, left, top, right, bottom);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    auto pen = c.Pen();
    auto fill = c.SelectedBrushColor();
    if (fill) {
        RECT inside = pen ? RECT{left + 1, top + 1, right - 1, bottom - 1}
                          : RECT{left, top, right - 1, bottom - 1};
        c.Fill(inside, *fill);
    }
    if (pen && pen->style == PS_SOLID && pen->width == 1) {
        COLORREF color = c.PenColor(*pen);
        c.Fill({left, top, right, top + 1}, color);
        c.Fill({left, bottom - 1, right, bottom}, color);
        c.Fill({left, top, left + 1, bottom}, color);
        c.Fill({right - 1, top, right, bottom}, color);
    } else if (pen) {
        double inset = pen->width / 2.0;
        cairo_rectangle(c.cr(), left + inset, top + inset, right - left - pen->width,
                        bottom - top - pen->width);
        StrokeWith(c, *pen);
    }
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    API_TRACE(Gdi, RoundRect, dc, left, top, right, bottom, width, height);
    if (!Shape(dc, left, top, right, bottom, RoundPath, width, height))
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    API_TRACE(Gdi, Ellipse, dc, left, top, right, bottom);
    if (!Shape(dc, left, top, right, bottom, EllipsePath, 0, 0))
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

// ---- 3D edges and frame controls ----

namespace {

// One border of a 3D edge: top and left in `light`, bottom and right (drawn last, so that they
// own the top-right and bottom-left corners) in `dark`.
void Border(const Canvas& c, RECT& r, UINT sides, COLORREF light, COLORREF dark) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (sides & BF_TOP) c.Fill({r.left, r.top, r.right, r.top + 1}, light);
    if (sides & BF_LEFT) c.Fill({r.left, r.top, r.left + 1, r.bottom}, light);
    if (sides & BF_BOTTOM) c.Fill({r.left, r.bottom - 1, r.right, r.bottom}, dark);
    if (sides & BF_RIGHT) c.Fill({r.right - 1, r.top, r.right, r.bottom}, dark);
    if (sides & BF_TOP) ++r.top;
    if (sides & BF_LEFT) ++r.left;
    if (sides & BF_BOTTOM) --r.bottom;
    if (sides & BF_RIGHT) --r.right;
}

COLORREF Sys(int index) {
    return kSysColors[static_cast<std::size_t>(index)];
}

}  // namespace

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
    API_TRACE(Gdi, DrawEdge, dc, rect, edge, flags);
    if (rect == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    RECT r = *rect;
    const UINT sides = flags & BF_RECT;
    if (flags & (BF_FLAT | BF_MONO)) {
        COLORREF line = (flags & BF_MONO) ? Sys(COLOR_WINDOWFRAME) : Sys(COLOR_BTNSHADOW);
        if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) Border(c, r, sides, line, line);
        if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
            COLORREF inner = (flags & BF_MONO) ? Sys(COLOR_WINDOW) : Sys(COLOR_BTNFACE);
            Border(c, r, sides, inner, inner);
        }
    } else {
        if (edge & BDR_RAISEDOUTER)
            Border(c, r, sides, Sys(COLOR_3DLIGHT), Sys(COLOR_3DDKSHADOW));
        else if (edge & BDR_SUNKENOUTER)
            Border(c, r, sides, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNHIGHLIGHT));
        if (edge & BDR_RAISEDINNER)
            Border(c, r, sides, Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNSHADOW));
        else if (edge & BDR_SUNKENINNER)
            Border(c, r, sides, Sys(COLOR_3DDKSHADOW), Sys(COLOR_3DLIGHT));
    }
    if (flags & BF_MIDDLE) c.Fill(r, (flags & BF_MONO) ? Sys(COLOR_WINDOW) : Sys(COLOR_BTNFACE));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

namespace {

// A 13x13 check box at the rectangle's top-left.
void CheckBox(const Canvas& c, RECT box, UINT state) {
    box.right = box.left + 13;
    box.bottom = box.top + 13;
    Border(c, box, BF_RECT, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNHIGHLIGHT));
    Border(c, box, BF_RECT, Sys(COLOR_3DDKSHADOW), Sys(COLOR_3DLIGHT));
    bool face = (state & (DFCS_INACTIVE | DFCS_PUSHED)) != 0;
    c.Fill(box, face ? Sys(COLOR_BTNFACE) : Sys(COLOR_WINDOW));
    if (!(state & DFCS_CHECKED)) return;
    COLORREF mark = (state & DFCS_INACTIVE) ? Sys(COLOR_GRAYTEXT) : Sys(COLOR_WINDOWTEXT);
    // The tick: down from (1, 3) to (3, 5), then up to (7, -1) inside the 9x9 well, 3 pixels tall.
    const int x = box.left, y = box.top;
    const int offsets[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i)
        c.Fill({x + 1 + i, y + 1 + offsets[i], x + 2 + i, y + 4 + offsets[i]}, mark);
}

// A 12x12 radio button at the rectangle's top-left.
void RadioButton(const Canvas& c, const RECT& r, UINT state) {
    cairo_t* cr = c.cr();
    const double cx = r.left + 6, cy = r.top + 6;
    auto ring = [&](double radius, COLORREF upper, COLORREF lower) {
        cairo_set_line_width(cr, 1);
        cairo_arc(cr, cx, cy, radius, 3 * M_PI / 4, 7 * M_PI / 4);
        c.SetColor(upper);
        cairo_stroke(cr);
        cairo_arc(cr, cx, cy, radius, -M_PI / 4, 3 * M_PI / 4);
        c.SetColor(lower);
        cairo_stroke(cr);
    };
    bool face = (state & (DFCS_INACTIVE | DFCS_PUSHED)) != 0;
    cairo_arc(cr, cx, cy, 5.5, 0, 2 * M_PI);
    c.SetColor(face ? Sys(COLOR_BTNFACE) : Sys(COLOR_WINDOW));
    cairo_fill(cr);
    ring(5.5, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNHIGHLIGHT));
    ring(4.5, Sys(COLOR_3DDKSHADOW), Sys(COLOR_3DLIGHT));
    if (state & DFCS_CHECKED) {
        c.Fill({r.left + 4, r.top + 5, r.left + 8, r.top + 7},
               (state & DFCS_INACTIVE) ? Sys(COLOR_GRAYTEXT) : Sys(COLOR_WINDOWTEXT));
        c.Fill({r.left + 5, r.top + 4, r.left + 7, r.top + 8},
               (state & DFCS_INACTIVE) ? Sys(COLOR_GRAYTEXT) : Sys(COLOR_WINDOWTEXT));
    }
}

}  // namespace

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
    API_TRACE(Gdi, DrawFrameControl, dc, rect, type, state);
    if (rect == nullptr || type != DFC_BUTTON) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    {
        Canvas c(dc);
        if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
        if ((state & 0x1F) == DFCS_BUTTONCHECK) {
            CheckBox(c, *rect, state);
            return TRUE;
        }
        if ((state & 0x1F) == DFCS_BUTTONRADIO) {
            RadioButton(c, *rect, state);
            return TRUE;
        }
        if ((state & 0x1F) != DFCS_BUTTONPUSH) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    }
    RECT r = *rect;
    if (state & DFCS_PUSHED)
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_FLAT);
    else
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    return TRUE;
}
