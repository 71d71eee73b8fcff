// GDI+ graphics: the surface behind a device context or an image, clip, world transform,
// smoothing, lines, rectangles, paths and images; pens and brushes.
#include <algorithm>
#include <cmath>

#include "platform/gdi32/surface.h"
#include "platform/gdiplus/internal.h"
#include "machine/trace.h"

namespace Gdiplus {

// ---- Private state ----

GpGraphics::~GpGraphics() {
    if (surface != nullptr) cairo_surface_destroy(surface);
    if (baseClip != nullptr) cairo_region_destroy(baseClip);
}

cairo_t* GpGraphics::Begin(bool halfPixel) const {
    if (surface == nullptr) return nullptr;
    cairo_t* cr = cairo_create(surface);
    if (baseClip != nullptr) {
        for (int i = 0, n = cairo_region_num_rectangles(baseClip); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(baseClip, i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_clip(cr);
    }
    cairo_translate(cr, originX, originY);
    if (!clip.infinite) {
        for (int i = 0, n = cairo_region_num_rectangles(clip.rgn); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(clip.rgn, i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_clip(cr);  // an empty region clips everything
    }
    if (halfPixel) cairo_translate(cr, 0.5, 0.5);
    cairo_transform(cr, &world);
    cairo_set_antialias(cr, AntiAliased() ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    return cr;
}

void GpGraphics::Done(cairo_t* cr) const {
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (dc != nullptr) gdi::Drawn(dc);
}

control::GdiplusCall GpGraphics::LogEntry(const void* self, const wchar_t* call,
                                          Status status) const {
    control::GdiplusCall c;
    c.graphics = self;
    c.call = call;
    c.status = status;
    c.textRenderingHint = hint;
    c.smoothingMode = smoothing;
    c.clipped = !clip.infinite;
    if (c.clipped) {
        cairo_rectangle_int_t e;
        cairo_region_get_extents(clip.rgn, &e);
        c.clip = Rect(e.x, e.y, e.width, e.height);
    }
    double v[6] = {world.xx, world.yx, world.xy, world.yy, world.x0, world.y0};
    for (int i = 0; i < 6; ++i) c.transform[i] = static_cast<REAL>(v[i]);
    return c;
}

namespace {

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// A world-space region in page pixels (each rectangle's transformed bounding box).
void ToPage(const cairo_matrix_t& world, const GpRegion& in, GpRegion* out) {
    if (in.infinite) {
        out->SetInfinite();
        return;
    }
    out->SetEmpty();
    for (int i = 0, n = cairo_region_num_rectangles(in.rgn); i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(in.rgn, i, &r);
        double x[4] = {double(r.x), double(r.x) + r.width, double(r.x), double(r.x) + r.width};
        double y[4] = {double(r.y), double(r.y), double(r.y) + r.height, double(r.y) + r.height};
        for (int k = 0; k < 4; ++k) cairo_matrix_transform_point(&world, &x[k], &y[k]);
        auto pr = PixelRect(*std::min_element(x, x + 4), *std::min_element(y, y + 4),
                            *std::max_element(x, x + 4), *std::max_element(y, y + 4));
        cairo_region_union_rectangle(out->rgn, &pr);
    }
}

// A world-space rectangle in page pixels.
void RectToPage(const cairo_matrix_t& world, double x0, double y0, double x1, double y1,
                GpRegion* out) {
    double x[4] = {x0, x1, x0, x1};
    double y[4] = {y0, y0, y1, y1};
    for (int k = 0; k < 4; ++k) cairo_matrix_transform_point(&world, &x[k], &y[k]);
    auto pr = PixelRect(*std::min_element(x, x + 4), *std::min_element(y, y + 4),
                        *std::max_element(x, x + 4), *std::max_element(y, y + 4));
    out->SetEmpty();
    cairo_region_union_rectangle(out->rgn, &pr);
}

bool IsTranslation(const cairo_matrix_t& m) {
    return m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0;
}

void SetColor(cairo_t* cr, ARGB argb) {
    Color c(argb);
    cairo_set_source_rgba(cr, c.GetR() / 255.0, c.GetG() / 255.0, c.GetB() / 255.0,
                          c.GetA() / 255.0);
}

}  // namespace

// ---- Brushes ----

Brush::~Brush() {
    detail::Died(GdiplusKind::Brush);
}

SolidBrush::SolidBrush(const Color& color) {
    color_ = color.GetValue();
    detail::Born(GdiplusKind::Brush);
}

SolidBrush* SolidBrush::Clone() const {
    return new SolidBrush(Color(color_));
}

Status SolidBrush::GetColor(Color* color) const {
    if (color == nullptr) return SetStatus(InvalidParameter);
    color->SetValue(color_);
    return Ok;
}

Status SolidBrush::SetColor(const Color& color) {
    color_ = color.GetValue();
    return Ok;
}

// ---- Pens ----

Pen::Pen(const Color& color, REAL width) : p_(new GpPen) {
    p_->color = color.GetValue();
    p_->width = std::isfinite(width) ? width : 1.0f;
    if (!std::isfinite(width)) SetStatus(InvalidParameter);
    detail::Born(GdiplusKind::Pen);
}

Pen::~Pen() {
    delete p_;
    detail::Died(GdiplusKind::Pen);
}

Pen* Pen::Clone() const {
    auto* c = new Pen(Color(p_->color), p_->width);
    *c->p_ = *p_;
    return c;
}

Status Pen::SetColor(const Color& color) {
    p_->color = color.GetValue();
    return Ok;
}
Status Pen::GetColor(Color* color) const {
    if (color == nullptr) return SetStatus(InvalidParameter);
    color->SetValue(p_->color);
    return Ok;
}
Status Pen::SetWidth(REAL width) {
    if (!std::isfinite(width)) return SetStatus(InvalidParameter);
    p_->width = width;
    return Ok;
}
REAL Pen::GetWidth() const {
    return p_->width;
}

Status Pen::SetDashStyle(DashStyle style) {
    if (style < DashStyleSolid || style > DashStyleCustom) return SetStatus(InvalidParameter);
    p_->dash = style;
    return Ok;
}
DashStyle Pen::GetDashStyle() const {
    return p_->dash;
}

Status Pen::SetDashPattern(const REAL* dashArray, INT count) {
    if (dashArray == nullptr || count <= 0 || count > 1024) return SetStatus(InvalidParameter);
    for (INT i = 0; i < count; ++i)
        if (!(dashArray[i] > 0) || !std::isfinite(dashArray[i])) return SetStatus(InvalidParameter);
    p_->pattern.assign(dashArray, dashArray + count);
    p_->dash = DashStyleCustom;
    return Ok;
}
INT Pen::GetDashPatternCount() const {
    return static_cast<INT>(p_->pattern.size());
}
Status Pen::GetDashPattern(REAL* dashArray, INT count) const {
    if (dashArray == nullptr || count < static_cast<INT>(p_->pattern.size()))
        return SetStatus(InvalidParameter);
    std::copy(p_->pattern.begin(), p_->pattern.end(), dashArray);
    return Ok;
}

namespace {

// Sets up cr to stroke with the pen: width (at least one device pixel), flat caps, the dash
// pattern in multiples of the width.
void UsePen(cairo_t* cr, const GpPen& pen) {
    SetColor(cr, pen.color);
    double w = std::fabs(pen.width);
    // The thinnest line is one device pixel wide.
    double ux = 1, uy = 0;
    cairo_device_to_user_distance(cr, &ux, &uy);
    double onePixel = std::hypot(ux, uy);
    double lineWidth = std::max(w, onePixel);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, 10);
    std::vector<double> dashes;
    switch (pen.dash) {
        case DashStyleDash:
            dashes = {3, 1};
            break;
        case DashStyleDot:
            dashes = {1, 1};
            break;
        case DashStyleDashDot:
            dashes = {3, 1, 1, 1};
            break;
        case DashStyleDashDotDot:
            dashes = {3, 1, 1, 1, 1, 1};
            break;
        case DashStyleCustom:
            dashes.assign(pen.pattern.begin(), pen.pattern.end());
            break;
        default:
            break;
    }
    if (!dashes.empty()) {
        for (double& d : dashes) d *= lineWidth;
        cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0);
    }
}

}  // namespace

// ---- Graphics ----

Graphics::Graphics(HDC dc) : g_(new GpGraphics) {
    detail::Born(GdiplusKind::Graphics);
    cairo_matrix_init_identity(&g_->world);
    gdi::DcTarget target;
    if (!gdi::TargetOf(dc, &target) || target.surface == nullptr) {
        if (target.clip != nullptr) cairo_region_destroy(target.clip);
        SetStatus(InvalidParameter);
        return;
    }
    g_->surface = target.surface;
    g_->originX = target.origin.x;
    g_->originY = target.origin.y;
    g_->baseClip = target.clip;
    g_->dc = dc;
}

Graphics::Graphics(Image* image) : g_(new GpGraphics) {
    detail::Born(GdiplusKind::Graphics);
    cairo_matrix_init_identity(&g_->world);
    if (image == nullptr || image->img_->surface == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    g_->surface = cairo_surface_reference(image->img_->surface);
    g_->image = image->img_;
}

Graphics* Graphics::FromHDC(HDC dc) {
    return new Graphics(dc);
}
Graphics* Graphics::FromImage(Image* image) {
    return new Graphics(image);
}

Graphics::~Graphics() {
    delete g_;
    detail::Died(GdiplusKind::Graphics);
}

Status Graphics::Flush() {
    if (g_->surface != nullptr) cairo_surface_flush(g_->surface);
    return Ok;
}

Status Graphics::Clear(const Color& color) {
    API_TRACE(Gdi, Clear, color.GetValue());
    cairo_t* cr = g_->Begin(false);
    if (cr == nullptr) return SetStatus(InvalidParameter);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetColor(cr, color.GetValue());
    cairo_paint(cr);
    g_->Done(cr);
    return Ok;
}

Status Graphics::SetSmoothingMode(SmoothingMode mode) {
    API_TRACE(Gdi, SetSmoothingMode, mode);
    if (mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias)
        return SetStatus(InvalidParameter);
    g_->smoothing = mode;
    return Ok;
}
SmoothingMode Graphics::GetSmoothingMode() const {
    return g_->smoothing;
}

Status Graphics::SetTextRenderingHint(TextRenderingHint hint) {
    API_TRACE(Gdi, SetTextRenderingHint, hint);
    if (hint < TextRenderingHintSystemDefault || hint > TextRenderingHintClearTypeGridFit)
        return SetStatus(InvalidParameter);
    g_->hint = hint;
    return Ok;
}
TextRenderingHint Graphics::GetTextRenderingHint() const {
    return g_->hint;
}

REAL Graphics::GetDpiX() const {
    return 96;
}
REAL Graphics::GetDpiY() const {
    return 96;
}

// ---- Transform ----

Status Graphics::SetWorldTransform(const Matrix* matrix) {
    API_TRACE(Gdi, SetWorldTransform, matrix);
    if (matrix == nullptr || !Usable(matrix->m_->m)) return SetStatus(InvalidParameter);
    g_->world = matrix->m_->m;
    return Ok;
}

Status Graphics::GetTransform(Matrix* matrix) const {
    if (matrix == nullptr) return SetStatus(InvalidParameter);
    matrix->m_->m = g_->world;
    return Ok;
}

Status Graphics::ResetTransform() {
    API_TRACE(Gdi, ResetTransform);
    cairo_matrix_init_identity(&g_->world);
    return Ok;
}

namespace {

Status ComposeChecked(cairo_matrix_t* world, const cairo_matrix_t& op, MatrixOrder order) {
    cairo_matrix_t m = *world;
    Compose(&m, op, order);
    if (!Usable(m)) return InvalidParameter;  // a zero scale would break every later drawing
    *world = m;
    return Ok;
}

}  // namespace

Status Graphics::TranslateTransform(REAL dx, REAL dy, MatrixOrder order) {
    API_TRACE(Gdi, TranslateTransform, dx, dy, order);
    cairo_matrix_t op;
    cairo_matrix_init_translate(&op, dx, dy);
    return SetStatus(ComposeChecked(&g_->world, op, order));
}

Status Graphics::ScaleTransform(REAL sx, REAL sy, MatrixOrder order) {
    API_TRACE(Gdi, ScaleTransform, sx, sy, order);
    cairo_matrix_t op;
    cairo_matrix_init_scale(&op, sx, sy);
    return SetStatus(ComposeChecked(&g_->world, op, order));
}

Status Graphics::MultiplyTransform(const Matrix* matrix, MatrixOrder order) {
    API_TRACE(Gdi, MultiplyTransform, matrix, order);
    if (matrix == nullptr) return SetStatus(InvalidParameter);
    return SetStatus(ComposeChecked(&g_->world, matrix->m_->m, order));
}

// ---- Clip ----

Status Graphics::SetClip(const Rect& rect, CombineMode mode) {
    API_TRACE(Gdi, SetClip, rect, mode);
    if (mode < CombineModeReplace || mode > CombineModeComplement)
        return SetStatus(InvalidParameter);
    GpRegion r;
    RectToPage(g_->world, rect.X, rect.Y, static_cast<double>(rect.X) + rect.Width,
               static_cast<double>(rect.Y) + rect.Height, &r);
    g_->clip.Combine(r, mode);
    return Ok;
}

Status Graphics::SetClip(const RectF& rect, CombineMode mode) {
    if (mode < CombineModeReplace || mode > CombineModeComplement ||
        !Finite({rect.X, rect.Y, rect.Width, rect.Height}))
        return SetStatus(InvalidParameter);
    GpRegion r;
    RectToPage(g_->world, rect.X, rect.Y, static_cast<double>(rect.X) + rect.Width,
               static_cast<double>(rect.Y) + rect.Height, &r);
    g_->clip.Combine(r, mode);
    return Ok;
}

Status Graphics::SetClip(const Region* region, CombineMode mode) {
    API_TRACE(Gdi, SetClip, region, mode);
    if (region == nullptr || mode < CombineModeReplace || mode > CombineModeComplement)
        return SetStatus(InvalidParameter);
    GpRegion r;
    ToPage(g_->world, *region->r_, &r);
    g_->clip.Combine(r, mode);
    return Ok;
}

Status Graphics::SetClip(const Graphics* g, CombineMode mode) {
    if (g == nullptr || mode < CombineModeReplace || mode > CombineModeComplement)
        return SetStatus(InvalidParameter);
    GpRegion copy;
    copy.CopyFrom(g->g_->clip);
    g_->clip.Combine(copy, mode);
    return Ok;
}

Status Graphics::IntersectClip(const Rect& rect) {
    return SetClip(rect, CombineModeIntersect);
}
Status Graphics::ExcludeClip(const Rect& rect) {
    return SetClip(rect, CombineModeExclude);
}

Status Graphics::ResetClip() {
    API_TRACE(Gdi, ResetClip);
    g_->clip.SetInfinite();
    return Ok;
}

Status Graphics::GetClip(Region* region) const {
    if (region == nullptr) return SetStatus(InvalidParameter);
    cairo_matrix_t inverse = g_->world;
    cairo_matrix_invert(&inverse);
    ToPage(inverse, g_->clip, region->r_);
    return Ok;
}

Status Graphics::GetClipBounds(Rect* rect) const {
    if (rect == nullptr) return SetStatus(InvalidParameter);
    Region r;
    GetClip(&r);
    return r.GetBounds(rect, this);
}

Status Graphics::GetClipBounds(RectF* rect) const {
    if (rect == nullptr) return SetStatus(InvalidParameter);
    Region r;
    GetClip(&r);
    return r.GetBounds(rect, this);
}

BOOL Graphics::IsClipEmpty() const {
    return !g_->clip.infinite && cairo_region_is_empty(g_->clip.rgn);
}

// ---- Lines, rectangles, paths ----

namespace {

// Builds a shape's path, then strokes or fills it (paint), and logs the call.
template <class Build, class Paint>
Status DrawShape(const GpGraphics* g, const void* self, const wchar_t* name, bool halfPixel,
                 bool haveTool, ARGB color, const RectF& logRect, Build build, Paint paint) {
    Status status = Ok;
    if (!haveTool) {
        status = InvalidParameter;
    } else if (cairo_t* cr = g->Begin(halfPixel)) {
        build(cr);
        paint(cr);
        g->Done(cr);
    } else {
        status = InvalidParameter;
    }
    if (detail::LogOn()) {
        auto c = g->LogEntry(self, name, status);
        c.rect = logRect;
        c.color = color;
        detail::Log(std::move(c));
    }
    return status;
}

template <class Build>
Status StrokeShape(const GpGraphics* g, const void* self, const wchar_t* name, const Pen* pen,
                   ARGB color, const GpPen& p, const RectF& logRect, Build build) {
    return DrawShape(g, self, name, true, pen != nullptr, color, logRect, build, [&p](cairo_t* cr) {
        UsePen(cr, p);
        cairo_stroke(cr);
    });
}

template <class Build>
Status FillShape(const GpGraphics* g, const void* self, const wchar_t* name, bool halfPixel,
                 const Brush* brush, ARGB color, const RectF& logRect, Build build) {
    return DrawShape(g, self, name, halfPixel, brush != nullptr, color, logRect, build,
                     [color](cairo_t* cr) {
                         SetColor(cr, color);
                         cairo_fill(cr);
                     });
}

RectF Bounds(double x1, double y1, double x2, double y2) {
    return RectF(static_cast<REAL>(std::min(x1, x2)), static_cast<REAL>(std::min(y1, y2)),
                 static_cast<REAL>(std::fabs(x2 - x1)), static_cast<REAL>(std::fabs(y2 - y1)));
}

}  // namespace

Status Graphics::DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
    API_TRACE(Gdi, DrawLine, pen, x1, y1, x2, y2);
    if (!Finite({x1, y1, x2, y2})) return SetStatus(InvalidParameter);
    GpPen p = pen != nullptr ? *pen->p_ : GpPen{};
    return SetStatus(StrokeShape(g_, this, L"DrawLine", pen, p.color, p, Bounds(x1, y1, x2, y2),
                                 [&](cairo_t* cr) {
                                     cairo_move_to(cr, x1, y1);
                                     cairo_line_to(cr, x2, y2);
                                 }));
}
Status Graphics::DrawLine(const Pen* pen, INT x1, INT y1, INT x2, INT y2) {
    return DrawLine(pen, static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2),
                    static_cast<REAL>(y2));
}
Status Graphics::DrawLine(const Pen* pen, const Point& a, const Point& b) {
    return DrawLine(pen, a.X, a.Y, b.X, b.Y);
}
Status Graphics::DrawLine(const Pen* pen, const PointF& a, const PointF& b) {
    return DrawLine(pen, a.X, a.Y, b.X, b.Y);
}

Status Graphics::DrawRectangle(const Pen* pen, REAL x, REAL y, REAL width, REAL height) {
    API_TRACE(Gdi, DrawRectangle, pen, x, y, width, height);
    if (!Finite({x, y, width, height})) return SetStatus(InvalidParameter);
    GpPen p = pen != nullptr ? *pen->p_ : GpPen{};
    return SetStatus(StrokeShape(g_, this, L"DrawRectangle", pen, p.color, p,
                                 RectF(x, y, width, height),
                                 [&](cairo_t* cr) { cairo_rectangle(cr, x, y, width, height); }));
}
Status Graphics::DrawRectangle(const Pen* pen, INT x, INT y, INT width, INT height) {
    return DrawRectangle(pen, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                         static_cast<REAL>(height));
}
Status Graphics::DrawRectangle(const Pen* pen, const Rect& r) {
    return DrawRectangle(pen, r.X, r.Y, r.Width, r.Height);
}
Status Graphics::DrawRectangle(const Pen* pen, const RectF& r) {
    return DrawRectangle(pen, r.X, r.Y, r.Width, r.Height);
}

Status Graphics::DrawPath(const Pen* pen, const GraphicsPath* path) {
    API_TRACE(Gdi, DrawPath, pen, path);
    if (path == nullptr) return SetStatus(InvalidParameter);
    GpPen p = pen != nullptr ? *pen->p_ : GpPen{};
    RectF bounds;
    path->GetBounds(&bounds);
    return SetStatus(StrokeShape(g_, this, L"DrawPath", pen, p.color, p, bounds,
                                 [&](cairo_t* cr) { AppendPath(cr, *path->p_); }));
}

Status Graphics::FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    API_TRACE(Gdi, FillRectangle, brush, x, y, width, height);
    if (!Finite({x, y, width, height})) return SetStatus(InvalidParameter);
    // Aliased fills cover the pixels whose centres lie inside; anti-aliased ones are centred on
    // the pixel grid like strokes.
    return SetStatus(FillShape(g_, this, L"FillRectangle", g_->AntiAliased(), brush,
                               brush != nullptr ? brush->color_ : 0, RectF(x, y, width, height),
                               [&](cairo_t* cr) { cairo_rectangle(cr, x, y, width, height); }));
}
Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
    return FillRectangle(brush, static_cast<REAL>(x), static_cast<REAL>(y),
                         static_cast<REAL>(width), static_cast<REAL>(height));
}
Status Graphics::FillRectangle(const Brush* brush, const Rect& r) {
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
}
Status Graphics::FillRectangle(const Brush* brush, const RectF& r) {
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
}

Status Graphics::FillPath(const Brush* brush, const GraphicsPath* path) {
    API_TRACE(Gdi, FillPath, brush, path);
    if (path == nullptr) return SetStatus(InvalidParameter);
    RectF bounds;
    path->GetBounds(&bounds);
    return SetStatus(FillShape(g_, this, L"FillPath", true, brush,
                               brush != nullptr ? brush->color_ : 0, bounds, [&](cairo_t* cr) {
                                   cairo_set_fill_rule(cr, path->p_->fill == FillModeWinding
                                                               ? CAIRO_FILL_RULE_WINDING
                                                               : CAIRO_FILL_RULE_EVEN_ODD);
                                   AppendPath(cr, *path->p_);
                               }));
}

// ---- Images ----

namespace {

// Releases an image's busy flag when the drawing ends.
struct BusyImage {
    GpImage* image;
    bool held;
    explicit BusyImage(GpImage* i) : image(i), held(!i->busy.exchange(true)) {}
    ~BusyImage() {
        if (held) image->busy = false;
    }
};

// Draws the source rectangle of the image (pixels; may reach outside it: transparent there)
// into the destination rectangle (world units). Negative sizes mirror.
Status Blit(const GpGraphics* g, const void* self, GpImage* img, double sx, double sy, double sw,
            double sh, double dx, double dy, double dw, double dh, DrawImageAbort callback,
            void* callbackData) {
    if (img == nullptr || img->surface == nullptr || g->surface == nullptr) return InvalidParameter;
    if (!Finite({sx, sy, sw, sh, dx, dy, dw, dh})) return InvalidParameter;
    if (sw == 0 || sh == 0) return InvalidParameter;
    if (dw == 0 || dh == 0) return Ok;       // nothing to cover
    if (img == g->image) return ObjectBusy;  // an image drawn into itself
    BusyImage busy(img);
    if (!busy.held) return ObjectBusy;
    if (callback != nullptr && callback(callbackData)) return Aborted;

    // The part of the source inside the image, and where it lands.
    double sx0 = std::min(sx, sx + sw), sx1 = std::max(sx, sx + sw);
    double sy0 = std::min(sy, sy + sh), sy1 = std::max(sy, sy + sh);
    double cx0 = std::max(sx0, 0.0), cx1 = std::min(sx1, double(img->width));
    double cy0 = std::max(sy0, 0.0), cy1 = std::min(sy1, double(img->height));
    if (cx0 >= cx1 || cy0 >= cy1) return Ok;  // wholly outside the image: transparent
    double kx = dw / sw, ky = dh / sh;
    auto mapX = [&](double x) { return dx + (x - sx) * kx; };
    auto mapY = [&](double y) { return dy + (y - sy) * ky; };

    cairo_t* cr = g->Begin(false);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(img->surface);
    cairo_matrix_t m;  // destination -> source
    cairo_matrix_init_translate(&m, sx, sy);
    cairo_matrix_scale(&m, 1 / kx, 1 / ky);
    cairo_matrix_translate(&m, -dx, -dy);
    cairo_pattern_set_matrix(pattern, &m);
    // Edges repeat the border pixels for the filter; the rectangle below stops at them.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_matrix_t device;
    cairo_get_matrix(cr, &device);
    bool exact = kx == 1 && ky == 1 && IsTranslation(device) &&
                 std::floor(device.x0 + dx - sx) == device.x0 + dx - sx &&
                 std::floor(device.y0 + dy - sy) == device.y0 + dy - sy;
    cairo_pattern_set_filter(pattern, exact ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
    cairo_set_source(cr, pattern);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    double x0 = mapX(cx0), x1 = mapX(cx1), y0 = mapY(cy0), y1 = mapY(cy1);
    cairo_rectangle(cr, std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0));
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    g->Done(cr);
    (void)self;
    return Ok;
}

void LogImage(const GpGraphics* g, const void* self, const wchar_t* name, Status status,
              const RectF& dest) {
    if (!detail::LogOn()) return;
    auto c = g->LogEntry(self, name, status);
    c.rect = dest;
    detail::Log(std::move(c));
}

}  // namespace

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height) {
    API_TRACE(Gdi, DrawImage, image, x, y, width, height);
    GpImage* img = image != nullptr ? image->img_ : nullptr;
    Status s = img == nullptr ? InvalidParameter
                              : Blit(g_, this, img, 0, 0, img->width, img->height, x, y, width,
                                     height, nullptr, nullptr);
    LogImage(g_, this, L"DrawImage", s, RectF(x, y, width, height));
    return SetStatus(s);
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y) {
    if (image == nullptr) return SetStatus(InvalidParameter);
    // The natural size at the image's resolution.
    GpImage* img = image->img_;
    double w = img->width * GetDpiX() / img->dpiX, h = img->height * GetDpiY() / img->dpiY;
    return DrawImage(image, x, y, static_cast<REAL>(w), static_cast<REAL>(h));
}
Status Graphics::DrawImage(Image* image, INT x, INT y) {
    return DrawImage(image, static_cast<REAL>(x), static_cast<REAL>(y));
}
Status Graphics::DrawImage(Image* image, const Point& p) {
    return DrawImage(image, p.X, p.Y);
}
Status Graphics::DrawImage(Image* image, const PointF& p) {
    return DrawImage(image, p.X, p.Y);
}
Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    return DrawImage(image, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                     static_cast<REAL>(height));
}
Status Graphics::DrawImage(Image* image, const Rect& r) {
    return DrawImage(image, r.X, r.Y, r.Width, r.Height);
}
Status Graphics::DrawImage(Image* image, const RectF& r) {
    return DrawImage(image, r.X, r.Y, r.Width, r.Height);
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL srcx, REAL srcy, REAL srcwidth,
                           REAL srcheight, Unit srcUnit) {
    return DrawImage(image, RectF(x, y, srcwidth, srcheight), srcx, srcy, srcwidth, srcheight,
                     srcUnit);
}
Status Graphics::DrawImage(Image* image, INT x, INT y, INT srcx, INT srcy, INT srcwidth,
                           INT srcheight, Unit srcUnit) {
    return DrawImage(image, Rect(x, y, srcwidth, srcheight), srcx, srcy, srcwidth, srcheight,
                     srcUnit);
}

