// GDI+ paths: figures of lines, elliptical arcs (as cubic Béziers) and text outlines.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/gdiplus/internal.h"

namespace Gdiplus {

void AppendPath(cairo_t* cr, const GpPath& path) {
    for (const PathOp& op : path.ops) {
        switch (op.kind) {
            case PathOp::Move:
                cairo_move_to(cr, op.p[0].X, op.p[0].Y);
                break;
            case PathOp::Line:
                cairo_line_to(cr, op.p[0].X, op.p[0].Y);
                break;
            case PathOp::Curve:
                cairo_curve_to(cr, op.p[0].X, op.p[0].Y, op.p[1].X, op.p[1].Y, op.p[2].X,
                               op.p[2].Y);
                break;
            case PathOp::Close:
                cairo_close_path(cr);
                break;
        }
    }
}

namespace {

bool Finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

PointF P(double x, double y) {
    return PointF(static_cast<REAL>(x), static_cast<REAL>(y));
}

// Continues the open figure to p with a line, or starts a figure at p.
void JoinTo(GpPath* path, PointF p) {
    if (path->figureOpen) {
        if (p.X != path->last.X || p.Y != path->last.Y)
            path->ops.push_back({PathOp::Line, {p, {}, {}}});
    } else {
        path->ops.push_back({PathOp::Move, {p, {}, {}}});
        path->figureOpen = true;
    }
    path->last = p;
}

void LineTo(GpPath* path, PointF p) {
    path->ops.push_back({PathOp::Line, {p, {}, {}}});
    path->last = p;
}

// The parameter of the ellipse point that lies at the polar angle (radians) seen from the
// centre, near the angle itself (they differ by less than a quarter turn).
double Parameter(double angle, double a, double b) {
    double t = std::atan2(a * std::sin(angle), b * std::cos(angle));
    constexpr double kTurn = 2 * std::numbers::pi;
    return t + kTurn * std::round((angle - t) / kTurn);
}

}  // namespace

GraphicsPath::GraphicsPath(FillMode fillMode) : p_(new GpPath) {
    p_->fill = fillMode;
    detail::Born(GdiplusKind::Path);
}

GraphicsPath::~GraphicsPath() {
    delete p_;
    detail::Died(GdiplusKind::Path);
}

GraphicsPath* GraphicsPath::Clone() const {
    auto* c = new GraphicsPath(p_->fill);
    *c->p_ = *p_;
    return c;
}

Status GraphicsPath::Reset() {
    FillMode fill = p_->fill;
    *p_ = GpPath{};
    p_->fill = fill;
    return Ok;
}

Status GraphicsPath::StartFigure() {
    p_->figureOpen = false;
    return Ok;
}

Status GraphicsPath::CloseFigure() {
    if (p_->figureOpen) {
        p_->ops.push_back({PathOp::Close, {}});
        p_->figureOpen = false;
    }
    return Ok;
}

Status GraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
    if (!Finite({x1, y1, x2, y2})) return SetStatus(InvalidParameter);
    JoinTo(p_, PointF(x1, y1));
    LineTo(p_, PointF(x2, y2));
    return Ok;
}
Status GraphicsPath::AddLine(INT x1, INT y1, INT x2, INT y2) {
    return AddLine(static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2),
                   static_cast<REAL>(y2));
}
Status GraphicsPath::AddLine(const Point& a, const Point& b) {
    return AddLine(a.X, a.Y, b.X, b.Y);
}
Status GraphicsPath::AddLine(const PointF& a, const PointF& b) {
    return AddLine(a.X, a.Y, b.X, b.Y);
}

