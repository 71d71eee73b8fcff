// GDI+ start-up, the objects' last status, rectangles, matrices and regions, live counts and the
// call log.
#include <cmath>
#include <map>
#include <mutex>

#include "platform/gdiplus/internal.h"
#include "machine/machine.h"
#include "machine/trace.h"

namespace Gdiplus {

namespace {

std::mutex startMu;
std::map<ULONG_PTR, bool> starts;  // token -> still started
ULONG_PTR nextToken = 1;

constexpr std::size_t kKinds = static_cast<std::size_t>(GdiplusKind::Region) + 1;
std::atomic<long> liveCounts[kKinds];

std::atomic<bool> logOn{false};
std::mutex logMu;
std::vector<control::GdiplusCall> logEntries;

}  // namespace

namespace detail {

void Born(GdiplusKind kind) {
    liveCounts[static_cast<std::size_t>(kind)]++;
}
void Died(GdiplusKind kind) {
    liveCounts[static_cast<std::size_t>(kind)]--;
}
std::size_t Live(GdiplusKind kind) {
    long n = liveCounts[static_cast<std::size_t>(kind)].load();
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

bool LogOn() {
    return logOn.load();
}
void Log(control::GdiplusCall call) {
    std::lock_guard lock(logMu);
    logEntries.push_back(std::move(call));
}
void SetLog(bool on) {
    logOn = on;
}
std::vector<control::GdiplusCall> LogCopy() {
    std::lock_guard lock(logMu);
    return logEntries;
}
void ClearLog() {
    std::lock_guard lock(logMu);
    logEntries.clear();
}

std::string Utf8(const WCHAR* text, INT length) {
    if (text == nullptr) return {};
    std::wstring wide =
        length < 0 ? std::wstring(text) : std::wstring(text, static_cast<std::size_t>(length));
    // Values that are no character become U+FFFD: pango takes valid UTF-8 only.
    for (wchar_t& c : wide) {
        auto v = static_cast<std::uint32_t>(c);
        if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) c = 0xFFFD;
    }
    return sim::ToUtf8(wide);
}

}  // namespace detail

// ---- Start-up ----

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output) {
    API_TRACE(Gdi, GdiplusStartup, token, input, output);
    if (token == nullptr || input == nullptr) return InvalidParameter;
    if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && output == nullptr) return InvalidParameter;
    std::lock_guard lock(startMu);
    *token = nextToken++;
    starts[*token] = true;
    if (output != nullptr) *output = GdiplusStartupOutput{};
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    API_TRACE_VOID(Gdi, GdiplusShutdown, token);
    std::lock_guard lock(startMu);
    auto it = starts.find(token);
    if (it != starts.end()) it->second = false;
}

// ---- Status ----

Status GdiplusBase::GetLastStatus() const {
    Status s = lastResult_;
    lastResult_ = Ok;
    return s;
}

Status GdiplusBase::SetStatus(Status status) const {
    if (status != Ok) lastResult_ = status;
    return status;
}

// ---- Matrix ----

namespace {

bool Finite(const cairo_matrix_t& m) {
    return std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) &&
           std::isfinite(m.yy) && std::isfinite(m.x0) && std::isfinite(m.y0);
}

// a then b (as points go through a first).
cairo_matrix_t Then(const cairo_matrix_t& a, const cairo_matrix_t& b) {
    cairo_matrix_t r;
    cairo_matrix_multiply(&r, &a, &b);
    return r;
}

void Apply(cairo_matrix_t* m, const cairo_matrix_t& op, MatrixOrder order) {
    // Prepend: op acts first on points; append: op acts last.
    *m = order == MatrixOrderPrepend ? Then(op, *m) : Then(*m, op);
}

}  // namespace

void Compose(cairo_matrix_t* m, const cairo_matrix_t& op, MatrixOrder order) {
    Apply(m, op, order);
}

bool Usable(const cairo_matrix_t& m) {
    cairo_matrix_t inv = m;
    return Finite(m) && cairo_matrix_invert(&inv) == CAIRO_STATUS_SUCCESS;
}

Matrix::Matrix() : m_(new GpMatrix) {
    cairo_matrix_init_identity(&m_->m);
    detail::Born(GdiplusKind::Matrix);
}

Matrix::Matrix(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) : m_(new GpMatrix) {
    cairo_matrix_init(&m_->m, m11, m12, m21, m22, dx, dy);
    if (!Finite(m_->m)) {
        cairo_matrix_init_identity(&m_->m);
        SetStatus(InvalidParameter);
    }
    detail::Born(GdiplusKind::Matrix);
}

Matrix::~Matrix() {
    delete m_;
    detail::Died(GdiplusKind::Matrix);
}

Matrix* Matrix::Clone() const {
    const auto& m = m_->m;
    return new Matrix(static_cast<REAL>(m.xx), static_cast<REAL>(m.yx), static_cast<REAL>(m.xy),
                      static_cast<REAL>(m.yy), static_cast<REAL>(m.x0), static_cast<REAL>(m.y0));
}