Status Graphics::DrawImage(Image* image, const RectF& dest, REAL srcx, REAL srcy, REAL srcwidth,
                           REAL srcheight, Unit srcUnit, const ImageAttributes* attributes,
                           DrawImageAbort callback, void* callbackData) {
    API_TRACE(Gdi, DrawImage, image, dest, srcx, srcy, srcwidth, srcheight, srcUnit, attributes,
              callback, callbackData);
    Status s;
    if (image == nullptr)
        s = InvalidParameter;
    else if (srcUnit != UnitPixel || attributes != nullptr)
        s = NotImplemented;  // the system draws pixel rectangles without attributes only
    else
        s = Blit(g_, this, image->img_, srcx, srcy, srcwidth, srcheight, dest.X, dest.Y, dest.Width,
                 dest.Height, callback, callbackData);
    LogImage(g_, this, L"DrawImage", s, dest);
    return SetStatus(s);
}

Status Graphics::DrawImage(Image* image, const Rect& dest, INT srcx, INT srcy, INT srcwidth,
                           INT srcheight, Unit srcUnit, const ImageAttributes* attributes,
                           DrawImageAbort callback, void* callbackData) {
    return DrawImage(image,
                     RectF(static_cast<REAL>(dest.X), static_cast<REAL>(dest.Y),
                           static_cast<REAL>(dest.Width), static_cast<REAL>(dest.Height)),
                     static_cast<REAL>(srcx), static_cast<REAL>(srcy), static_cast<REAL>(srcwidth),
                     static_cast<REAL>(srcheight), srcUnit, attributes, callback, callbackData);
}