Status GraphicsPath::AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                            REAL sweepAngle) {
    if (!Finite({x, y, width, height, startAngle, sweepAngle}) || width < 0 || height < 0)
        return SetStatus(InvalidParameter);
    double a = width / 2.0, b = height / 2.0;
    double cx = x + a, cy = y + b;
    double sweep = std::clamp(static_cast<double>(sweepAngle), -360.0, 360.0);
    double start = startAngle * std::numbers::pi / 180;
    double end = (startAngle + sweep) * std::numbers::pi / 180;
    if (width == 0 || height == 0) {
        // A flat ellipse: its arc is the stretch of the line between the end points (a point
        // when both sizes are 0). Never handed to cairo as a scale of 0.
        JoinTo(p_, P(cx + a * std::cos(start), cy + b * std::sin(start)));
        PointF e = P(cx + a * std::cos(end), cy + b * std::sin(end));
        if (e.X != p_->last.X || e.Y != p_->last.Y) LineTo(p_, e);
        return Ok;
    }
    double t0 = Parameter(start, a, b), t1 = Parameter(end, a, b);
    if (sweep >= 360) t1 = t0 + 2 * std::numbers::pi;
    if (sweep <= -360) t1 = t0 - 2 * std::numbers::pi;
    auto at = [&](double t) { return P(cx + a * std::cos(t), cy + b * std::sin(t)); };
    JoinTo(p_, at(t0));
    int pieces = std::max(
        1, static_cast<int>(std::ceil(std::fabs(t1 - t0) / (std::numbers::pi / 2) - 1e-9)));
    double step = (t1 - t0) / pieces;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < pieces; ++i) {
        double u0 = t0 + i * step, u1 = u0 + step;
        PointF c1 = P(cx + a * (std::cos(u0) - k * std::sin(u0)),
                      cy + b * (std::sin(u0) + k * std::cos(u0)));
        PointF c2 = P(cx + a * (std::cos(u1) + k * std::sin(u1)),
                      cy + b * (std::sin(u1) - k * std::cos(u1)));
        PointF e = at(u1);
        p_->ops.push_back({PathOp::Curve, {c1, c2, e}});
        p_->last = e;
    }
    return Ok;
}
Status GraphicsPath::AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle) {
    return AddArc(static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                  static_cast<REAL>(height), startAngle, sweepAngle);
}
Status GraphicsPath::AddArc(const Rect& r, REAL startAngle, REAL sweepAngle) {
    return AddArc(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}
Status GraphicsPath::AddArc(const RectF& r, REAL startAngle, REAL sweepAngle) {
    return AddArc(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}

Status GraphicsPath::AddRectangle(const RectF& r) {
    if (!Finite({r.X, r.Y, r.Width, r.Height})) return SetStatus(InvalidParameter);
    p_->ops.push_back({PathOp::Move, {PointF(r.X, r.Y), {}, {}}});
    p_->ops.push_back({PathOp::Line, {PointF(r.GetRight(), r.Y), {}, {}}});
    p_->ops.push_back({PathOp::Line, {PointF(r.GetRight(), r.GetBottom()), {}, {}}});
    p_->ops.push_back({PathOp::Line, {PointF(r.X, r.GetBottom()), {}, {}}});
    p_->ops.push_back({PathOp::Close, {}});
    p_->figureOpen = false;
    p_->last = PointF(r.X, r.Y);
    return Ok;
}
Status GraphicsPath::AddRectangle(const Rect& r) {
    return AddRectangle(RectF(static_cast<REAL>(r.X), static_cast<REAL>(r.Y),
                              static_cast<REAL>(r.Width), static_cast<REAL>(r.Height)));
}

namespace {

Status AddText(GpPath* path, const WCHAR* string, INT length, const FontFamily* family,
               const GpFontFamily* fam, INT style, REAL emSize, const RectF& rect, bool fromPoint,
               const StringFormat* format, const GpStringFormat* fmt) {
    if (string == nullptr || family == nullptr || fam->hostFamily.empty() ||
        !Finite({emSize, rect.X, rect.Y, rect.Width, rect.Height}))
        return InvalidParameter;
    if (!(emSize > 0)) return Ok;  // no size: no outline
    (void)format;
    // The outline comes from pango on a scratch context; only its path is kept.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    TextLayout layout;
    LayOutText(cr, detail::Utf8(string, length), fam->hostFamily, emSize, style, *fmt, rect,
               fromPoint, &layout);
    if (layout.layout != nullptr) {
        cairo_move_to(cr, layout.x, layout.y);
        pango_cairo_layout_path(cr, layout.layout);
        cairo_path_t* p = cairo_copy_path(cr);
        for (int i = 0; i < p->num_data; i += p->data[i].header.length) {
            const cairo_path_data_t* d = &p->data[i];
            switch (d->header.type) {
                case CAIRO_PATH_MOVE_TO:
                    path->ops.push_back({PathOp::Move, {P(d[1].point.x, d[1].point.y), {}, {}}});
                    break;
                case CAIRO_PATH_LINE_TO:
                    path->ops.push_back({PathOp::Line, {P(d[1].point.x, d[1].point.y), {}, {}}});
                    break;
                case CAIRO_PATH_CURVE_TO:
                    path->ops.push_back(
                        {PathOp::Curve,
                         {P(d[1].point.x, d[1].point.y), P(d[2].point.x, d[2].point.y),
                          P(d[3].point.x, d[3].point.y)}});
                    break;
                case CAIRO_PATH_CLOSE_PATH:
                    path->ops.push_back({PathOp::Close, {}});
                    break;
            }
        }
        cairo_path_destroy(p);
        path->figureOpen = false;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return Ok;
}

}  // namespace

Status GraphicsPath::AddString(const WCHAR* string, INT length, const FontFamily* family, INT style,
                               REAL emSize, const RectF& layoutRect, const StringFormat* format) {
    const GpStringFormat& fmt = format != nullptr ? *format->s_ : DefaultFormat();
    return SetStatus(AddText(p_, string, length, family, family ? family->f_ : nullptr, style,
                             emSize, layoutRect, false, format, &fmt));
}
Status GraphicsPath::AddString(const WCHAR* string, INT length, const FontFamily* family, INT style,
                               REAL emSize, const Rect& r, const StringFormat* format) {
    return AddString(string, length, family, style, emSize,
                     RectF(static_cast<REAL>(r.X), static_cast<REAL>(r.Y),
                           static_cast<REAL>(r.Width), static_cast<REAL>(r.Height)),
                     format);
}
Status GraphicsPath::AddString(const WCHAR* string, INT length, const FontFamily* family, INT style,
                               REAL emSize, const PointF& origin, const StringFormat* format) {
    const GpStringFormat& fmt = format != nullptr ? *format->s_ : DefaultFormat();
    return SetStatus(AddText(p_, string, length, family, family ? family->f_ : nullptr, style,
                             emSize, RectF(origin.X, origin.Y, 0, 0), true, format, &fmt));
}

INT GraphicsPath::GetPointCount() const {
    INT n = 0;
    for (const PathOp& op : p_->ops)
        n += op.kind == PathOp::Curve ? 3 : op.kind == PathOp::Close ? 0 : 1;
    return n;
}

Status GraphicsPath::GetBounds(RectF* bounds, const Matrix*, const Pen*) const {
    if (bounds == nullptr) return SetStatus(InvalidParameter);
    if (p_->ops.empty()) {
        *bounds = RectF();
        return Ok;
    }
    // The curves' bounds, from cairo's flattened path.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    AppendPath(cr, *p_);
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    *bounds = RectF(P(x0, y0), SizeF(static_cast<REAL>(x1 - x0), static_cast<REAL>(y1 - y0)));
    return Ok;
}

Status GraphicsPath::GetLastPoint(PointF* point) const {
    if (point == nullptr || p_->ops.empty()) return SetStatus(InvalidParameter);
    *point = p_->last;
    return Ok;
}

}  // namespace Gdiplus