Status Matrix::GetElements(REAL* e) const {
    if (e == nullptr) return SetStatus(InvalidParameter);
    const auto& m = m_->m;
    double v[6] = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
    for (int i = 0; i < 6; ++i) e[i] = static_cast<REAL>(v[i]);
    return Ok;
}

Status Matrix::SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, m11, m12, m21, m22, dx, dy);
    if (!Finite(m)) return SetStatus(InvalidParameter);
    m_->m = m;
    return Ok;
}

REAL Matrix::OffsetX() const {
    return static_cast<REAL>(m_->m.x0);
}
REAL Matrix::OffsetY() const {
    return static_cast<REAL>(m_->m.y0);
}

Status Matrix::Reset() {
    cairo_matrix_init_identity(&m_->m);
    return Ok;
}

Status Matrix::Translate(REAL dx, REAL dy, MatrixOrder order) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return SetStatus(InvalidParameter);
    cairo_matrix_t op;
    cairo_matrix_init_translate(&op, dx, dy);
    Apply(&m_->m, op, order);
    return Ok;
}

Status Matrix::Scale(REAL sx, REAL sy, MatrixOrder order) {
    if (!std::isfinite(sx) || !std::isfinite(sy)) return SetStatus(InvalidParameter);
    cairo_matrix_t op;
    cairo_matrix_init_scale(&op, sx, sy);
    Apply(&m_->m, op, order);
    return Ok;
}

Status Matrix::Multiply(const Matrix* matrix, MatrixOrder order) {
    if (matrix == nullptr) return SetStatus(InvalidParameter);
    Apply(&m_->m, matrix->m_->m, order);
    return Ok;
}

BOOL Matrix::IsIdentity() const {
    const auto& m = m_->m;
    return m.xx == 1 && m.yx == 0 && m.xy == 0 && m.yy == 1 && m.x0 == 0 && m.y0 == 0;
}

BOOL Matrix::Equals(const Matrix* matrix) const {
    if (matrix == nullptr) return FALSE;
    const auto& a = m_->m;
    const auto& b = matrix->m_->m;
    return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 &&
           a.y0 == b.y0;
}

// ---- Regions ----

cairo_rectangle_int_t PixelRect(double x0, double y0, double x1, double y1) {
    auto edge = [](double v) {
        constexpr double kLimit = 1 << 28;  // far beyond any surface; no overflow
        if (!(v > -kLimit)) return -static_cast<int>(kLimit);
        if (!(v < kLimit)) return static_cast<int>(kLimit);
        return static_cast<int>(std::floor(v + 0.5));
    };
    int l = edge(std::min(x0, x1)), r = edge(std::max(x0, x1));
    int t = edge(std::min(y0, y1)), b = edge(std::max(y0, y1));
    return cairo_rectangle_int_t{l, t, r - l, b - t};
}

GpRegion::GpRegion() = default;
GpRegion::~GpRegion() {
    if (rgn != nullptr) cairo_region_destroy(rgn);
}

void GpRegion::CopyFrom(const GpRegion& other) {
    if (rgn != nullptr) cairo_region_destroy(rgn);
    infinite = other.infinite;
    rgn = other.rgn != nullptr ? cairo_region_copy(other.rgn) : nullptr;
}

void GpRegion::SetEmpty() {
    if (rgn != nullptr) cairo_region_destroy(rgn);
    infinite = false;
    rgn = cairo_region_create();
}

void GpRegion::SetInfinite() {
    if (rgn != nullptr) cairo_region_destroy(rgn);
    rgn = nullptr;
    infinite = true;
}

void GpRegion::Combine(const GpRegion& other, CombineMode mode) {
    if (mode == CombineModeReplace) {
        CopyFrom(other);
        return;
    }
    // Infinite regions stand for a rectangle beyond any surface.
    const cairo_rectangle_int_t all{-(1 << 28), -(1 << 28), 1 << 29, 1 << 29};
    cairo_region_t* a = infinite ? cairo_region_create_rectangle(&all) : cairo_region_copy(rgn);
    cairo_region_t* b =
        other.infinite ? cairo_region_create_rectangle(&all) : cairo_region_copy(other.rgn);
    switch (mode) {
        case CombineModeIntersect:
            cairo_region_intersect(a, b);
            break;
        case CombineModeUnion:
            cairo_region_union(a, b);
            break;
        case CombineModeXor:
            cairo_region_xor(a, b);
            break;
        case CombineModeExclude:
            cairo_region_subtract(a, b);
            break;
        case CombineModeComplement:
            cairo_region_subtract(b, a);
            std::swap(a, b);
            break;
        default:
            break;
    }
    cairo_region_destroy(b);
    if (rgn != nullptr) cairo_region_destroy(rgn);
    rgn = a;
    infinite = false;
    cairo_rectangle_int_t ext;
    cairo_region_get_extents(rgn, &ext);
    if (cairo_region_num_rectangles(rgn) == 1 && ext.x == all.x && ext.y == all.y &&
        ext.width == all.width && ext.height == all.height)
        SetInfinite();
}