Status Graphics::DrawCachedBitmap(CachedBitmap* cached, INT x, INT y) {
    API_TRACE(Gdi, DrawCachedBitmap, cached, x, y);
    Status s = Ok;
    if (cached == nullptr || cached->c_->surface == nullptr || g_->surface == nullptr) {
        s = InvalidParameter;
    } else if (!IsTranslation(g_->world)) {
        s = WrongState;
    } else {
        cairo_t* cr = g_->Begin(false);
        cairo_identity_matrix(cr);
        cairo_translate(cr, g_->originX, g_->originY);
        // Whole device pixels: a cached bitmap is a plain copy.
        double px = std::floor(x + g_->world.x0 + 0.5), py = std::floor(y + g_->world.y0 + 0.5);
        cairo_set_source_surface(cr, cached->c_->surface, px, py);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_rectangle(cr, px, py, cached->c_->width, cached->c_->height);
        cairo_fill(cr);
        g_->Done(cr);
    }
    if (detail::LogOn()) {
        auto c = g_->LogEntry(this, L"DrawCachedBitmap", s);
        if (cached != nullptr)
            c.rect =
                RectF(static_cast<REAL>(x), static_cast<REAL>(y),
                      static_cast<REAL>(cached->c_->width), static_cast<REAL>(cached->c_->height));
        detail::Log(std::move(c));
    }
    return SetStatus(s);
}

}  // namespace Gdiplus