namespace {

GpRegion RegionOf(const cairo_rectangle_int_t& r) {
    GpRegion g;
    g.infinite = false;
    g.rgn = cairo_region_create_rectangle(&r);
    return g;
}

cairo_rectangle_int_t IntRect(const Rect& r) {
    return PixelRect(r.X, r.Y, static_cast<double>(r.X) + r.Width,
                     static_cast<double>(r.Y) + r.Height);
}
cairo_rectangle_int_t IntRect(const RectF& r) {
    return PixelRect(r.X, r.Y, static_cast<double>(r.X) + r.Width,
                     static_cast<double>(r.Y) + r.Height);
}

}  // namespace

Region::Region() : r_(new GpRegion) {
    detail::Born(GdiplusKind::Region);
}
Region::Region(const Rect& rect) : r_(new GpRegion) {
    auto g = RegionOf(IntRect(rect));
    r_->CopyFrom(g);
    detail::Born(GdiplusKind::Region);
}
Region::Region(const RectF& rect) : r_(new GpRegion) {
    auto g = RegionOf(IntRect(rect));
    r_->CopyFrom(g);
    detail::Born(GdiplusKind::Region);
}
Region::~Region() {
    delete r_;
    detail::Died(GdiplusKind::Region);
}

Region* Region::Clone() const {
    auto* c = new Region;
    c->r_->CopyFrom(*r_);
    return c;
}

Status Region::MakeInfinite() {
    r_->SetInfinite();
    return Ok;
}
Status Region::MakeEmpty() {
    r_->SetEmpty();
    return Ok;
}

Status Region::Intersect(const Rect& rect) {
    r_->Combine(RegionOf(IntRect(rect)), CombineModeIntersect);
    return Ok;
}
Status Region::Intersect(const RectF& rect) {
    r_->Combine(RegionOf(IntRect(rect)), CombineModeIntersect);
    return Ok;
}
Status Region::Intersect(const Region* region) {
    if (region == nullptr) return SetStatus(InvalidParameter);
    r_->Combine(*region->r_, CombineModeIntersect);
    return Ok;
}
Status Region::Union(const Rect& rect) {
    r_->Combine(RegionOf(IntRect(rect)), CombineModeUnion);
    return Ok;
}
Status Region::Union(const RectF& rect) {
    r_->Combine(RegionOf(IntRect(rect)), CombineModeUnion);
    return Ok;
}
Status Region::Union(const Region* region) {
    if (region == nullptr) return SetStatus(InvalidParameter);
    r_->Combine(*region->r_, CombineModeUnion);
    return Ok;
}
Status Region::Exclude(const Rect& rect) {
    r_->Combine(RegionOf(IntRect(rect)), CombineModeExclude);
    return Ok;
}
Status Region::Exclude(const RectF& rect) {
    r_->Combine(RegionOf(IntRect(rect)), CombineModeExclude);
    return Ok;
}
Status Region::Exclude(const Region* region) {
    if (region == nullptr) return SetStatus(InvalidParameter);
    r_->Combine(*region->r_, CombineModeExclude);
    return Ok;
}

Status Region::Translate(INT dx, INT dy) {
    if (!r_->infinite) cairo_region_translate(r_->rgn, dx, dy);
    return Ok;
}

Status Region::GetBounds(Rect* rect, const Graphics*) const {
    if (rect == nullptr) return SetStatus(InvalidParameter);
    if (r_->infinite) {
        *rect = Rect(-(1 << 22), -(1 << 22), 1 << 23, 1 << 23);
        return Ok;
    }
    cairo_rectangle_int_t e;
    cairo_region_get_extents(r_->rgn, &e);
    *rect = Rect(e.x, e.y, e.width, e.height);
    return Ok;
}

Status Region::GetBounds(RectF* rect, const Graphics* g) const {
    if (rect == nullptr) return SetStatus(InvalidParameter);
    Rect r;
    GetBounds(&r, g);
    *rect = RectF(static_cast<REAL>(r.X), static_cast<REAL>(r.Y), static_cast<REAL>(r.Width),
                  static_cast<REAL>(r.Height));
    return Ok;
}

BOOL Region::IsEmpty(const Graphics*) const {
    return !r_->infinite && cairo_region_is_empty(r_->rgn);
}
BOOL Region::IsInfinite(const Graphics*) const {
    return r_->infinite;
}
BOOL Region::IsVisible(INT x, INT y, const Graphics*) const {
    return r_->infinite || cairo_region_contains_point(r_->rgn, x, y);
}
BOOL Region::Equals(const Region* region, const Graphics*) const {
    if (region == nullptr) return FALSE;
    if (r_->infinite || region->r_->infinite) return r_->infinite && region->r_->infinite;
    return cairo_region_equal(r_->rgn, region->r_->rgn);
}

}  // namespace Gdiplus
